#include "packet_identity.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "diag_frames.h"

namespace tessavo::cli {
namespace {

using test::Bytes;

TEST(PacketIdentity, FromTheFrameOrTheMessageCode) {
    struct Case {
        const char* name;
        Bytes frame;
        uint32_t msgCode;
        std::optional<uint16_t> logCode;
        std::optional<uint8_t> command;
        uint32_t module = 0xB101;
    };
    Bytes compact = test::EscapeAndTerminate(
        test::CompactPacket({800, 315964801, 0, 2, 0xB1011062, {}, 0x0000}));
    const std::vector<Case> cases = {
        {"log packet", test::LogFrame(0x1062, 800, test::Words({1})), 0xB1011062, 0x1062, {}},
        // Log code 0x107D travels as 7D 5D 10.
        {"escaped log code", test::LogFrame(0x107D, 800, {}), 0xB101107D, 0x107D, {}},
        // A signalling log keeps its log code in the upper half of the message code; the
        // frame decides all the same.
        {"signalling log", test::LogFrame(0x1007, 800, Bytes{0, 7}), 0x1007076E, 0x1007, {}},
        {"command response", test::Frame(Bytes{0x73, 0, 0, 0}), 0xB1013073, {}, 0x73},
        {"command 0xDD", test::Frame(Bytes{0xDD, 1, 2}), 0xEEAA0001, {}, 0xDD},
        // Without a frame (sub-packets of packed logs), or with fewer than the 8 bytes that
        // reach the log code: from the message code.
        {"packed sub-packet", {}, 0x10360112, 0x1036, {}},
        {"packed log itself", {}, 0xB1011036, 0x1036, {}},
        {"event record log", {}, 0x10F40110, 0x10F4, {}},
        {"short log frame", Bytes{0x10, 0x00, 0x7E}, 0xB1011000, 0x1000, {}},
        {"time query", {}, 0xEEAA0001, {}, 0xDD},
        {"subsystem command", {}, 0xB101DD4B, {}, 0x4B},
        {"subsystem command, second form", {}, 0xB101304B, {}, 0x4B},
        {"status command", {}, 0xB101DD3F, {}, 0x3F},
        {"event report", {}, 0xB1011FFB, {}, 0x60},
        {"debug message", {}, 0xB1013079, {}, 0x79},
        {"wrapped pilot sets", {}, 0xB1013040, 0x3040, {}},
        // The module type decides which half holds the log code.
        {"another module", {}, 0xB2001062, 0x1062, {}, 0xB200},
        {"module type not matched", {}, 0xB2001062, 0xB200, {}},
        // A compact packet carries the original message code.
        {"compact input", compact, 0xB1011062, 0x1062, {}},
        {"compact input, signalling", compact, 0x10070100, 0x1007, {}},
    };
    for (const Case& c : cases) {
        PacketIdentity identity = IdentifyPacket(c.frame, c.msgCode, c.module);
        EXPECT_EQ(identity.logCode, c.logCode) << c.name;
        EXPECT_EQ(identity.command, c.command) << c.name;
    }
}

}  // namespace
}  // namespace tessavo::cli
