// Messages the handset received on the forward traffic channel (log code 0x1008): orders, alerts,
// handoff directions and supplemental channel assignments. The report item's message code says
// which message.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

inline constexpr uint32_t kMsgForwardOrder21 = 0x10080154;
inline constexpr uint32_t kMsgAlertWithInformation = 0x10080300;
inline constexpr uint32_t kMsgExtendedHandoffDirection = 0x10081100;
inline constexpr uint32_t kMsgForward19 = 0x10081900;
inline constexpr uint32_t kMsgGeneralHandoffDirection = 0x10081F00;
inline constexpr uint32_t kMsgUniversalHandoffDirection = 0x10082200;
inline constexpr uint32_t kMsgSupplementalChannelAssignment = 0x10082300;
inline constexpr uint32_t kMsgMeidUniversalHandoffDirection = 0x10083500;

struct AlertWithInformationRecord {
    bool hasCallingNumber = false;
    int64_t callingNumber = 0;
};

// What the handoff direction messages tell about the kind of handoff.
struct HandoffDirectionRecord {
    uint8_t msgSeq = 0;
    uint8_t extraParms = 0;
    uint16_t cdmaFreq = 0;  // 0 when the message has no extra parameters
    uint8_t numPilots = 0;
    uint8_t flaggedZero = 0;  // pilots whose flag behind PILOT_PN is 0; 0 when exactly one
};

inline constexpr size_t kSupplementalRecordSize = 292;
// Byte layout: [0] forward flag, [1] forward count, per configuration k (34 bytes from 2 + 34k)
// the configuration byte, the channel count and per channel j (from 4 + 34k + 4j) PILOT_PN
// (u16), the low byte of the code channel and 2 bits; [274] reverse flag, [275] reverse
// count, per entry i 1 bit at 276 + 2i and 4 bits at 277 + 2i.
struct SupplementalChannelRecord {
    std::array<uint8_t, kSupplementalRecordSize> bytes{};
};

void ParseAlertWithInformation(PacketView packet, AlertWithInformationRecord& rec);
uint8_t ParseForward19Field(PacketView packet);
uint8_t ParseExtendedHandoffDirection(PacketView packet);  // returns MSG_SEQ
void ParseGeneralHandoffDirection(PacketView packet, HandoffDirectionRecord& rec);
// Message types 0x22 and 0x35 share one layout.
void ParseUniversalHandoffDirection(PacketView packet, HandoffDirectionRecord& rec);
void ParseSupplementalChannelAssignment(PacketView packet, SupplementalChannelRecord& rec);
int32_t ParseForwardOrderQualifier(PacketView packet);

void HandleForwardTraffic(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
