#include "capture_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace tessavo::capture::test {

const char* LinkName(Link link) {
    return link == Link::kPty ? "pty" : "tcp";
}

WorkDir::WorkDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("tessavo_capture_tests_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

WorkDir::~WorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

pid_t StartProgram(const std::string& binary, const std::vector<std::string>& args,
                   const std::string& outPath, const std::string& errPath) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    const pid_t child = fork();
    if (child == 0) {
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv = {const_cast<char*>(binary.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    for (int fd : {in, out, err}) close(fd);
    return child;
}

int WaitFor(pid_t child, double timeoutSeconds) {
    int raw = 0;
    if (!WaitUntil([&] { return waitpid(child, &raw, WNOHANG) == child; }, timeoutSeconds)) {
        kill(child, SIGKILL);
        waitpid(child, &raw, 0);
        return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

Simulator::Simulator(const WorkDir& dir, Link link, std::vector<std::string> args,
                     const std::string& capture) {
    static std::atomic<int> counter{0};
    const std::string tag = "sim" + std::to_string(counter++);
    commandLog_ = dir / (tag + ".commands");
    sentLog_ = dir / (tag + ".sent");
    const std::string out = dir / (tag + ".out");
    args.insert(args.begin(), capture);
    for (const char* arg : {"--command-log", commandLog_.c_str(), "--sent-log", sentLog_.c_str()})
        args.push_back(arg);
    if (link == Link::kPty) {
        args.push_back("--pty");
    } else {
        args.insert(args.end(), {"--tcp", "0"});
    }
    pid_ = StartProgram(TESSAVO_SIM_BINARY, args, out, dir / (tag + ".err"));
    std::string line;
    WaitUntil([&] { return !(line = ReadText(out)).empty() && line.back() == '\n'; }, 20);
    const std::string word = link == Link::kPty ? "serving " : "listening on ";
    const size_t at = line.find(word);
    if (at == std::string::npos) return;
    const std::string where = line.substr(at + word.size(), line.size() - at - word.size() - 1);
    portArgs_ = {link == Link::kPty ? "--serial" : "--tcp", where};
}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    WaitFor(pid_, 20);
    pid_ = -1;
}

EchoPort::EchoPort(Link link) {
    if (link == Link::kPty) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master_);
        unlockpt(master_);
        const std::string path = ptsname(master_);
        slave_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        termios mode{};
        tcgetattr(slave_, &mode);
        cfmakeraw(&mode);
        tcsetattr(slave_, TCSANOW, &mode);
        portArgs_ = {"--serial", path};
        thread_ = std::thread([this] { Serve(master_); });
        return;
    }
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&where), sizeof where);
    listen(listener_, 1);
    socklen_t length = sizeof where;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &length);
    portArgs_ = {"--tcp", "127.0.0.1:" + std::to_string(ntohs(where.sin_port))};
    thread_ = std::thread([this] {
        pollfd wait{listener_, POLLIN, 0};
        while (!stop_ && poll(&wait, 1, 50) <= 0) {
        }
        if (stop_) return;
        const int fd = accept(listener_, nullptr, nullptr);
        Serve(fd);
        close(fd);
    });
}

void EchoPort::Serve(int fd) {
    static constexpr char kOk[] = "\r\nOK\r\n";
    uint8_t buffer[512];
    while (!stop_) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 50) <= 0) continue;
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) return;
        if (write(fd, buffer, static_cast<size_t>(count)) < 0 || write(fd, kOk, sizeof kOk - 1) < 0)
            return;
    }
}

EchoPort::~EchoPort() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int fd : {listener_, master_, slave_}) {
        if (fd >= 0) close(fd);
    }
}

ProgramRun RunCapture(const WorkDir& dir, const std::vector<std::string>& args,
                      double timeoutSeconds) {
    static std::atomic<int> counter{0};
    const std::string tag = "capture" + std::to_string(counter++);
    const pid_t child =
        StartProgram(TESSAVO_CAPTURE_BINARY, args, dir / (tag + ".out"), dir / (tag + ".err"));
    ProgramRun run;
    run.status = WaitFor(child, timeoutSeconds);
    run.out = ReadText(dir / (tag + ".out"));
    run.err = ReadText(dir / (tag + ".err"));
    return run;
}

std::vector<Json> JsonLines(const std::string& text) {
    std::vector<Json> lines;
    for (const std::string& line : Lines(text)) lines.push_back(Json::parse(line));
    return lines;
}

std::vector<Json> Decode(const WorkDir& dir, const std::vector<std::string>& files) {
    static std::atomic<int> counter{0};
    const std::string tag = "decode" + std::to_string(counter++);
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), files.begin(), files.end());
    const pid_t child =
        StartProgram(TESSAVO_DECODE_BINARY, args, dir / (tag + ".out"), dir / (tag + ".err"));
    if (WaitFor(child, 60) != 0) return {};
    return JsonLines(ReadText(dir / (tag + ".out")));
}

std::vector<Json> LogItems(const std::vector<Json>& items) {
    std::vector<Json> logs;
    for (Json item : items) {
        if (item["log_code"].is_null()) continue;
        item.erase("index");
        logs.push_back(std::move(item));
    }
    return logs;
}

}  // namespace tessavo::capture::test
