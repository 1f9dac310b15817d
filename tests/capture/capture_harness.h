// Runs tessavo-sim, tessavo-capture and tessavo-decode as the user does: child processes
// talking over a real pseudo-terminal or a real TCP socket on 127.0.0.1. Waits are bounded
// by generous timeouts that only keep a broken run from hanging the suite.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace tessavo::capture::test {

using Bytes = std::vector<uint8_t>;
using Json = nlohmann::json;

enum class Link { kPty, kTcp };
const char* LinkName(Link link);

// A folder removed with the object.
class WorkDir {
  public:
    WorkDir();
    ~WorkDir();
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
std::vector<std::string> Lines(const std::string& text);

// A program started with its standard output and error in files.
pid_t StartProgram(const std::string& binary, const std::vector<std::string>& args,
                   const std::string& outPath, const std::string& errPath);
// The exit status (128 + the signal for one that killed it); -1 after killing a child that
// outlived `timeoutSeconds`.
int WaitFor(pid_t child, double timeoutSeconds);
// Waits until `ready` holds (checked every 10 ms); false after `timeoutSeconds`.
template <typename Ready>
bool WaitUntil(Ready ready, double timeoutSeconds) {
    for (int i = 0; i < static_cast<int>(timeoutSeconds * 100); ++i) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ready();
}

// The simulator on `capture`, serving `link`; stopped (SIGTERM) with the object.
class Simulator {
  public:
    Simulator(const WorkDir& dir, Link link, std::vector<std::string> args,
              const std::string& capture = TESSAVO_SOURCE_DIR "/samples/drive_test.bin");
    ~Simulator();
    // "--serial PATH" or "--tcp 127.0.0.1:PORT", for the capture's command line.
    std::vector<std::string> PortArgs() const { return portArgs_; }
    std::string CommandLog() const { return commandLog_; }
    std::string SentLog() const { return sentLog_; }
    void Stop();

  private:
    pid_t pid_ = -1;
    std::vector<std::string> portArgs_;
    std::string commandLog_;
    std::string sentLog_;
};

// A port that is not a DIAG port: it echoes what it gets and answers every line "OK", as a
// modem's AT interface does.
class EchoPort {
  public:
    explicit EchoPort(Link link);
    ~EchoPort();
    std::vector<std::string> PortArgs() const { return portArgs_; }

  private:
    void Serve(int fd);
    int listener_ = -1;
    int master_ = -1;
    int slave_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::string> portArgs_;
};

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// tessavo-capture with `args`, to its end (or killed after `timeoutSeconds`).
ProgramRun RunCapture(const WorkDir& dir, const std::vector<std::string>& args,
                      double timeoutSeconds = 60);
// tessavo-decode -q on `files`: its JSON lines.
std::vector<Json> Decode(const WorkDir& dir, const std::vector<std::string>& files);
std::vector<Json> JsonLines(const std::string& text);
// Items of log packets only, without their running index (which counts command replies too).
std::vector<Json> LogItems(const std::vector<Json>& items);

}  // namespace tessavo::capture::test
