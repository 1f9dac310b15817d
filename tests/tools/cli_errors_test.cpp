// Exit statuses and messages for bad input and bad options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

const Bytes kGoodCapture = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));

TEST(CliErrors, MissingFileIsNamedAndNothingIsDecoded) {
    TempFile good(kGoodCapture);
    TempFile missing;  // never created
    CliRun run = RunTool({good.Path(), missing.Path()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "tessavo-decode: cannot open '" + missing.Path() + "': No such file or directory\n");
}

TEST(CliErrors, DirectoryIsNotACapture) {
    TempFile good(kGoodCapture);
    std::string directory = good.Path().substr(0, good.Path().rfind('/'));
    CliRun run = RunTool({directory});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "tessavo-decode: cannot read '" + directory + "': Is a directory\n");
}

TEST(CliErrors, UnwritableOutputIsNamed) {
    TempFile good(kGoodCapture);
    const std::string nowhere = good.Path() + ".d/out.jsonl";
    for (const char* option : {"-o", "--compact", "--outfile-records"}) {
        CliRun run = RunTool({option, nowhere, good.Path()});
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_EQ(run.err,
                  "tessavo-decode: cannot write '" + nowhere + "': No such file or directory\n")
            << option;
        EXPECT_EQ(run.out, "") << option;
    }
}

TEST(CliErrors, BadOptionsGiveUsageAndStatusTwo) {
    TempFile good(kGoodCapture);
    const std::vector<std::vector<std::string>> cases = {
        {"--frobnicate", good.Path()},
        {"--format", "yaml", good.Path()},
        {"--module", "0xB201", good.Path()},
        {"--host-time", "yesterday", good.Path()},
        {"--chunk-size", "0", good.Path()},
        {"--chunk-size", "many", good.Path()},
        {"--list-params=xml"},
        {good.Path(), "--format"},
    };
    for (const auto& args : cases) {
        CliRun run = RunTool(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_EQ(run.err.rfind("tessavo-decode: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\nUsage: tessavo-decode [OPTIONS] [FILE...]\n"), std::string::npos)
            << run.err;
    }
}

TEST(CliErrors, HelpAndVersionGoToStandardOutput) {
    CliRun help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_NE(help.out.find("Usage: tessavo-decode"), std::string::npos);
    EXPECT_NE(help.out.find("--outfile-records"), std::string::npos);
    EXPECT_NE(help.out.find("--module 0xB101"), std::string::npos);  // the documented default
    CliRun version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tessavo-decode (tessavo ", 0), 0u);
}

struct NoFramesCase {
    const char* format;
    const char* output;
};

TEST(CliErrors, InputWithoutFramesGivesAnEmptyResultAndAWarning) {
    const std::vector<NoFramesCase> cases = {
        {"jsonl", ""},
        {"csv", "index,time,msg_code,log_code,direction\n"},
        {"dtlog", ""},
    };
    for (const Bytes& contents : {Bytes{}, Bytes{0x01, 0x02, 0x03, 0x7D}}) {
        TempFile empty(contents);
        for (const NoFramesCase& c : cases) {
            CliRun run = RunTool({"--format", c.format, empty.Path()});
            EXPECT_EQ(run.status, 0) << c.format;
            EXPECT_EQ(run.out, c.output) << c.format;
            EXPECT_EQ(run.err,
                      "tessavo-decode: warning: no DIAG frames in '" + empty.Path() + "'\n")
                << c.format;
        }
    }
    CliRun piped = RunTool({"-"}, "no frames here");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err, "tessavo-decode: warning: no DIAG frames in standard input\n");
}

TEST(CliErrors, FramesTheLibraryRejectsAreNoError) {
    // Frames are there, but none yields an item: no warning, an empty result.
    TempFile capture(FrameWithCheck(LogPacket(0x1062, 800, Words({1})), 0x0000));
    CliRun run = RunTool({capture.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace tessavo::cli::test
