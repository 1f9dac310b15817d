// The option values with a grammar of their own; the switches themselves are exercised by
// the end-to-end tests that use them.
#include "cli_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tessavo::cli {
namespace {

TEST(CliOptions, ModuleTypes) {
    const std::vector<std::pair<std::string, std::optional<uint32_t>>> cases = {
        {"0xB101", 0xB101u}, {"0xb200", 0xB200u}, {"B20A", 0xB20Au}, {"b20b", 0xB20Bu},
        {"45313", 0xB101u},  {"0xB201", {}},      {"0x0", {}},       {"", {}},
        {"0x", {}},          {"B101x", {}},       {"-1", {}},        {"0xB101 ", {}},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseModuleType(text), expected) << "'" << text << "'";
    }
}

TEST(CliOptions, HostTimes) {
    // {now, seconds, microseconds}; a negative time keeps its microseconds positive.
    const std::vector<std::pair<std::string, std::optional<HostTime>>> cases = {
        {"0", HostTime{false, 0, 0}},
        {"now", HostTime{true, 0, 0}},
        {"12.000001", HostTime{false, 12, 1}},
        {"-1.5", HostTime{false, -2, 500000}},
        {"1700000000.25", HostTime{false, 1700000000, 250000}},
        {"2147483647", HostTime{false, 2147483647, 0}},
        {"2147483648", {}},
        {"1.1234567", {}},
        {"1.", {}},
        {"abc", {}},
        {"", {}},
        {"1.2x", {}}};
    for (const auto& [text, expected] : cases) {
        std::optional<HostTime> time = ParseHostTime(text);
        ASSERT_EQ(time.has_value(), expected.has_value()) << "'" << text << "'";
        if (!time) continue;
        EXPECT_EQ(std::tuple(time->now, time->seconds, time->microseconds),
                  std::tuple(expected->now, expected->seconds, expected->microseconds))
            << text;
    }
}

}  // namespace
}  // namespace tessavo::cli
