#include "cli_harness.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_app.h"

namespace tessavo::cli::test {

CliRun RunTool(const std::vector<std::string>& args, const std::string& stdinBytes,
               bool stdinIsTerminal) {
    std::istringstream in(stdinBytes);
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    CliStreams io{in, out, err, false};
    io.inIsTerminal = stdinIsTerminal;
    run.status = RunCli(args, io);
    run.out = out.str();
    run.err = err.str();
    return run;
}

#if !defined(_WIN32)
CliRun RunProgram(const std::vector<std::string>& args, const std::string& stdinBytes) {
    TempFile in(Bytes(stdinBytes.begin(), stdinBytes.end()));
    TempFile out;
    TempFile err;
    pid_t child = fork();
    if (child == 0) {
        int inFd = open(in.Path().c_str(), O_RDONLY);
        int outFd = open(out.Path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int errFd = open(err.Path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv = {const_cast<char*>(TESSAVO_DECODE_BINARY)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(TESSAVO_DECODE_BINARY, argv.data());
        _exit(127);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    Bytes outBytes = out.Read();
    Bytes errBytes = err.Read();
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    return run;
}
#endif

TempFile::TempFile() {
    static const std::filesystem::path directory = [] {
        auto path = std::filesystem::temp_directory_path() /
#if defined(_WIN32)
                    ("tessavo_cli_tests_" + std::to_string(_getpid()));
#else
                    ("tessavo_cli_tests_" + std::to_string(getpid()));
#endif
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
