// Outputs never destroy an input or an existing file, every message says what is wrong,
// a stopped run ends its output on a complete line, and the library's own messages stay
// out of the data.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

const Bytes kCapture = LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5}));

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(CliSafety, OutputsNeverReplaceInputsOrSurviveAFailedRun) {
    TempFile capture(kCapture);
    TempFile existing(Bytes{'k', 'e', 'p', 't', '\n'});
    TempFile missing;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"-o", capture.Path(), capture.Path()}, 2, "refusing to write '" + capture.Path()},
        {{"--compact", capture.Path(), capture.Path()}, 2, "it is an input"},
        {{"-o", existing.Path(), capture.Path(), missing.Path()}, 1, "cannot open"},
        {{"-o", existing.Path(), "--compact", existing.Path(), capture.Path()},
         2,
         "named for two outputs"},
    };
    for (const Case& c : cases) {
        CliRun run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status) << c.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(capture.Read(), kCapture) << c.err;
        EXPECT_EQ(Text(existing.Read()), "kept\n") << c.err;
    }
    // A successful run replaces the file and leaves no temporary file beside it.
    ASSERT_EQ(RunTool({"--format", "csv", "-o", existing.Path(), capture.Path()}).status, 0);
    EXPECT_EQ(Text(existing.Read()).substr(0, 6), "index,");
    const auto folder = std::filesystem::path(existing.Path()).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
}

TEST(CliSafety, MessagesSayWhatIsWrongAndWhatIsAccepted) {
    TempFile capture(kCapture);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    std::vector<Case> cases = {
        {{"--chunk-size", "abc", capture.Path()},
         2,
         "--chunk-size: 'abc' is not a chunk size: not a whole number of bytes"},
        {{"--chunk-size", "99999999", capture.Path()}, 2, "outside 1 to 16777216 bytes"},
        {{"--host-time", "1.999999999", capture.Path()},
         2,
         "more than 6 fraction digits (the library keeps microseconds); give "
         "SECONDS[.FRACTION]"},
        {{"--tz", "Mars/Base", capture.Path()}, 2, "unknown time zone 'Mars/Base'"},
        {{"--log-code", "0x1007,zz", capture.Path()}, 2, "'zz' is not a log code"},
        {{"--params", "rx_power,nope", capture.Path()}, 2, "unknown parameter 'nope'"},
    };
    if (std::filesystem::exists("/dev/full")) {
        cases.push_back({{"-o", "/dev/full", capture.Path()},
                         1,
                         "error writing '/dev/full': No space left on device"});
    }
    for (const Case& c : cases) {
        CliRun run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status) << c.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    // No capture named and a terminal on standard input: the usage, not a wait.
    CliRun run = RunTool({}, "", true);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Usage: tessavo-decode"), std::string::npos) << run.err;
}

// The program reads a pipe that stays open; once a row is out, a signal stops it: the row
// and the header are complete lines and the status is 128 + the signal.
TEST(CliSafety, ASignalEndsTheOutputOnACompleteRow) {
    for (int signal : {SIGINT, SIGTERM}) {
        int in[2];
        int out[2];
        ASSERT_EQ(pipe(in), 0);
        ASSERT_EQ(pipe(out), 0);
        pid_t child = fork();
        if (child == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execl(TESSAVO_DECODE_BINARY, TESSAVO_DECODE_BINARY, "--format", "csv", "--params",
                  "log1062_word1", "-", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        ASSERT_EQ(write(in[1], kCapture.data(), kCapture.size()), ssize_t(kCapture.size()));
        std::string text;
        char buffer[256];
        pollfd wait{out[0], POLLIN, 0};
        while (text.find("\n0,") == std::string::npos || text.back() != '\n') {
            ASSERT_EQ(poll(&wait, 1, 10000), 1) << "no row within 10 s: " << text;
            ssize_t count = read(out[0], buffer, sizeof buffer);
            ASSERT_GT(count, 0);
            text.append(buffer, static_cast<size_t>(count));
        }
        kill(child, signal);
        int raw = 0;
        waitpid(child, &raw, 0);
        for (ssize_t count; (count = read(out[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<size_t>(count));
        }
        close(in[1]);
        close(out[0]);
        ASSERT_TRUE(WIFEXITED(raw)) << signal;
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
        EXPECT_EQ(text,
                  "index,time,msg_code,log_code,direction,log1062_word1\n"
                  "0,1980-01-06T00:00:01.000000Z,0xb1011062,0x1062,2,1\n");
    }
}

// Compact packets naming IDs outside the tables make the library print one message per ID
// on standard output; the program's data stays valid JSON lines and the summary counts them.
TEST(CliSafety, LibraryMessagesGoToStandardErrorAndAreCounted) {
    Bytes capture = kCapture;
    for (uint64_t i = 1; i <= 3; ++i) {
        capture = Concat({capture, EscapeAndTerminate(CompactPacket(
                                       {800 + i,
                                        315964801,
                                        int32_t(1250 * i),
                                        2,
                                        0xB1011062,
                                        {{0x7F01001B, 7}, {0x7F018328, 9}, {0x7F0107FD, 8}},
                                        0}))});
    }
    TempFile file(capture);
    CliRun jsonl = RunProgram({file.Path()});
    ASSERT_EQ(jsonl.status, 0) << jsonl.err;
    std::vector<Json> items;
    ASSERT_NO_THROW(items = JsonLines(jsonl.out)) << jsonl.out;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3]["params"][0]["value"], 9);  // the known ID is decoded
    EXPECT_EQ(Lines(jsonl.err).size(), 6u) << jsonl.err;

    CliRun summary = RunProgram({"--format", "summary", file.Path()});
    EXPECT_NE(summary.out.find("library messages       6 "), std::string::npos) << summary.out;
}

}  // namespace
}  // namespace tessavo::cli::test
