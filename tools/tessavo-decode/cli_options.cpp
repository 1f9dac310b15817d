#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <sstream>

#include "param_catalogue.h"
#include "platform.h"
#include "struct_views.h"

namespace tessavo::cli {
namespace {

constexpr const char* kFooter =
    R"(Input: decoded in the order given as one continuous capture; "-" or no file reads
standard input. What a file holds is found from its content, not its extension: a raw DIAG
byte stream (HDLC frames, also after a header), DLF log records, either of them compressed
with gzip, zstd or xz (--input-format overrides the detection).

Defaults: --module 0xB101, --host-time 0 (a constant, so that repeated runs give the same
output; the library uses it only for the time of command 0xDD responses).

Module types: B101, B200, B20A and B20B are the chipset families the library accepts. The
type is the upper half of most message codes (signalling messages carry their log code there)
and the reply to command 0x3F is decoded only under B101; nothing else changes. Keep B101
unless a host reading the items expects another.

Formats: jsonl, one object per report item; csv, one row per item and a column per scalar
parameter the input sets, each cell the last-known value (empty once cleared), or with
--csv-layout long one row per freshly set value; summary, counts, radio value ranges,
identities, events and what yielded no item; dtlog, the library's DTLog lines, each after
the index and time of the item it describes; events, one CSV row per call, connection and
handoff event (time, technology, event, details, item number); geojson and kml, the radio
values and events on a map (KML placemarks coloured by best Ec/Io), placed by the capture's
position fixes or, given --track, by that GPS track instead. --list-params names every parameter with its
unit and meaning.

Times are true instants: the handset's GPS time less the leap seconds of its date, in UTC
("Z") or, with --tz, in the named zone with its offset, whatever TZ is.

JSONL "log_code" comes from the frame as received (u16 at offset 6 of a log packet); for
sub-packets of packed logs and compact (0xFFFE) input it is taken from the message code.

Outputs are written to a temporary file beside the target and renamed into place when the
run ends (a replaced file keeps its mode); "-o -" is standard output, and a path leading to
anything but a regular file (/dev/stdout, a FIFO, a device) is written in place. An output may
not name an input or another output. A run that ends early keeps an existing output as it
was and its own beside it as NAME.partial, and says so.

Exit status: 0 success (also for an empty input, with a warning), 1 a file that cannot be
read or written or an input cut short (the items before the cut are written), 2 bad options,
4 input that is not a DIAG stream (no frame, or fewer than half of at least 100, passes its
CRC check; what was decoded is written), 130/143 stopped by SIGINT/SIGTERM (outputs end on a
complete line).)";

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

std::optional<HostTime> ParseHostTime(const std::string& text, std::string* why) {
    auto fail = [why](const char* reason) -> std::optional<HostTime> {
        if (why != nullptr) *why = reason;
        return std::nullopt;
    };
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
    if (whole.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range) ||
        end != whole.data() + whole.size()) {
        return fail("not a number of seconds");
    }
    if (dot != std::string_view::npos && fraction.empty()) return fail("no digits after the point");
    if (fraction.size() > 6)
        return fail("more than 6 fraction digits (the library keeps microseconds)");
    int64_t microseconds = 0;
    for (size_t i = 0; i < 6; ++i) {
        char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9') return fail("not a number of seconds");
        microseconds = microseconds * 10 + (c - '0');
    }
    if (negative) {
        seconds = -seconds;
        if (microseconds != 0) {
            seconds -= 1;
            microseconds = 1000000 - microseconds;
        }
    }
    if (ec == std::errc::result_out_of_range || seconds < INT32_MIN || seconds > INT32_MAX) {
        return fail("outside the library's 32-bit seconds (-2147483648 to 2147483647)");
    }
    time.seconds = static_cast<int32_t>(seconds);
    time.microseconds = static_cast<int32_t>(microseconds);
    return time;
}

std::optional<size_t> ParseChunkSize(const std::string& text, std::string* why) {
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size()) {
        if (why != nullptr) *why = "not a whole number of bytes";
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range || value < 1 || value > kMaxChunkSize) {
        if (why != nullptr) *why = "outside 1 to " + std::to_string(kMaxChunkSize) + " bytes";
        return std::nullopt;
    }
    return static_cast<size_t>(value);
}

