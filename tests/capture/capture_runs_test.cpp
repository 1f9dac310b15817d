// One table of capture runs against the simulator, each over a pseudo-terminal and over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>

#include "capture_harness.h"

namespace tessavo::capture::test {
namespace {

struct RunContext {
    const WorkDir& dir;
    Link link;
    Simulator* sim;  // null for the echo port
    ProgramRun run;
    std::string record;  // -w
    std::string items;   // -o, JSON lines
};

struct CaptureCase {
    const char* name;
    std::vector<std::string> simArgs;
    std::vector<std::string> captureArgs;
    std::function<void(RunContext&)> check;
    bool echoPort = false;   // a port that is not DIAG instead of the simulator
    bool interrupt = false;  // SIGINT once 100000 bytes are recorded, instead of --idle-stop
    bool tcpOnly = false;
};

// The command-log lines of log-mask requests (operation 3), as bytes.
std::vector<Bytes> MaskRequests(const std::string& commandLog) {
    std::vector<Bytes> requests;
    for (const std::string& line : Lines(ReadText(commandLog))) {
        if (line.rfind("73 00 00 00 03 00 00 00", 0) != 0) continue;
        Bytes bytes;
        for (size_t i = 0; i + 1 < line.size(); i += 3)
            bytes.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
        requests.push_back(bytes);
    }
    return requests;
}

// Whether a mask request (header 16 bytes: command, op, equipment, last item) enables `code`.
bool Enables(const Bytes& request, uint16_t code) {
    const size_t item = code & 0xFFF;
    return (request.at(16 + item / 8) >> (item % 8) & 1) != 0;
}

// The frames of a byte stream (split after each 0x7E), for their first bytes.
std::vector<Bytes> SplitFrames(const Bytes& bytes) {
    std::vector<Bytes> frames(1);
    for (uint8_t byte : bytes) {
        frames.back().push_back(byte);
        if (byte == 0x7E) frames.emplace_back();
    }
    frames.pop_back();
    return frames;
}

size_t LogFrames(const Bytes& bytes) {
    size_t count = 0;
    for (const Bytes& frame : SplitFrames(bytes)) count += frame.size() > 1 && frame[0] == 0x10;
    return count;
}

// Equal item lists; a failure names the count and the first item that differs, not the
// whole lists.
void ExpectSameItems(const std::vector<Json>& got, const std::vector<Json>& expected) {
    EXPECT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < std::min(got.size(), expected.size()); ++i) {
        if (got[i] != expected[i]) {
            ADD_FAILURE() << "item " << i << " differs: " << got[i].dump().substr(0, 300)
                          << "\nexpected " << expected[i].dump().substr(0, 300);
            return;
        }
    }
}

// The recording is the stream as sent, and decoding it gives the live items.
void ExpectFaithfulRecording(RunContext& c) {
    c.sim->Stop();  // its logs are complete once it has ended
    EXPECT_TRUE(ReadBytes(c.record) == ReadBytes(c.sim->SentLog()));
    const std::vector<Json> live = JsonLines(ReadText(c.items));
    EXPECT_FALSE(live.empty());
    ExpectSameItems(Decode(c.dir, {c.record}), live);
}

void ExpectRefused(RunContext& c, int status, const std::string& message) {
    EXPECT_EQ(c.run.status, status) << c.run.err;
    EXPECT_NE(c.run.err.find(message), std::string::npos) << c.run.err;
    EXPECT_EQ(ReadText(c.items), "");  // no item: nothing was logged
    EXPECT_EQ(LogFrames(ReadBytes(c.record)), 0u);
}

std::string NoAnswerText(const RunContext& c) {
    const std::string port = c.sim != nullptr ? c.sim->PortArgs()[1] : "";
    return "no DIAG response on " + port + " after 1 s (is this the diagnostic interface?)";
}

const std::vector<CaptureCase> kCases = {
    {"default_mask",
     {"--speed", "max"},
     {},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         ExpectFaithfulRecording(c);
         // The mask is the route table's: decoded codes on, ignored ones (0x1065) off.
         auto masks = MaskRequests(c.sim->CommandLog());
         ASSERT_EQ(masks.size(), 2u);  // set, then cleared on exit
         EXPECT_TRUE(Enables(masks[0], 0x1007) && Enables(masks[0], 0x119A) &&
                     Enables(masks[0], 0x12A6));
         EXPECT_FALSE(Enables(masks[0], 0x1065) || Enables(masks[0], 0x1000));
     }},
    {"chosen_codes_and_events",
     {"--speed", "max"},
     {"--codes", "0x1007,0x107C", "--events"},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         // Event reports on (60 01) after the mask, off (60 00) after clearing it.
         const auto commands = Lines(ReadText(c.sim->CommandLog()));
         ASSERT_EQ(commands.size(), 6u);
         EXPECT_EQ(commands[3], "60 01");
         EXPECT_EQ(commands[5], "60 00");
         std::set<std::string> codes;
         for (const Json& item : LogItems(JsonLines(ReadText(c.items))))
             codes.insert(item["log_code"]);
         EXPECT_FALSE(codes.empty());
         for (const std::string& code : codes)
             EXPECT_TRUE(code == "0x1007" || code == "0x107C") << code;
         // Equipment 1, last item 0xFFF (the handset's), 512 mask bytes: 0x1007 is bit 7 of
         // byte 0, 0x107C (item 124) bit 4 of byte 15.
         Bytes expected = {0x73, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0x0F, 0, 0};
         Bytes mask(512, 0);
         mask[0] = 0x80;
         mask[15] = 0x10;
         expected.insert(expected.end(), mask.begin(), mask.end());
         auto masks = MaskRequests(c.sim->CommandLog());
         ASSERT_FALSE(masks.empty());
         EXPECT_EQ(masks[0], expected);
     }},
    {"disconnect",
     {"--speed", "max", "--disconnect-after", "200001"},
     {},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 3);
         EXPECT_NE(c.run.err.find("went away"), std::string::npos) << c.run.err;
         c.sim->Stop();
         // All the bytes that arrived are on disk. Over TCP that is all that was sent; a pty
         // hung up discards what its reader had not taken yet.
         const Bytes recorded = ReadBytes(c.record);
         const Bytes sent = ReadBytes(c.sim->SentLog());
         ASSERT_EQ(sent.size(), 200001u);
         EXPECT_NE(c.run.err.find(" " + std::to_string(recorded.size()) + " bytes"),
                   std::string::npos)
             << c.run.err;
         if (c.link == Link::kTcp) {
             EXPECT_EQ(recorded.size(), sent.size());
         }
         EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), sent.begin()));
     }},
    {"reconnect",
     {"--speed", "max", "--disconnect-after", "200001"},
     {"--reconnect"},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         const std::string second = c.dir / "record.1.bin";
         ASSERT_FALSE(ReadBytes(second).empty());
         // The same handset captured without a break.
         Simulator whole(c.dir, c.link, {"--speed", "max"});
         const std::string reference = c.dir / "whole.bin";
         auto args = whole.PortArgs();
         args.insert(args.end(), {"-w", reference, "--idle-stop", "2", "--no-live"});
         ASSERT_EQ(RunCapture(c.dir, args).status, 0);
         const auto together = LogItems(Decode(c.dir, {c.record, second}));
         EXPECT_FALSE(together.empty());
         ExpectSameItems(together, LogItems(Decode(c.dir, {reference})));
     },
     false,
     false,
     true},
    {"interrupted",
     {"--speed", "max"},
     {},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 130) << c.run.err;
         auto masks = MaskRequests(c.sim->CommandLog());
         ASSERT_EQ(masks.size(), 2u);
         Bytes cleared = masks[0];
         std::fill(cleared.begin() + 16, cleared.end(), 0);
         EXPECT_EQ(masks[1], cleared);
         const std::string items = ReadText(c.items);
         ASSERT_FALSE(items.empty());
         EXPECT_EQ(items.back(), '\n');
         ExpectSameItems(Decode(c.dir, {c.record}), JsonLines(items));
     },
     false,
     true},
    {"rotation",
     {"--speed", "max"},
     {"--rotate-size", "100K"},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         c.sim->Stop();
         // Numbered files that end on a frame boundary once 100 KiB are reached and together
         // hold the whole stream.
         Bytes together;
         size_t files = 0;
         for (std::string path = c.record; !ReadBytes(path).empty();
              path = c.dir / ("record." + std::to_string(++files) + ".bin")) {
             const Bytes file = ReadBytes(path);
             together.insert(together.end(), file.begin(), file.end());
             if (!ReadBytes(c.dir / ("record." + std::to_string(files + 1) + ".bin")).empty()) {
                 EXPECT_GE(file.size(), 100u * 1024);
                 EXPECT_EQ(file.back(), 0x7E);
             }
         }
         EXPECT_GE(files, 6u);  // the sample is 686 KB
         EXPECT_TRUE(together == ReadBytes(c.sim->SentLog()));
     }},
    {"slow_answers",
     {"--speed", "max", "--answer-delay", "300"},
     {},
     [](RunContext& c) {
         // Each reply 0.3 s late: within the 1 s the handshake waits.
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         ExpectFaithfulRecording(c);
     }},
    {"no_answer",
     {"--no-answer"},
     {},
     [](RunContext& c) {
         ExpectRefused(c, 3, NoAnswerText(c));
         EXPECT_TRUE(ReadBytes(c.record).empty());
     }},
    {"not_diag",
     {},
     {},
     [](RunContext& c) {
         ExpectRefused(c, 3, "(is this the diagnostic interface?)");
         EXPECT_FALSE(ReadBytes(c.record).empty());  // the echoes are kept
     },
     true},
    {"rejected_mask",
     {"--reject-mask"},
     {},
     [](RunContext& c) { ExpectRefused(c, 4, "the handset refused the log mask: status 1"); }},
    {"garbage_and_bad_crc",
     {"--speed", "max", "--garbage-every", "50", "--bad-crc-every", "70"},
     {},
     [](RunContext& c) {
         EXPECT_EQ(c.run.status, 0) << c.run.err;
         ExpectFaithfulRecording(c);
         // Every 50th log frame is followed by a junk frame, every 70th is damaged.
         const size_t logs = LogFrames(ReadBytes(c.record));
         ASSERT_GT(logs, 140u);
         EXPECT_NE(c.run.err.find(", " + std::to_string(logs / 50 + logs / 70) + " CRC failures,"),
                   std::string::npos)
             << c.run.err;
     }},
};

