#include "sim_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace tessavo::sim {

SimParse ParseSimCommandLine(const std::vector<std::string>& args) {
    SimParse result;
    SimOptions& options = result.options;
    CLI::App app("tessavo-sim: a handset's diagnostic port, replaying the log frames of a capture",
                 "tessavo-sim");
    app.add_option("capture", options.capturePath, "Capture file whose log frames are replayed")
        ->required()
        ->check(CLI::ExistingFile);
    auto* pty = app.add_flag("--pty", options.pty, "Serve a pseudo-terminal (its path is printed)");
    auto* tcp =
        app.add_option("--tcp", options.tcpPort, "Serve TCP on this port (0: any free port)");
    pty->excludes(tcp);
    app.add_option("--bind", options.bindAddress, "Address for --tcp")->capture_default_str();
    std::string speed = "1";
    app.add_option("--speed", speed, "Multiple of the capture's own pace, or \"max\"")
        ->capture_default_str();
    app.add_flag("--loop", options.loop, "Start the capture again at its end");
    app.add_option("--command-log", options.commandLogPath,
                   "Write each request received here (hex lines)");
    app.add_option("--sent-log", options.sentLogPath, "Write every byte sent to the port here");
    app.add_option("--timing-log", options.timingLogPath,
                   "Per log frame sent: monotonic nanoseconds at the write of its last byte, its "
                   "record head in hex");
    app.add_option("--disconnect-after", options.disconnectAfter,
                   "Drop the connection after this many bytes");
    app.add_option("--garbage-every", options.garbageEvery,
                   "Send a junk frame after every N log frames");
    app.add_option("--bad-crc-every", options.badCrcEvery,
                   "Damage the check of every Nth log frame");
    app.add_flag("--no-answer", options.noAnswer, "Answer no command");
    app.add_option("--answer-delay", options.answerDelayMs, "Milliseconds before each answer")
        ->check(CLI::Range(0, 60000));
    app.add_flag("--reject-mask", options.rejectMask, "Refuse every log mask (status 1)");
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (!options.pty && !options.tcpPort)
            throw CLI::ValidationError("--pty or --tcp PORT is required");
        if (speed == "max") {
            options.speed = 0;
        } else {
            size_t used = 0;
            options.speed = std::stod(speed, &used);
            if (used != speed.size() || !(options.speed > 0))
                throw CLI::ValidationError("--speed: a positive number or max");
        }
    } catch (const CLI::ParseError& e) {
        std::ostringstream out;
        std::ostringstream err;
        result.exitCode = app.exit(e, out, err) == 0 ? 0 : 2;
        result.message = out.str() + err.str();
    } catch (const std::exception&) {
        result.exitCode = 2;
        result.message = "tessavo-sim: --speed: a positive number or max\n";
    }
    return result;
}

}  // namespace tessavo::sim
