#include "cli_harness.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_app.h"

namespace tessavo::cli::test {

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

TempFile::TempFile() {
    static const std::filesystem::path directory = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("tessavo_cli_tests_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    static std::atomic<int> counter{0};
    path_ = (directory / ("file" + std::to_string(counter++) + ".bin")).string();
}

TempFile::TempFile(const Bytes& contents) : TempFile() {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(contents.data()),
               static_cast<std::streamsize>(contents.size()));
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

Bytes TempFile::Read() const {
    std::ifstream file(path_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<Json> JsonLines(const std::string& text) {
    std::vector<Json> items;
    for (const std::string& line : Lines(text)) items.push_back(Json::parse(line));
    return items;
}

}  // namespace tessavo::cli::test
