// Runs tessavo-decode in-process on in-memory input and temporary files.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "diag_frames.h"

namespace tessavo::cli::test {

using Json = nlohmann::json;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// RunCli with `stdinBytes` as standard input; standard error is not a terminal.
// `stdinIsTerminal` makes the tool believe its standard input is a terminal.
CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes = "",
               bool stdinIsTerminal = false);

// The built program in a child process (not on Windows), `stdinBytes` on its standard input;
// `status` is the exit status (128 + the signal number when a signal ended it).
CliRun RunProgram(const std::vector<std::string>& args, const std::string& stdinBytes = "");

// A file in a per-process temporary directory, removed when the object goes. Without
// contents it is a name only: nothing is created.
class TempFile {
  public:
    TempFile();
    explicit TempFile(const Bytes& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path_; }
    Bytes Read() const;

  private:
    std::string path_;
};

// The lines of a text, without their line breaks; and each line parsed as JSON.
std::vector<std::string> Lines(const std::string& text);
std::vector<Json> JsonLines(const std::string& text);

}  // namespace tessavo::cli::test
