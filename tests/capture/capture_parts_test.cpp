// The parts of the capture tool and the simulator that need no port: frames, log masks and
// their requests, the replies, the USB interface choice, option values and file names, the
// live screen's list of messages.
#include <gtest/gtest.h>

#include <sstream>

#include "capture_options.h"
#include "diag_responder.h"
#include "hdlc_codec.h"
#include "live_view.h"
#include "log_config_packets.h"
#include "log_mask_selection.h"
#include "recording.h"
#include "usb_interface_choice.h"

namespace tessavo::capture {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(HdlcCodec, FramesCarryTheCheckLowByteFirstAndEscapeBothFlagBytes) {
    // CRC-16/X.25 of "123456789" is 0x906E.
    Bytes expected = Text("123456789");
    expected.insert(expected.end(), {0x6E, 0x90, 0x7E});
    EXPECT_EQ(cli::HdlcFrame(Text("123456789")), expected);

    const Bytes packet = {0x7E, 0x10, 0x7D, 0x00};
    const Bytes frame = cli::HdlcFrame(packet);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 5), (Bytes{0x7D, 0x5E, 0x10, 0x7D, 0x5D}));
    EXPECT_EQ(frame.back(), 0x7E);
    EXPECT_EQ(cli::OpenHdlcFrame(frame), packet);
    Bytes damaged = frame;
    damaged[2] ^= 0x01;
    EXPECT_EQ(cli::OpenHdlcFrame(damaged), std::nullopt);
    EXPECT_EQ(cli::OpenHdlcFrame(Bytes{0x01, 0x7E}), std::nullopt);
}

TEST(LogMask, BytesPerSelectionAndLastItem) {
    struct Case {
        CodeSelection selection;
        std::optional<uint32_t> lastItem;
        size_t size;
        std::vector<std::pair<size_t, uint8_t>> setBytes;  // all other bytes are 0
    };
    const Case cases[] = {
        // 0x1007: bit 7 of byte 0; 0x107C (item 124): bit 4 of byte 15.
        {{false, {0x1007, 0x107C}}, 0xFFF, 512, {{0, 0x80}, {15, 0x10}}},
        {{false, {0x1007, 0x107C}}, std::nullopt, 16, {{0, 0x80}, {15, 0x10}}},
        // Items 0 to 0x2B6 (694): 86 full bytes, then items 688-694 as bits 0-6.
        {{true, {}}, 0x2B6, 87, {}},
        // A code past the handset's last item cannot be enabled.
        {{false, {0x1FFF}}, 0x2FF, 96, {}},
    };
    for (const Case& c : cases) {
        const cli::LogMask mask = BuildLogMask(c.selection, c.lastItem);
        EXPECT_EQ(mask.equipment, 1u);
        ASSERT_EQ(mask.bits.size(), c.size);
        Bytes expected(c.size, 0);
        if (c.selection.all) {
            std::fill(expected.begin(), expected.end() - 1, 0xFF);
            expected.back() = 0x7F;
        }
        for (auto [index, value] : c.setBytes) expected[index] = value;
        EXPECT_EQ(mask.bits, expected) << c.size;
    }
}

TEST(LogMask, SetMaskRequestLayout) {
    cli::LogMask mask = cli::EmptyLogMask(1, 0x0F);
    mask.Enable(0x1);
    mask.Enable(0xF);
    EXPECT_EQ(cli::SetLogMaskRequest(mask),
              (Bytes{0x73, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0x0F, 0, 0, 0, 0x02, 0x80}));
}

