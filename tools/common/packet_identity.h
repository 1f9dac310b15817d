// Which log code or DIAG command a report item came from.
//
// The library hands out the message code, not the log code. The decoder recovers the log
// code this way:
//  1. From the frame as received (the item's Zel filter block): a packet whose first byte
//     is 0x10 is a log packet and its log code is the u16 at offset 6; any other first byte
//     is the DIAG command code.
//  2. When that block is empty (the sub-packets of packed logs 0x1036/0x1037) or holds a
//     compact 0xFFFE packet (whose message code is the original one), from the message
//     code: module type << 16 + X gives X (a log code, or the command whose response got the
//     identity 0x30cc, 0xDD3F, 0xDD4B or 0x1FFB); 0xEEAA0001 is command 0xDD; any other code
//     carries the log code in its upper half (signalling, packed and event-record logs).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tessavo::cli {

struct PacketIdentity {
    std::optional<uint16_t> logCode;
    std::optional<uint8_t> command;  // set for DIAG command responses instead of a log code
};

PacketIdentity IdentifyPacket(std::span<const uint8_t> frameAsReceived, uint32_t msgCode,
                              uint32_t moduleType);

}  // namespace tessavo::cli
