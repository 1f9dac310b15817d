// Command-line options of tessavo-decode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "item_filter.h"
#include "tessavo/tessavo.h"

namespace tessavo::cli {

enum class OutputFormat { kJsonl, kCsv, kSummary, kDtlog };
enum class CatalogueFormat { kCsv, kJson };
enum class CsvLayout { kWide, kLong };

// The capture time handed to the library with every decode call. The library uses it only
// for the item time of command 0xDD responses, relative to the first packet, so a constant
// keeps repeated runs identical; `now` reads the wall clock at every call.
struct HostTime {
    bool now = false;
    int32_t seconds = 0;
    int32_t microseconds = 0;
};

inline constexpr uint32_t kDefaultModuleType = TESSAVO_MODULE_B101;
inline constexpr size_t kDefaultChunkSize = 64 * 1024;

struct CliOptions {
    std::vector<std::string> inputs;  // "-" is standard input; none means standard input
    OutputFormat format = OutputFormat::kJsonl;
    std::string outputPath;  // empty: standard output
    uint32_t moduleType = kDefaultModuleType;
    HostTime hostTime;
    bool reencode = false;     // configuration code 6
    bool rawPackets = false;   // code 8: one frame per call, escapes kept, no CRC check
    bool wholeFrames = false;  // code 10: one frame per call, closing 0x7E not counted
    bool outFile = false;      // code 0x20001
    bool dtlog = false;        // code 0xA0001
    bool inherited = false;
    std::string outfileRecordsPath;
    std::string compactPath;
    size_t chunkSize = kDefaultChunkSize;
    bool quiet = false;
    std::optional<CatalogueFormat> listParams;
    std::string timeZone;  // IANA name for local times; empty: UTC
    ItemFilter filter;     // applies to the chosen format, not to the side files
    CsvLayout csvLayout = CsvLayout::kWide;
};

struct ParseResult {
    // Set when the program should stop: 0 after --help or --version, 2 for bad options.
    std::optional<int> exitCode;
    std::string message;  // usage or help text; for exit code 2 it goes to standard error
    CliOptions options;
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// "0xB101", "B101", "b101" or "45313"; only the four module types the library accepts.
std::optional<uint32_t> ParseModuleType(const std::string& text);

// "now", or seconds with an optional fraction ("1700000000.25"); fits 32-bit seconds.
// `why`, when given, receives what is wrong with a text that does not parse.
std::optional<HostTime> ParseHostTime(const std::string& text, std::string* why = nullptr);

// A chunk size in bytes, 1 to 16 MiB; `why` as above.
std::optional<size_t> ParseChunkSize(const std::string& text, std::string* why = nullptr);

inline constexpr size_t kMaxChunkSize = size_t{16} * 1024 * 1024;

// True when `name` is an IANA zone name with a zone file (under TZDIR or
// /usr/share/zoneinfo); `why` says what is wrong otherwise.
bool IsKnownTimeZone(const std::string& name, std::string* why = nullptr);

}  // namespace tessavo::cli
