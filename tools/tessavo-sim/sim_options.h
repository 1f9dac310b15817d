// The simulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessavo::sim {

struct SimOptions {
    std::string capturePath;
    bool pty = false;
    std::optional<uint16_t> tcpPort;  // 0: any free port
    std::string bindAddress = "127.0.0.1";
    double speed = 1.0;  // 0: as fast as the port takes the bytes
    bool loop = false;
    std::string commandLogPath;  // every request received, one line of hex each
    std::string sentLogPath;     // every byte written to the port
    std::string
        timingLogPath;  // per log frame: monotonic ns at the write of its last byte, record head
    // Fault injection.
    uint64_t disconnectAfter = 0;  // bytes; 0 never
    uint64_t garbageEvery = 0;     // log frames; 0 never
    uint64_t badCrcEvery = 0;      // log frames; 0 never
    bool noAnswer = false;
    int answerDelayMs = 0;
    bool rejectMask = false;
};

struct SimParse {
    std::optional<int> exitCode;  // set when the run ends here (help, bad options)
    std::string message;
    SimOptions options;
};

SimParse ParseSimCommandLine(const std::vector<std::string>& args);

}  // namespace tessavo::sim
