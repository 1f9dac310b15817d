// Messages the handset sent: on the access channel (log code 0x1004) and on the reverse
// traffic channel (log code 0x1005). The report item's message code says which message.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

inline constexpr uint32_t kMsgOrigination = 0x10040400;
inline constexpr uint32_t kMsgPageResponse = 0x10040500;
inline constexpr uint32_t kMsgPilotStrengthMeasurement = 0x10050500;
inline constexpr uint32_t kMsgHandoffCompletion = 0x10050A00;
inline constexpr uint32_t kMsgReverseOrder21 = 0x10050154;

inline constexpr int kMaxHandoffPilots = 64;

struct OriginationRecord {
    int64_t number = 0;          // dialled digits as a number
    uint16_t serviceOption = 0;  // 0 when not sent
};

struct PageResponseRecord {
    uint16_t serviceOption = 0;
};

struct HandoffCompletionRecord {
    int count = 0;
    std::array<uint16_t, kMaxHandoffPilots> pilotPns{};
};

// Access channel messages: the header (addressing, authentication, pilot report) then the body.
void ParseOrigination(PacketView packet, OriginationRecord& rec);
void ParsePageResponse(PacketView packet, PageResponseRecord& rec);

// Reverse traffic channel messages.
uint16_t ParsePilotStrengthReferencePn(PacketView packet);
void ParseHandoffCompletion(PacketView packet, HandoffCompletionRecord& rec);
int32_t ParseReverseOrderQualifier(PacketView packet);

void HandleAccessChannel(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleReverseTraffic(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
