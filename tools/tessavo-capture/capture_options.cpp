#include "capture_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <sstream>

#include "capture_app.h"
#include "item_filter.h"
#include "serial_speed.h"

namespace tessavo::capture {
namespace {

// A number followed by at most one of the unit letters in `units` (with its factor).
std::optional<double> NumberWithUnit(const std::string& text,
                                     std::initializer_list<std::pair<char, double>> units) {
    if (text.empty()) return std::nullopt;
    double factor = 1;
    std::string number = text;
    for (auto [letter, value] : units) {
        if (text.back() == letter) {
            factor = value;
            number.pop_back();
            break;
        }
    }
    double value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size() || !(value >= 0))
        return std::nullopt;
    return value * factor;
}

uint16_t ParseHex16(const std::string& text, const std::string& what) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value > 0xFFFF) {
        throw CLI::ValidationError(what + ": four hex digits expected, got '" + text + "'");
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<uint64_t> ParseSize(const std::string& text) {
    auto value =
        NumberWithUnit(text, {{'K', 1024.0}, {'M', 1024.0 * 1024}, {'G', 1024.0 * 1024 * 1024}});
    if (!value || *value < 1) return std::nullopt;
    return static_cast<uint64_t>(*value);
}

std::optional<double> ParseDuration(const std::string& text) {
    return NumberWithUnit(text, {{'s', 1.0}, {'m', 60.0}, {'h', 3600.0}});
}

CaptureParse ParseCaptureCommandLine(const std::vector<std::string>& args) {
    CaptureParse result;
    CaptureOptions& options = result.options;
    CLI::App app("tessavo-capture: records a handset's diagnostic port and decodes it live",
                 "tessavo-capture");
    std::string serial, usb, tcp, format, codes, params, rotateSize, rotateTime, duration, idleStop,
        handshake;
    uint32_t baud = kDefaultBaud;
    bool live = false, noLive = false;
    auto* serialOpt = app.add_option("--serial", serial,
                                     "Serial port of the diagnostic interface (COMn on Windows)");
    app.add_option("--baud", baud, "Serial speed")->capture_default_str();
    auto* usbOpt = app.add_option(
        "--usb", usb, "USB device VID:PID[:INTERFACE] (hex), bulk endpoints through libusb");
    auto* tcpOpt = app.add_option("--tcp", tcp, "A DIAG bridge HOST:PORT");
    serialOpt->excludes(usbOpt)->excludes(tcpOpt);
    usbOpt->excludes(tcpOpt);
    app.add_option("-w,--write", options.recordPath, "Record the bytes read from the port here");
    app.add_flag("--force", options.force, "Overwrite existing files");
    app.add_option("--rotate-size", rotateSize,
                   "Start a new numbered file after N bytes (K, M, G)");
    app.add_option("--rotate-time", rotateTime, "Start a new numbered file after a time (s, m, h)");
    app.add_option("--format", format, "Live decode into jsonl, csv or dtlog")
        ->check(CLI::IsMember({"jsonl", "csv", "dtlog"}));
    app.add_option("-o,--output", options.decode.outputPath,
                   "Write the decoded items here, not to stdout");
    app.add_option("--params", params,
                   "CSV columns: catalogue names or IDs (default: the catalogue)");
    app.add_flag("--outfile", options.decode.outFile, "JSONL: each item's OutFile record in hex");
    auto* liveOpt = app.add_flag("--live", live, "Show the live view (default on a terminal)");
    app.add_flag("--no-live", noLive, "No live view")->excludes(liveOpt);
    app.add_option("--codes", codes,
                   "Log codes to enable: hex codes and ranges, or all (default: the decoded ones)");
    app.add_flag("--keep-mask", options.keepMask, "Leave the log mask set on exit");
    app.add_flag("--events", options.events, "Switch event reports on (command 0x60)");
    app.add_option("--timeout", handshake, "Seconds to wait for each handshake reply")
        ->capture_default_str();
    app.add_option("--duration", duration, "Stop after this time (s, m, h)");
    app.add_option("--idle-stop", idleStop, "Stop when the port has been silent this long");
    app.add_flag("--reconnect", options.reconnect,
                 "Wait for a device that went away and go on in the next file");
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (!serial.empty()) {
            options.port.kind = PortKind::kSerial;
            options.port.path = serial;
            options.port.baud = baud;
        } else if (!tcp.empty()) {
            const size_t colon = tcp.rfind(':');
            unsigned port = 0;
            if (colon == std::string::npos ||
                std::from_chars(tcp.data() + colon + 1, tcp.data() + tcp.size(), port).ec !=
                    std::errc() ||
                port == 0 || port > 65535) {
                throw CLI::ValidationError("--tcp: HOST:PORT expected, got '" + tcp + "'");
            }
            options.port.kind = PortKind::kTcp;
            options.port.path = tcp.substr(0, colon);
            options.port.port = static_cast<uint16_t>(port);
        } else if (!usb.empty()) {
            std::vector<std::string> parts;
            std::stringstream in(usb);
            for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
            if (parts.size() < 2 || parts.size() > 3)
                throw CLI::ValidationError("--usb: VID:PID[:INTERFACE] expected");
            options.port.kind = PortKind::kUsb;
            options.port.vendor = ParseHex16(parts[0], "--usb vendor");
            options.port.product = ParseHex16(parts[1], "--usb product");
            if (parts.size() == 3)
                options.port.usbInterface = ParseHex16(parts[2], "--usb interface") & 0xFF;
        } else {
            throw CLI::ValidationError(
                "name the port: --serial PATH, --usb VID:PID or --tcp HOST:PORT");
        }
        std::string error;
        if (!codes.empty()) {
            auto selection = ParseCodeSelection(codes, error);
            if (!selection) throw CLI::ValidationError("--codes: " + error);
            options.codes = *selection;
        } else {
            options.codes = DefaultCodeSelection();
        }
        if (!params.empty()) {
            auto names = cli::ParseParamNames(params, error);
            if (!names) throw CLI::ValidationError("--params: " + error);
            options.decode.filter.params = *names;
        }
        options.decode.format = format == "csv"     ? cli::OutputFormat::kCsv
                                : format == "dtlog" ? cli::OutputFormat::kDtlog
                                                    : cli::OutputFormat::kJsonl;
        options.decode.dtlog = format == "dtlog";
        options.decodeOutput = !format.empty() || !options.decode.outputPath.empty();
        options.live = live ? LiveMode::kOn : noLive ? LiveMode::kOff : LiveMode::kAuto;
        auto seconds = [](const std::string& text, const std::string& what) -> double {
            if (text.empty()) return 0;
            auto value = ParseDuration(text);
            if (!value)
                throw CLI::ValidationError(what + ": a time such as 30s, 10m or 1h expected");
            return *value;
        };
        options.durationSeconds = seconds(duration, "--duration");
        options.idleStopSeconds = seconds(idleStop, "--idle-stop");
        options.rotateSeconds = static_cast<uint64_t>(seconds(rotateTime, "--rotate-time"));
        if (!handshake.empty()) options.handshakeSeconds = seconds(handshake, "--timeout");
        if (!(options.handshakeSeconds > 0))
            throw CLI::ValidationError("--timeout must be above 0");
        if (!rotateSize.empty()) {
            auto size = ParseSize(rotateSize);
            if (!size)
                throw CLI::ValidationError(
                    "--rotate-size: a size such as 512K, 100M or 2G expected");
            options.rotateBytes = *size;
        }
        if ((options.rotateBytes != 0 || options.rotateSeconds != 0 || options.reconnect) &&
            options.recordPath.empty()) {
            throw CLI::ValidationError("--rotate-size, --rotate-time and --reconnect need -w FILE");
        }
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        result.exitCode = app.exit(e, out, err) == 0 ? 0 : kExitUsage;
        result.message = out.str() + err.str();
    }
    return result;
}

}  // namespace tessavo::capture
