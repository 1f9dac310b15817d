// The exchange that sets a handset up for logging and puts it back afterwards:
//  1. a version request, to learn that a DIAG port answers at all;
//  2. the ID ranges (log configuration, operation 1): the last item of the 1x/EV-DO codes;
//  3. the log mask (operation 3), whose reply status must be 0;
//  4. with --events, event reports on (command 0x60).
// On the way out: the empty mask, and event reports off. Replies are read through the pump,
// so they are recorded and decoded like everything else the port sends.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture_pump.h"
#include "log_config_packets.h"
#include "log_mask_selection.h"

namespace tessavo::capture {

enum class AskOutcome { kReply, kTimeout, kGone, kStopped };

class DiagExchange {
  public:
    DiagExchange(Transport& port, CapturePump& pump, double timeoutSeconds)
        : port_(port), pump_(pump), timeoutSeconds_(timeoutSeconds) {}

    // Sends `request` and waits for the packet that answers it. A stop request ends the wait
    // unless `evenWhenStopping`. `error` says why the device is gone.
    AskOutcome Ask(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply,
                   std::string& error, bool evenWhenStopping = false);
    double TimeoutSeconds() const { return timeoutSeconds_; }
    std::string PortName() const { return port_.Name(); }

  private:
    Transport& port_;
    CapturePump& pump_;
    double timeoutSeconds_;
};

struct SetupOutcome {
    int exitCode = 0;     // 0 when logging is on
    std::string message;  // why not
    cli::LogMask mask;    // the mask set
    std::string identity;
};

SetupOutcome SetUpLogging(DiagExchange& exchange, const CodeSelection& codes, bool events);
// Clears the mask (unless `keepMask`) and, with `events`, switches event reports off; best
// effort, a message per step that failed.
std::vector<std::string> TearDownLogging(DiagExchange& exchange, const cli::LogMask& mask,
                                         bool keepMask, bool events);

}  // namespace tessavo::capture
