// Message code, direction and item time of a packet: the header values a host classifies and
// orders report items by.
//
// Most message codes are module type << 16 plus a 16-bit identity. Signalling logs instead put
// the log code in the upper half and the over-the-air message type (and, for order messages,
// the order's sub-code) in the lower half, so that a host tells message kinds apart without
// decoding parameters.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"
#include "common/time_pair.h"

namespace tessavo {

// Message code of a command response packet; 0 for commands without a fixed code (0xDD takes
// its code from its decoder) and for commands that are not decoded.
uint32_t CommandMessageCode(uint32_t moduleType, uint8_t command);

// Message code of a log packet (unescaped; its length counts the check bytes and terminator).
uint32_t LogMessageCode(uint32_t moduleType, PacketView packet);

// Sub-codes of order messages, as added to the low byte of a signalling log's message code.
// Each reads the log payload (packet byte 16 on) MSB-first; a payload too short for the order
// fields yields whatever the field temporaries last held.
uint8_t AccessChannelOrderSubCode(PacketView packet);   // log code 0x1004, message type 2
uint8_t ReverseTrafficOrderSubCode(PacketView packet);  // log code 0x1005, message type 1
uint8_t PagingChannelOrderSubCode(PacketView packet);   // log code 0x1007, message type 7
uint8_t ForwardTrafficOrderSubCode(PacketView packet);  // log code 0x1008, message type 1

// Table look-ups by order code (6 bits) and variant (0 to 2); 0 where no sub-code is defined.
uint8_t ReverseOrderSubCode(uint32_t order, uint32_t variant);
uint8_t ForwardOrderSubCode(uint32_t order, uint32_t variant);

// Direction of a log packet: 1 for messages the handset sent, 0 for those it received, 2 for
// everything that is not a signalling message.
uint16_t LogDirection(uint16_t logCode);
inline constexpr uint16_t kCommandDirection = 2;

// Item time of a command 0xDD response: the first DIAG time moved on by the host time elapsed
// since the first host time.
TimePair CommandDdItemTime(TimePair firstDiag, TimePair firstHost, TimePair host);

}  // namespace tessavo
