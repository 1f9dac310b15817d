#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <sstream>

namespace tessavo::cli {
namespace {

constexpr const char* kFooter =
    R"(Input: raw DIAG byte streams (any extension), decoded in the order given as one
continuous capture; "-" or no file reads standard input.

Defaults: --module 0xB101, --host-time 0 (a constant, so that repeated runs give the same
output; the library uses it only for the time of command 0xDD responses).

Formats: jsonl, one object per report item; csv, one row per item and a column per scalar
parameter the input sets, each cell the last-known value (empty once cleared); summary,
counts per log code and message code, the time span and the run's rates; dtlog, each
item's DTLog text as the library builds it. --list-params names every parameter.

JSONL "log_code" comes from the frame as received (u16 at offset 6 of a log packet); for
sub-packets of packed logs and compact (0xFFFE) input it is taken from the message code.

Exit status: 0 success (also for input without DIAG frames, with a warning), 1 a file that
cannot be read or written, 2 bad options.)";

std::string VersionText() {
    return "tessavo-decode (tessavo " + std::to_string(TESSAVO_VERSION_MAJOR) + "." +
           std::to_string(TESSAVO_VERSION_MINOR) + "." + std::to_string(TESSAVO_VERSION_PATCH) +
           ")\n";
}

}  // namespace

std::optional<uint32_t> ParseModuleType(const std::string& text) {
    std::string_view digits = text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    } else if (!digits.empty() && (digits[0] == 'B' || digits[0] == 'b')) {
        base = 16;
    }
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) {
        return std::nullopt;
    }
    switch (value) {
        case TESSAVO_MODULE_B101:
        case TESSAVO_MODULE_B200:
        case TESSAVO_MODULE_B20A:
        case TESSAVO_MODULE_B20B:
            return value;
        default:
            return std::nullopt;
    }
}

std::optional<HostTime> ParseHostTime(const std::string& text) {
    HostTime time;
    if (text == "now") {
        time.now = true;
        return time;
    }
    std::string_view rest = text;
    bool negative = !rest.empty() && rest[0] == '-';
    if (negative) rest.remove_prefix(1);
    size_t dot = rest.find('.');
    std::string_view whole = rest.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : rest.substr(dot + 1);
    int64_t seconds = 0;
    auto [end, ec] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (whole.empty() || ec != std::errc() || end != whole.data() + whole.size()) {
        return std::nullopt;
    }
    if (fraction.size() > 6 || (dot != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    int64_t microseconds = 0;
    for (size_t i = 0; i < 6; ++i) {
        char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9') return std::nullopt;
        microseconds = microseconds * 10 + (c - '0');
    }
    if (negative) {
        seconds = -seconds;
        if (microseconds != 0) {
            seconds -= 1;
            microseconds = 1000000 - microseconds;
        }
    }
    if (seconds < INT32_MIN || seconds > INT32_MAX) return std::nullopt;
    time.seconds = static_cast<int32_t>(seconds);
    time.microseconds = static_cast<int32_t>(microseconds);
    return time;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& options = result.options;

    CLI::App app{"Decodes captured CDMA2000 1x / 1xEV-DO DIAG byte streams into report items.",
                 "tessavo-decode"};
    app.footer(kFooter);
    app.set_version_flag("--version", VersionText());

    app.add_option("files", options.inputs, "Capture files; \"-\" for standard input")
        ->type_name("FILE");

    std::string format = "jsonl";
    app.add_option("--format", format, "Output format")
        ->check(CLI::IsMember({"jsonl", "csv", "summary", "dtlog"}))
        ->capture_default_str();
    app.add_option("-o,--output", options.outputPath, "Write the output here, not to stdout")
        ->type_name("FILE");

    std::string module = "0xB101";
    app.add_option("--module", module, "Module type: 0xB101, 0xB200, 0xB20A or 0xB20B")
        ->check(CLI::Validator(
            [](std::string& value) {
                return ParseModuleType(value) ? std::string() : "unsupported module type " + value;
            },
            "TYPE"))
        ->capture_default_str();
    std::string hostTime = "0";
    app.add_option("--host-time", hostTime,
                   "Capture time given to the library: SECONDS[.FRACTION] or now")
        ->check(CLI::Validator(
            [](std::string& value) {
                return ParseHostTime(value) ? std::string() : "bad host time " + value;
            },
            "TIME"))
        ->capture_default_str();

    app.add_flag("--reencode", options.reencode,
                 "Rebuild each item in the compact form (configuration code 6)");
    app.add_flag("--raw-packets", options.rawPackets,
                 "Hand each frame to the library as it stands: escapes kept, no CRC check "
                 "(code 8)");
    app.add_flag("--whole-frames", options.wholeFrames,
                 "Hand each frame to the library as one call, closing 0x7E not counted (code 10)");
    app.add_flag("--outfile", options.outFile, "Hand out the OutFile records (code 0x20001)");
    app.add_flag("--dtlog", options.dtlog, "Build the DTLog text of every item (code 0xA0001)");
    app.add_flag("--inherited", options.inherited,
                 "JSONL: also list the parameters inherited from earlier packets");
    app.add_option("--outfile-records", options.outfileRecordsPath,
                   "Write the OutFile records, concatenated, to FILE (implies --outfile)")
        ->type_name("FILE");
    app.add_option("--compact", options.compactPath,
                   "Write the re-encoded compact stream to FILE; tessavo-decode reads it back "
                   "(implies --reencode)")
        ->type_name("FILE");
    app.add_option("--chunk-size", options.chunkSize, "Bytes handed to the library per call")
        ->check(CLI::Range(size_t{1}, size_t{16} * 1024 * 1024))
        ->capture_default_str();
    app.add_flag("-q,--quiet", options.quiet, "No progress bar on standard error");

    std::string listParams;
    app.add_option("--list-params", listParams,
                   "Print the parameter catalogue (csv or json; csv when no value) and exit")
        ->expected(0, 1)
        ->check(CLI::IsMember({"", "csv", "json"}));

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        result.exitCode = 0;
        result.message = app.help();
        return result;
    } catch (const CLI::CallForVersion&) {
        result.exitCode = 0;
        result.message = VersionText();
        return result;
    } catch (const CLI::ParseError& error) {
        result.exitCode = 2;
        std::ostringstream text;
        text << "tessavo-decode: " << error.what() << '\n'
             << "Usage: tessavo-decode [OPTIONS] [FILE...]\n"
             << "Run 'tessavo-decode --help' for the options.\n";
        result.message = text.str();
        return result;
    }

    if (format == "csv") options.format = OutputFormat::kCsv;
    if (format == "summary") options.format = OutputFormat::kSummary;
    if (format == "dtlog") options.format = OutputFormat::kDtlog;
    options.moduleType = *ParseModuleType(module);
    options.hostTime = *ParseHostTime(hostTime);
    if (app.count("--list-params") > 0) {
        options.listParams = listParams == "json" ? CatalogueFormat::kJson : CatalogueFormat::kCsv;
    }
    if (!options.outfileRecordsPath.empty()) options.outFile = true;
    if (!options.compactPath.empty()) options.reencode = true;
    if (options.format == OutputFormat::kDtlog) options.dtlog = true;
    return result;
}

}  // namespace tessavo::cli
