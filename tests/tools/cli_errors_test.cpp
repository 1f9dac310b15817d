// Exit statuses and messages for bad input and bad options, in-process and as a shell sees
// the installed program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

const Bytes kGoodCapture = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));

TEST(CliErrors, UnreadableInputOrUnwritableOutputIsNamedAndNothingIsDecoded) {
    TempFile good(kGoodCapture);
    TempFile missing;  // never created
    const std::string directory = good.Path().substr(0, good.Path().rfind('/'));
    const std::string nowhere = good.Path() + ".d/out.jsonl";
    const std::string noSuchFile = "': No such file or directory\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{good.Path(), missing.Path()}, "cannot open '" + missing.Path() + noSuchFile},
        {{directory}, "cannot read '" + directory + "': Is a directory\n"},
        {{"-o", nowhere, good.Path()}, "cannot write '" + nowhere + noSuchFile},
        {{"--compact", nowhere, good.Path()}, "cannot write '" + nowhere + noSuchFile},
        {{"--outfile-records", nowhere, good.Path()}, "cannot write '" + nowhere + noSuchFile},
    };
    for (const Case& c : cases) {
        CliRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 1) << c.err;
        EXPECT_EQ(run.out, "") << c.err;
        EXPECT_EQ(run.err, "tessavo-decode: " + c.err);
    }
}

TEST(CliErrors, BadOptionsGiveUsageAndStatusTwo) {
    TempFile good(kGoodCapture);
    const std::vector<std::vector<std::string>> cases = {
        {"--frobnicate", good.Path()},       {"--format", "yaml", good.Path()},
        {"--module", "0xB201", good.Path()}, {"--host-time", "yesterday", good.Path()},
        {"--chunk-size", "0", good.Path()},  {"--list-params=xml"},
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
    EXPECT_NE(help.out.find("--module 0xB101"), std::string::npos);  // the documented default
    CliRun version = RunTool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tessavo-decode (tessavo ", 0), 0u);
}

TEST(CliErrors, InputWithoutFramesGivesAnEmptyResultAndAWarning) {
    const std::vector<std::pair<const char*, const char*>> formats = {
        {"jsonl", ""}, {"csv", "index,time,msg_code,log_code,direction\n"}, {"dtlog", ""}};
    for (const Bytes& contents : {Bytes{}, Bytes{0x01, 0x02, 0x03, 0x7D}}) {
        TempFile empty(contents);
        for (const auto& [format, output] : formats) {
            CliRun run = RunTool({"--format", format, empty.Path()});
            EXPECT_EQ(run.status, 0) << format;
            EXPECT_EQ(run.out, output) << format;
            EXPECT_EQ(run.err,
                      "tessavo-decode: warning: no DIAG frames in '" + empty.Path() + "'\n");
        }
    }
    CliRun piped = RunTool({"-"}, "no frames here");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "tessavo-decode: warning: no DIAG frames in standard input\n");

    // Frames that the library rejects are no error: no warning, an empty result.
    TempFile rejected(FrameWithCheck(LogPacket(0x1062, 800, Words({1})), 0x0000));
    CliRun run = RunTool({rejected.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out + run.err, "");
}

// The program itself: main returns the status as the exit status, standard output and error
// stay apart, and no progress bar is drawn when standard error is not a terminal.
TEST(CliErrors, TheInstalledProgramExitsWithTheStatus) {
    TempFile capture(kGoodCapture);
    TempFile missing;
    const std::vector<std::pair<std::string, int>> cases = {
        {"--format csv '" + capture.Path() + "'", 0},
        {"'" + missing.Path() + "'", 1},
        {"--no-such-option", 2},
    };
    for (const auto& [args, status] : cases) {
        TempFile out;
        TempFile err;
        const std::string command = std::string("'") + TESSAVO_DECODE_BINARY + "' " + args + " >'" +
                                    out.Path() + "' 2>'" + err.Path() + "' </dev/null";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw)) << args;
        EXPECT_EQ(WEXITSTATUS(raw), status) << args;
        EXPECT_EQ(out.Read().empty(), status != 0) << args;
        EXPECT_EQ(err.Read().empty(), status == 0) << args;
    }
}

}  // namespace
}  // namespace tessavo::cli::test
