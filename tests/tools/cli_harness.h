// Runs tessavo-decode in-process on in-memory input and temporary files.
#pragma once

#include <string>
#include <vector>

#include "diag_frames.h"

namespace tessavo::cli::test {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// RunCli with `stdinBytes` as standard input; standard error is not a terminal.
CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes = "");

// A file in a per-process temporary directory, removed when the object goes.
class TempFile {
  public:
    explicit TempFile(const Bytes& contents);
    TempFile();  // a name only; nothing is created
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    Bytes Read() const;

  private:
    std::string path_;
};

std::string AsString(const Bytes& bytes);

// The lines of a text, without their line breaks.
std::vector<std::string> Lines(const std::string& text);

}  // namespace tessavo::cli::test
