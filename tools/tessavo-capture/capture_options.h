// The capture tool's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decode_options.h"
#include "log_mask_selection.h"

namespace tessavo::capture {

enum class PortKind { kSerial, kUsb, kTcp };

struct PortSpec {
    PortKind kind = PortKind::kSerial;
    std::string path;  // serial device, or TCP host
    uint32_t baud = 0;
    uint16_t port = 0;  // TCP
    uint16_t vendor = 0, product = 0;
    std::optional<int> usbInterface;  // USB; none: chosen from the descriptors
};

enum class LiveMode { kAuto, kOn, kOff };

struct CaptureOptions {
    PortSpec port;
    std::string recordPath;  // -w; empty: nothing recorded
    bool force = false;
    uint64_t rotateBytes = 0;    // 0: no rotation by size
    uint64_t rotateSeconds = 0;  // 0: no rotation by time
    cli::CliOptions decode;      // format, output path, module, DTLog, OutFile
    bool decodeOutput = false;   // --format or -o given: items are written
    LiveMode live = LiveMode::kAuto;
    CodeSelection codes;
    bool keepMask = false;
    bool events = false;
    double handshakeSeconds = 3;
    double durationSeconds = 0;  // 0: until stopped
    double idleStopSeconds = 0;  // 0: never
    bool reconnect = false;
};

struct CaptureParse {
    std::optional<int> exitCode;
    std::string message;
    CaptureOptions options;
};

CaptureParse ParseCaptureCommandLine(const std::vector<std::string>& args);

// "512K", "100M", "2G" (powers of 1024) or a plain byte count; "30s", "10m", "1h" or plain
// seconds. Nothing for text that is neither.
std::optional<uint64_t> ParseSize(const std::string& text);
std::optional<double> ParseDuration(const std::string& text);

}  // namespace tessavo::capture
