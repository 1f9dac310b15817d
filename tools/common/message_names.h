// Names of the signalling messages that report items carry, by message code.
//
// The 1x signalling logs give a message code of log code << 16, the over-the-air message
// type << 8 and, for order messages, an order sub-code; the EV-DO signalling logs give log
// code << 16, the protocol type (with its subtype folded in) << 8 and the message ID. This
// is the one table of their names: the decoder's outputs show them, `--list-messages`
// lists them for the generated tables of other programs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessavo::cli {

enum class MessageChannel : uint8_t {
    k1xSync,            // log code 0x1006
    k1xPaging,          // 0x1007
    k1xAccess,          // 0x1004
    k1xReverseTraffic,  // 0x1005
    k1xForwardTraffic,  // 0x1008
    kEvdo,              // 0x1076 to 0x1079 and 0x107C: keyed by protocol, not by channel
};

// One named message: for 1x the message type, for EV-DO the protocol type (0 to 23) in the
// high byte of `type` and the message ID in the low byte.
struct MessageNameRow {
    MessageChannel channel;
    uint16_t type;
    std::string_view name;
};

std::span<const MessageNameRow> MessageNames();

// The EV-DO protocols whose messages the signalling logs carry, by protocol type.
struct ProtocolNameRow {
    uint8_t protocol;
    std::string_view name;
};
std::span<const ProtocolNameRow> EvdoProtocolNames();

// The signalling logs and their channel: 0x1004 access, ... (the 1x ones and the EV-DO ones).
struct SignallingLogRow {
    uint16_t logCode;
    MessageChannel channel;
    std::string_view description;
};
std::span<const SignallingLogRow> SignallingLogs();

// Whether `msgCode` is one of a signalling log (its upper half is such a log code).
bool IsSignallingMessageCode(uint32_t msgCode);

// "System Parameters Message", "Order Message (order sub-code 84)", "Connected State:
// ConnectionClose", "unknown (type 40)"; empty for a code that is not a signalling message's.
std::string MessageNameOf(uint32_t msgCode);

}  // namespace tessavo::cli