class CaptureRun : public ::testing::TestWithParam<std::tuple<size_t, Link>> {};

TEST_P(CaptureRun, AgainstTheSimulator) {
    const CaptureCase& test = kCases[std::get<0>(GetParam())];
    const Link link = std::get<1>(GetParam());
    if (test.tcpOnly && link != Link::kTcp) GTEST_SKIP() << "a pty's path does not come back";
    WorkDir dir;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<EchoPort> echo;
    std::vector<std::string> args;
    if (test.echoPort) {
        echo = std::make_unique<EchoPort>(link);
        args = echo->PortArgs();
    } else {
        sim = std::make_unique<Simulator>(dir, link, test.simArgs);
        args = sim->PortArgs();
        ASSERT_EQ(args.size(), 2u) << "the simulator did not start";
    }
    RunContext c{dir, link, sim.get(), {}, dir / "record.bin", dir / "items.jsonl"};
    args.insert(args.end(), {"-w", c.record, "--format", "jsonl", "-o", c.items, "--timeout", "1"});
    args.insert(args.end(), test.captureArgs.begin(), test.captureArgs.end());
    if (test.interrupt) {
        args.insert(args.end(), {"--duration", "120"});
        const pid_t capture =
            StartProgram(TESSAVO_CAPTURE_BINARY, args, dir / "capture.out", dir / "capture.err");
        ASSERT_TRUE(WaitUntil([&] { return ReadBytes(c.record).size() >= 100000; }, 60));
        kill(capture, SIGINT);
        c.run.status = WaitFor(capture, 60);
        c.run.err = ReadText(dir / "capture.err");
    } else {
        args.insert(args.end(), {"--idle-stop", "2"});
        c.run = RunCapture(dir, args);
    }
    test.check(c);
}

