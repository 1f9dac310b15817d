#include "cli_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
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

struct HostTimeCase {
    std::string text;
    bool valid;
    bool now;
    int32_t seconds;
    int32_t microseconds;
};

TEST(CliOptions, HostTimes) {
    const std::vector<HostTimeCase> cases = {
        {"0", true, false, 0, 0},
        {"now", true, true, 0, 0},
        {"1700000000", true, false, 1700000000, 0},
        {"1700000000.25", true, false, 1700000000, 250000},
        {"12.000001", true, false, 12, 1},
        {"-1.5", true, false, -2, 500000},
        {"2147483647", true, false, 2147483647, 0},
        {"2147483648", false, false, 0, 0},
        {"1.1234567", false, false, 0, 0},
        {"1.", false, false, 0, 0},
        {"abc", false, false, 0, 0},
        {"", false, false, 0, 0},
        {"1.2x", false, false, 0, 0},
    };
    for (const HostTimeCase& c : cases) {
        std::optional<HostTime> time = ParseHostTime(c.text);
        ASSERT_EQ(time.has_value(), c.valid) << "'" << c.text << "'";
        if (!time) continue;
        EXPECT_EQ(time->now, c.now) << c.text;
        EXPECT_EQ(time->seconds, c.seconds) << c.text;
        EXPECT_EQ(time->microseconds, c.microseconds) << c.text;
    }
}

TEST(CliOptions, Defaults) {
    ParseResult result = ParseCommandLine({"capture.qmdl"});
    ASSERT_FALSE(result.exitCode);
    const CliOptions& options = result.options;
    EXPECT_EQ(options.inputs, std::vector<std::string>{"capture.qmdl"});
    EXPECT_EQ(options.format, OutputFormat::kJsonl);
    EXPECT_EQ(options.moduleType, 0xB101u);
    EXPECT_FALSE(options.hostTime.now);
    EXPECT_EQ(options.hostTime.seconds, 0);
    EXPECT_EQ(options.chunkSize, 65536u);
    EXPECT_FALSE(options.reencode || options.rawPackets || options.wholeFrames || options.outFile ||
                 options.dtlog || options.inherited || options.quiet);
    EXPECT_FALSE(options.listParams);
}

TEST(CliOptions, SwitchesAndImpliedSwitches) {
    ParseResult result = ParseCommandLine(
        {"--format", "csv", "--module", "0xB20A", "--host-time", "100.5", "--raw-packets",
         "--whole-frames", "--inherited", "--chunk-size", "1", "-q", "-o", "out.csv", "a", "-"});
    ASSERT_FALSE(result.exitCode) << result.message;
    const CliOptions& options = result.options;
    EXPECT_EQ(options.format, OutputFormat::kCsv);
    EXPECT_EQ(options.moduleType, 0xB20Au);
    EXPECT_EQ(options.hostTime.seconds, 100);
    EXPECT_EQ(options.hostTime.microseconds, 500000);
    EXPECT_TRUE(options.rawPackets && options.wholeFrames && options.inherited && options.quiet);
    EXPECT_EQ(options.chunkSize, 1u);
    EXPECT_EQ(options.outputPath, "out.csv");
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"a", "-"}));

    CliOptions implied =
        ParseCommandLine({"--format", "dtlog", "--compact", "c.bin", "--outfile-records", "o.bin"})
            .options;
    EXPECT_TRUE(implied.dtlog);
    EXPECT_TRUE(implied.reencode);
    EXPECT_TRUE(implied.outFile);
    EXPECT_EQ(implied.compactPath, "c.bin");
    EXPECT_EQ(implied.outfileRecordsPath, "o.bin");

    CliOptions plain = ParseCommandLine({"--reencode", "--outfile", "--dtlog"}).options;
    EXPECT_TRUE(plain.reencode && plain.outFile && plain.dtlog);
    EXPECT_EQ(plain.format, OutputFormat::kJsonl);
}

TEST(CliOptions, ListParams) {
    EXPECT_EQ(ParseCommandLine({"--list-params"}).options.listParams, CatalogueFormat::kCsv);
    EXPECT_EQ(ParseCommandLine({"--list-params=csv"}).options.listParams, CatalogueFormat::kCsv);
    EXPECT_EQ(ParseCommandLine({"--list-params=json"}).options.listParams, CatalogueFormat::kJson);
    EXPECT_EQ(ParseCommandLine({"--list-params=xml"}).exitCode, 2);
}

}  // namespace
}  // namespace tessavo::cli
