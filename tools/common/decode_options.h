// Options of a decoding run shared by the tools: what to decode, which switches the decoder
// object gets, and how items are written.
#pragma once

#include <cstddef>
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
    std::optional<CatalogueFormat> listMessages;  // the signalling message names
    std::string timeZone;  // IANA name for local times; empty: UTC
    ItemFilter filter;     // applies to the chosen format, not to the side files
    CsvLayout csvLayout = CsvLayout::kWide;
};

}  // namespace tessavo::cli
