// The installed program itself: exit statuses and the split between standard output and
// standard error, as a shell sees them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

struct ProcessRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ProcessRun RunBinary(const std::string& arguments) {
    TempFile out;
    TempFile err;
    std::string command = std::string("'") + TESSAVO_DECODE_BINARY + "' " + arguments + " >'" +
                          out.Path() + "' 2>'" + err.Path() + "' </dev/null";
    int raw = std::system(command.c_str());
    ProcessRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(out.Path());
    run.err = Slurp(err.Path());
    return run;
}

TEST(CliBinary, ExitStatuses) {
    TempFile capture(LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})));
    TempFile missing;

    ProcessRun decoded = RunBinary("--format csv '" + capture.Path() + "'");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.err, "");  // not a terminal: no progress bar
    EXPECT_EQ(decoded.out, RunTool({"--format", "csv", capture.Path()}).out);

    ProcessRun notFound = RunBinary("'" + missing.Path() + "'");
    EXPECT_EQ(notFound.status, 1);
    EXPECT_EQ(notFound.out, "");
    EXPECT_NE(notFound.err.find(missing.Path()), std::string::npos);

    ProcessRun badOption = RunBinary("--no-such-option");
    EXPECT_EQ(badOption.status, 2);
    EXPECT_EQ(badOption.out, "");
    EXPECT_NE(badOption.err.find("Usage:"), std::string::npos);

    ProcessRun list = RunBinary("--list-params=json");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out.front(), '[');
}

}  // namespace
}  // namespace tessavo::cli::test