TEST(CodeSelection, ParsesListsRangesAndAll) {
    std::string error;
    EXPECT_EQ(ParseCodeSelection("0x107C,1007", error)->codes,
              (std::vector<uint16_t>{0x1007, 0x107C}));
    EXPECT_EQ(ParseCodeSelection("0x1000-0x1003,0x1001", error)->codes,
              (std::vector<uint16_t>{0x1000, 0x1001, 0x1002, 0x1003}));
    EXPECT_TRUE(ParseCodeSelection("all", error)->all);
    for (const char* bad : {"0x2000", "0x1005-0x1001", "0x1FFF-0x2001", "x", "", "0x1007,"}) {
        error.clear();
        EXPECT_EQ(ParseCodeSelection(bad, error), std::nullopt) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    // The default is the library's route table: decoded codes in, ignored codes and other
    // equipment IDs out.
    const std::vector<uint16_t> codes = DefaultCodeSelection().codes;
    auto has = [&](uint16_t code) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    };
    EXPECT_TRUE(has(0x1007) && has(0x119A) && has(0x12A6) && has(0x1036));
    EXPECT_FALSE(has(0x1065) || has(0x12B6) || has(0x9068) || has(0x1000));
}

TEST(LogConfigReplies, ParsedAndMatchedToTheirRequests) {
    Bytes ranges = {0x73, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    for (uint32_t id = 0; id < 16; ++id) {
        const uint32_t last = id == 1 ? 0x0FFF : 0;
        ranges.insert(ranges.end(), {uint8_t(last), uint8_t(last >> 8), 0, 0});
    }
    auto reply = cli::ParseLogConfigReply(ranges);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 0u);
    EXPECT_EQ(reply->lastItems[1], 0xFFFu);
    Bytes shortRanges(ranges.begin(), ranges.end() - 1);
    EXPECT_EQ(cli::ParseLogConfigReply(shortRanges), std::nullopt);
    const Bytes refused = {0x73, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(cli::ParseLogConfigReply(refused)->status, 1u);

    const Bytes setMask = cli::SetLogMaskRequest(cli::EmptyLogMask(1, 7));
    const struct {
        Bytes reply;
        Bytes request;
        bool answers;
    } cases[] = {
        {{0x00, 'D', 'e', 'c'}, {0x00}, true},
        {{0x00}, {0x00}, false},  // an echo
        {{0x13, 0x00, 0x11, 0x22}, {0x00}, true},
        {{0x13, 0x7C}, {0x00}, false},
        {refused, setMask, true},
        {ranges, setMask, false},  // another operation's reply
        {setMask, setMask, false},
        {{0x60, 0x00, 0x00}, {0x60, 0x01}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cli::AnswersCommand(c.reply, c.request), c.answers) << cli::HexText(c.reply);
}

TEST(SimulatedHandset, LogsWhatItsMaskEnablesAndRefusesUnknownCommands) {
    sim::DiagResponder handset;
    EXPECT_FALSE(handset.AnyLogging());
    cli::LogMask mask = cli::EmptyLogMask(1, 0xFFF);
    mask.Enable(0x007);
    auto reply = cli::ParseLogConfigReply(handset.Answer(cli::SetLogMaskRequest(mask)));
    ASSERT_TRUE(reply && reply->mask);
    EXPECT_EQ(reply->status, 0u);
    EXPECT_TRUE(handset.Logging(0x1007));
    EXPECT_FALSE(handset.Logging(0x1008) || handset.Logging(0x9068));
    EXPECT_EQ(handset.Answer(Bytes{0x4B, 0x12}), (Bytes{0x13, 0x4B, 0x12}));

    sim::DiagResponder refusing(sim::ResponderFaults{true});
    EXPECT_EQ(cli::ParseLogConfigReply(refusing.Answer(cli::SetLogMaskRequest(mask)))->status, 1u);
    EXPECT_FALSE(refusing.Logging(0x1007));
}

TEST(UsbInterfaceChoice, FromDescriptors) {
    const UsbEndpointInfo bulkIn{0x81, 0x02}, bulkOut{0x01, 0x02}, bulkIn2{0x83, 0x02},
        bulkOut2{0x03, 0x02}, interruptIn{0x82, 0x03};
    // A handset: a modem (0x02), a vendor interface without the diagnostic protocol, the
    // diagnostic interface (0xFF/0xFF/0x30), and a vendor interface with two bulk INs.
    const std::vector<UsbInterfaceInfo> handset = {
        {0, 0, 0x02, 0x02, 0x01, {interruptIn}},
        {1, 0, 0xFF, 0xFF, 0xFF, {bulkIn, bulkOut}},
        {2, 0, 0xFF, 0xFF, 0x30, {bulkIn2, bulkOut2, interruptIn}},
        {3, 0, 0xFF, 0xFF, 0xFF, {bulkIn, bulkIn2, bulkOut}},
    };
    const std::vector<UsbInterfaceInfo> withoutProtocol = {handset[0], handset[3], handset[1]};
    const struct {
        std::vector<UsbInterfaceInfo> interfaces;
        std::optional<int> wanted;
        std::optional<std::tuple<int, int, int>> chosen;  // interface, IN, OUT
    } cases[] = {
        {handset, std::nullopt, std::tuple{2, 0x83, 0x03}},
        {withoutProtocol, std::nullopt, std::tuple{1, 0x81, 0x01}},
        {handset, 1, std::tuple{1, 0x81, 0x01}},
        {handset, 0, std::nullopt},  // no bulk pair
        {handset, 3, std::nullopt},  // two bulk INs
        {handset, 7, std::nullopt},
        {{handset[0], handset[3]}, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        std::string error;
        auto choice = ChooseDiagInterface(c.interfaces, c.wanted, error);
        ASSERT_EQ(choice.has_value(), c.chosen.has_value()) << error;
        if (!choice) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(std::tuple(int(choice->number), int(choice->in), int(choice->out)), *c.chosen);
    }
}

TEST(CaptureOptionValues, SizesDurationsAndNumberedFiles) {
    EXPECT_EQ(ParseSize("512K"), 512u * 1024);
    EXPECT_EQ(ParseSize("100M"), 100u * 1024 * 1024);
    EXPECT_EQ(ParseSize("2G"), 2ull * 1024 * 1024 * 1024);
    EXPECT_EQ(ParseSize("4096"), 4096u);
    EXPECT_EQ(ParseSize("1.5x"), std::nullopt);
    EXPECT_EQ(ParseSize("0"), std::nullopt);
    EXPECT_EQ(ParseDuration("30s"), 30.0);
    EXPECT_EQ(ParseDuration("10m"), 600.0);
    EXPECT_EQ(ParseDuration("1h"), 3600.0);
    EXPECT_EQ(ParseDuration("2.5"), 2.5);
    EXPECT_EQ(ParseDuration("-1s"), std::nullopt);
    EXPECT_EQ(NumberedPath("drive.qmdl", 0), "drive.qmdl");
    EXPECT_EQ(NumberedPath("drive.qmdl", 1), "drive.1.qmdl");
    EXPECT_EQ(NumberedPath("logs.d/drive", 12), "logs.d/drive.12");
}

// The live screen's last signalling messages: newest first, each with its log, its code and,
// where the code is a known message, its name.
TEST(LiveView, NamesTheSignallingMessagesItShows) {
    struct Case {
        uint16_t logCode;
        uint32_t msgCode;
        const char* shown;
    };
    const Case cases[] = {
        {0x1007, 0x10070100, "log 0x1007 message 0x0100: System Parameters Message"},
        {0x1007, 0x1007FE00, "log 0x1007 message 0xFE00: unknown (type 254)"},
    };
    std::ostringstream out;
    LiveView view(out, true, "test");
    for (const Case& c : cases) {
        cli::ItemView item;
        item.msgCode = c.msgCode;
        item.identity.logCode = c.logCode;
        item.currentParams.push_back(DecodeParam{1, 0x7F010014, 1, 1});
        view.Consume(item);
    }
    const std::string screen = view.Render(PortCounters{}, 1.0, 1.0);
    const size_t first = screen.find(cases[1].shown);
    const size_t second = screen.find(cases[0].shown);
    ASSERT_NE(first, std::string::npos) << screen;
    ASSERT_NE(second, std::string::npos) << screen;
    EXPECT_LT(first, second);
}

}  // namespace
}  // namespace tessavo::capture