bool IsKnownTimeZone(const std::string& name, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why != nullptr) *why = reason;
        return false;
    };
#if defined(_WIN32)
    // The Windows C library reads only NAMEoffset[DST]: three letters, the hours west of UTC
    // (optionally signed, with :mm), and an optional three-letter daylight-saving name.
    auto letters = [&](size_t at) {
        return at + 3 <= name.size() &&
               std::all_of(name.begin() + static_cast<long>(at),
                           name.begin() + static_cast<long>(at) + 3,
                           [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
    };
    size_t at = 3;
    if (letters(0) && at < name.size() && (name[at] == '+' || name[at] == '-')) ++at;
    const size_t digits = at;
    while (at < name.size() && at < digits + 2 &&
           std::isdigit(static_cast<unsigned char>(name[at])) != 0)
        ++at;
    bool valid = letters(0) && at > digits;
    if (valid && at + 3 <= name.size() && name[at] == ':') {
        valid = std::isdigit(static_cast<unsigned char>(name[at + 1])) != 0 &&
                std::isdigit(static_cast<unsigned char>(name[at + 2])) != 0;
        at += 3;
    }
    if (valid && at < name.size()) valid = letters(at) && at + 3 == name.size();
    if (!valid) {
        return fail(
            "not a zone the Windows C library reads: give NAMEoffset[DST], such as CST-8, "
            "UTC0 or EST5EDT");
    }
    return true;
#else
    if (name.empty() || name[0] == '/' || name.find("..") != std::string::npos ||
        name.find_first_of(" ,:") != std::string::npos) {
        return fail("not an IANA zone name such as Europe/Paris or America/Chicago");
    }
    const char* directory = std::getenv("TZDIR");
    std::string path =
        std::string(directory != nullptr ? directory : "/usr/share/zoneinfo") + "/" + name;
    FileStatus status;
    if (!StatusOfPath(path, status) || !status.regular) {
        return fail("no such zone in the time zone database (" + path +
                    "); give an IANA name such as Europe/Paris");
    }
    return true;
#endif
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
        ->check(CLI::IsMember({"jsonl", "csv", "summary", "dtlog", "events", "geojson", "kml"}))
        ->capture_default_str();
    app.add_option("-o,--output", options.outputPath, "Write the output here, not to stdout")
        ->type_name("FILE");

    std::string module = "0xB101";
    app.add_option("--module", module,
                   "Module type: 0xB101, 0xB200, 0xB20A or 0xB20B (see Module types below)")
        ->check(CLI::Validator(
            [](std::string& value) {
                return ParseModuleType(value) ? std::string()
                                              : "unsupported module type '" + value +
                                                    "'; give 0xB101, 0xB200, 0xB20A or 0xB20B";
            },
            "TYPE"))
        ->capture_default_str();
    std::string hostTime = "0";
    app.add_option("--host-time", hostTime,
                   "Capture time given to the library: SECONDS[.FRACTION] or now")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::string why;
                if (ParseHostTime(value, &why)) return std::string();
                return "'" + value + "' is not a host time: " + why +
                       "; give SECONDS[.FRACTION] (up to 6 fraction digits) or now";
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
    std::string inputFormat = "auto";
    app.add_option("--input-format", inputFormat,
                   "What the inputs hold: auto (found from their content), hdlc (a raw DIAG "
                   "byte stream) or dlf (log records); compression is always found")
        ->check(CLI::IsMember({"auto", "hdlc", "dlf"}))
        ->capture_default_str();
    std::string chunkSize = std::to_string(kDefaultChunkSize);
    app.add_option("--chunk-size", chunkSize, "Bytes handed to the library per call (1 to 16 MiB)")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::string why;
                if (ParseChunkSize(value, &why)) return std::string();
                return "'" + value + "' is not a chunk size: " + why;
            },
            "BYTES"))
        ->capture_default_str();
    app.add_option("--tz", options.timeZone,
                   "Print local times of this IANA zone (e.g. America/Chicago) with their "
                   "offset; default UTC")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::string why;
                if (IsKnownTimeZone(value, &why)) return std::string();
                return "unknown time zone '" + value + "': " + why;
            },
            "ZONE"));
    std::string logCodes;
    app.add_option("--log-code", logCodes,
                   "Only items of these log codes, e.g. 0x1007,0x107C (not the side files)")
        ->type_name("LIST")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::string why;
                return ParseLogCodes(value, why) ? std::string() : why;
            },
            "LIST"));
    std::string params;
    app.add_option("--params", params,
                   "Only these parameters (catalogue names, IDs or CSV views as --list-params "
                   "names them, comma-separated); for CSV the columns, in this order")
        ->type_name("LIST")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::string why;
                return ParseParamNames(value, why) ? std::string() : why;
            },
            "LIST"));
    app.add_flag("--decoded-only", options.filter.decodedOnly,
                 "Skip items that set no parameter (of --params, when given)");
    std::string csvLayout = "wide";
    app.add_option("--csv-layout", csvLayout,
                   "wide: one row per item, a column per parameter; long: one row per freshly "
                   "set value (index, time, log code, parameter, value, unit)")
        ->check(CLI::IsMember({"wide", "long"}))
        ->capture_default_str();
    app.add_option("--track", options.trackPath,
                   "GPS track (GPX 1.1, NMEA 0183 RMC/GGA) placing --format geojson or kml on a "
                   "map instead of the capture's own position fixes")
        ->type_name("FILE");
    std::string carryForward = "valid";
    app.add_option("--carry-forward", carryForward,
                   "Wide CSV: valid, a cell is empty where the value no longer holds (a "
                   "measurement older than its window, a traffic value off traffic, an EV-DO "
                   "value while EV-DO is inactive); all, every last-known value")
        ->check(CLI::IsMember({"valid", "all"}))
        ->capture_default_str();
    app.add_flag("-q,--quiet", options.quiet, "No progress bar on standard error");

    std::string listParams;
    app.add_option("--list-params", listParams,
                   "Print the parameter catalogue (csv or json; csv when no value) and exit")
        ->expected(0, 1)
        ->check(CLI::IsMember({"", "csv", "json"}));
    std::string listMessages;
    app.add_option("--list-messages", listMessages,
                   "Print the names of the signalling messages by log code and type (csv or "
                   "json; csv when no value) and exit")
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
    if (format == "events") options.format = OutputFormat::kEvents;
    if (format == "geojson") options.format = OutputFormat::kGeoJson;
    if (format == "kml") options.format = OutputFormat::kKml;
    const bool map = options.format == OutputFormat::kGeoJson || options.format == OutputFormat::kKml;
    if (!map && !options.trackPath.empty()) {
        result.exitCode = 2;
        result.message =
            "tessavo-decode: --track FILE goes with --format geojson or kml\n"
            "Run 'tessavo-decode --help' for the options.\n";
        return result;
    }
    options.moduleType = *ParseModuleType(module);
    options.hostTime = *ParseHostTime(hostTime);
    options.chunkSize = *ParseChunkSize(chunkSize);
    if (csvLayout == "long") options.csvLayout = CsvLayout::kLong;
    options.carryForwardAll = carryForward == "all";
    if (inputFormat == "hdlc") options.inputFormat = InputFormat::kHdlc;
    if (inputFormat == "dlf") options.inputFormat = InputFormat::kDlf;
    if (options.outputPath == "-") options.outputPath.clear();  // standard output
    std::string ignored;
    if (!logCodes.empty()) options.filter.logCodes = *ParseLogCodes(logCodes, ignored);
    if (!params.empty()) options.filter.SelectParams(*ParseParamNames(params, ignored));
    if (app.count("--list-params") > 0) {
        options.listParams = listParams == "json" ? CatalogueFormat::kJson : CatalogueFormat::kCsv;
    }
    if (app.count("--list-messages") > 0) {
        options.listMessages =
            listMessages == "json" ? CatalogueFormat::kJson : CatalogueFormat::kCsv;
    }
    if (options.inherited && options.format != OutputFormat::kJsonl) {
        result.exitCode = 2;
        result.message =
            "tessavo-decode: --inherited lists inherited parameters in JSONL only; a CSV cell "
            "already holds the last-known value\nRun 'tessavo-decode --help' for the options.\n";
        return result;
    }
    if (!options.outfileRecordsPath.empty()) options.outFile = true;
    if (!options.compactPath.empty()) options.reencode = true;
    if (options.format == OutputFormat::kDtlog) options.dtlog = true;
    return result;
}

}  // namespace tessavo::cli
