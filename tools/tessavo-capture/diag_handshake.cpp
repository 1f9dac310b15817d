#include "diag_handshake.h"

#include <chrono>
#include <cstdio>

#include "capture_app.h"
#include "hdlc_codec.h"
#include "run_control.h"

namespace tessavo::capture {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 50;

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

std::string ErrorReplyText(const std::vector<uint8_t>& reply) {
    switch (reply[0]) {
        case cli::kCmdBadCommand:
            return "bad command";
        case cli::kCmdBadParameters:
            return "bad parameters";
        default:
            return "bad length";
    }
}

// The version reply's compile date (11 characters) and time (8), printable bytes only.
std::string IdentityText(const std::vector<uint8_t>& reply) {
    constexpr size_t kDate = 1, kTime = 12, kEnd = 20;
    std::string text;
    for (size_t i = kDate; i < reply.size() && i < kEnd; ++i) {
        if (i == kTime) text.push_back(' ');
        const char c = static_cast<char>(reply[i]);
        if (c >= 0x20 && c < 0x7F) text.push_back(c);
    }
    return "built " + text;
}

}  // namespace

AskOutcome DiagExchange::Ask(const std::vector<uint8_t>& request, std::vector<uint8_t>& reply,
                             std::string& error, bool evenWhenStopping) {
    bool answered = false;
    pump_.SetReplyHook([&](std::span<const uint8_t> packet) {
        if (!answered && cli::AnswersCommand(packet, request)) {
            reply.assign(packet.begin(), packet.end());
            answered = true;
        }
    });
    struct Unhook {
        CapturePump& pump;
        ~Unhook() { pump.SetReplyHook(nullptr); }
    } unhook{pump_};
    if (!port_.Write(cli::HdlcFrame(request), error)) return AskOutcome::kGone;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds_));
    while (!answered) {
        if (!evenWhenStopping && cli::StopSignal() != 0) return AskOutcome::kStopped;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return AskOutcome::kTimeout;
        ReadResult result = pump_.Pump(static_cast<int>(std::min<long long>(left, kPollMs)), error);
        if (result.status == ReadStatus::kGone) {
            if (error.empty()) error = result.error;
            return AskOutcome::kGone;
        }
    }
    return AskOutcome::kReply;
}

SetupOutcome SetUpLogging(DiagExchange& exchange, const CodeSelection& codes, bool events) {
    SetupOutcome outcome;
    std::vector<uint8_t> reply;
    std::string error;
    auto failed = [&](AskOutcome asked, const std::string& step) {
        if (asked == AskOutcome::kStopped) {
            outcome.exitCode = cli::StopExitStatus(cli::StopSignal());
            outcome.message = "stopped during the handshake";
        } else {
            outcome.exitCode = kExitDevice;
            outcome.message = asked == AskOutcome::kGone
                                  ? "the device went away during " + step + ": " + error
                                  : "no answer to " + step + " after " +
                                        SecondsText(exchange.TimeoutSeconds()) + " s";
        }
        return outcome;
    };
    AskOutcome asked = exchange.Ask(cli::VersionRequest(), reply, error);
    if (asked == AskOutcome::kTimeout) {
        outcome.exitCode = kExitDevice;
        outcome.message = "no DIAG response on " + exchange.PortName() + " after " +
                          SecondsText(exchange.TimeoutSeconds()) +
                          " s (is this the diagnostic interface?)";
        return outcome;
    }
    if (asked != AskOutcome::kReply) return failed(asked, "the version request");
    outcome.identity = cli::IsErrorReply(reply)
                           ? "version request refused (" + ErrorReplyText(reply) + ")"
                           : IdentityText(reply);

    // The ID ranges give the mask its length; a handset that does not answer gets a mask
    // reaching the highest code enabled.
    std::optional<uint32_t> lastItem;
    asked = exchange.Ask(cli::LogConfigRequest(cli::LogConfigOp::kRetrieveRanges), reply, error);
    if (asked == AskOutcome::kGone || asked == AskOutcome::kStopped)
        return failed(asked, "the ID-range request");
    if (asked == AskOutcome::kReply) {
        auto ranges = cli::ParseLogConfigReply(reply);
        if (ranges && ranges->status == 0 && ranges->op == cli::LogConfigOp::kRetrieveRanges) {
            lastItem = ranges->lastItems[cli::kEquipmentCdma];
        }
    }
    outcome.mask = BuildLogMask(codes, lastItem);
    asked = exchange.Ask(cli::SetLogMaskRequest(outcome.mask), reply, error);
    if (asked != AskOutcome::kReply) return failed(asked, "the log mask");
    auto set = cli::ParseLogConfigReply(reply);
    if (!set || cli::IsErrorReply(reply)) {
        outcome.exitCode = kExitRefused;
        outcome.message =
            "the handset did not take the log mask (" +
            (cli::IsErrorReply(reply) ? ErrorReplyText(reply) : "a reply that does not parse") +
            ")";
        return outcome;
    }
    if (set->status != 0) {
        outcome.exitCode = kExitRefused;
        outcome.message = "the handset refused the log mask: status " + std::to_string(set->status);
        return outcome;
    }
    if (events) {
        asked = exchange.Ask(cli::EventReportRequest(true), reply, error);
        if (asked != AskOutcome::kReply) return failed(asked, "the event report request");
    }
    return outcome;
}

std::vector<std::string> TearDownLogging(DiagExchange& exchange, const cli::LogMask& mask,
                                         bool keepMask, bool events) {
    std::vector<std::string> problems;
    std::vector<uint8_t> reply;
    std::string error;
    if (!keepMask) {
        const cli::LogMask empty = cli::EmptyLogMask(mask.equipment, mask.lastItem);
        if (exchange.Ask(cli::SetLogMaskRequest(empty), reply, error, true) != AskOutcome::kReply) {
            problems.push_back("the handset did not confirm the cleared log mask");
        }
    }
    if (events &&
        exchange.Ask(cli::EventReportRequest(false), reply, error, true) != AskOutcome::kReply) {
        problems.push_back("the handset did not confirm event reports off");
    }
    return problems;
}

}  // namespace tessavo::capture
