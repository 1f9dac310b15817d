// Command-line parsing of tessavo-decode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decode_options.h"

namespace tessavo::cli {

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