INSTANTIATE_TEST_SUITE_P(Table, CaptureRun,
                         ::testing::Combine(::testing::Range<size_t>(0, kCases.size()),
                                            ::testing::Values(Link::kPty, Link::kTcp)),
                         [](const auto& info) {
                             return std::string(kCases[std::get<0>(info.param)].name) + "_" +
                                    LinkName(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace tessavo::capture::test

namespace tessavo::capture::test {
namespace {

// Outputs are checked before the port is opened: an existing file costs nothing and stays.
TEST(CaptureOutputs, AnExistingFileIsKeptWithoutForce) {
    WorkDir dir;
    const std::string taken = dir / "taken.bin";
    std::ofstream(taken) << "keep";
    for (const char* option : {"-w", "-o"}) {
        const ProgramRun run = RunCapture(dir, {"--serial", dir / "no-such-port", option, taken});
        EXPECT_EQ(run.status, 1) << option;
        EXPECT_NE(run.err.find("'" + taken + "' exists; name another file or give --force"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(ReadText(taken), "keep");
    }
    const ProgramRun forced =
        RunCapture(dir, {"--serial", dir / "no-such-port", "-w", taken, "--force"});
    EXPECT_EQ(forced.status, 3);
    EXPECT_NE(forced.err.find("cannot open " + dir / "no-such-port"), std::string::npos)
        << forced.err;
}

}  // namespace
}  // namespace tessavo::capture::test
