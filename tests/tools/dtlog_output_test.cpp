// --format dtlog: each DTLog line after the index and time of the item it describes. A
// paging-channel log (0x1007, tick 800 = 1980-01-06T00:00:01Z) renders as its CL3 line:
// received "0", paging channel "1", and its log record from the length word (1000 0710, the
// stamp 0x320 << 16, the payload); its text rides on the next item, item 1.
#include <gtest/gtest.h>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

TEST(DtLogOutput, LinesBelongToTheItemTheyDescribe) {
    TempFile capture(Concat({LogFrame(0x1007, 800, {0x04, 0x06, 0x7E, 0x7D}),
                             LogFrame(0x1000, 801, {}), LogFrame(0x1000, 802, {})}));
    const std::string line =
        "0\t1980-01-06T00:00:01.000000Z\tCL3\t0\t1\t10000710000020030000000004067e7d\n";
    // The filter keeps the paging log, whose line arrives with a 0x1000 item it drops.
    for (const char* codes : {"1007,1000", "1007"}) {
        CliRun run = RunTool({"--format", "dtlog", "--log-code", codes, capture.Path()});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, line) << codes;
    }
    CliRun run = RunTool({"--format", "dtlog", "--log-code", "1000", capture.Path()});
    EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace tessavo::cli::test
