#include "cli_harness.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_app.h"

namespace tessavo::cli::test {
namespace {

std::filesystem::path TempDirectory() {
    static const std::filesystem::path kDirectory = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("tessavo_cli_tests_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return kDirectory;
}

std::string NewPath() {
    static std::atomic<int> counter{0};
    return (TempDirectory() / ("file" + std::to_string(counter++) + ".bin")).string();
}

}  // namespace

CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes) {
    std::istringstream in(stdinBytes);
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCli(args, CliStreams{in, out, err, false});
    run.out = out.str();
    run.err = err.str();
    return run;
}

TempFile::TempFile(const Bytes& contents) : path_(NewPath()) {
    std::ofstream file(path_, std::ios::binary);
    file.write(reinterpret_cast<const char*>(contents.data()),
               static_cast<std::streamsize>(contents.size()));
}

TempFile::TempFile() : path_(NewPath()) {}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

Bytes TempFile::Read() const {
    std::ifstream file(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace tessavo::cli::test
