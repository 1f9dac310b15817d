// Sync channel (log code 0x1006) and paging channel (log code 0x1007) messages.
//
// Either log means the handset listens to the overhead channels, not a traffic channel: both
// set the channel state to 0, publish it, and withdraw the traffic-only values. The paging
// channel carries several messages; the report item's message code says which.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

inline constexpr uint32_t kMsgSystemParameters = 0x10070100;
inline constexpr uint32_t kMsgAccessParameters = 0x10070200;
inline constexpr uint32_t kMsgExtendedSystemParameters = 0x10070D00;

struct SyncChannelRecord {
    uint8_t pRev = 0;
    int32_t channel = -9999;  // CDMA_FREQ, sent only at protocol revision 6
};

// Published as 0x7F0107D0 (19 bytes) and 0x7F0107D1 (5 bytes).
struct SystemParametersRecord {
    uint16_t pilotPn = 0;
    uint16_t sid = 0;
    uint16_t nid = 0;
    uint16_t baseId = 0;
    uint16_t srchWinA = 0;
    uint16_t srchWinN = 0;
    uint16_t srchWinR = 0;
    uint8_t nghbrMaxAge = 0;
    uint8_t tAdd = 0;
    uint8_t tDrop = 0;
    uint8_t tComp = 0;
    uint8_t tTdrop = 0;
    // Power measurement report settings.
    uint8_t pwrRepThresh = 0;
    uint8_t pwrRepFrames = 0;
    uint8_t pwrThreshEnable = 0;
    uint8_t pwrPeriodEnable = 0;
    uint8_t pwrRepDelay = 0;
};

// Indexes into AccessParametersRecord::values, which is published as 0x7F0107D2 in this order.
enum AccessParam : int {
    kNomPwr = 0,
    kInitPwr = 1,
    kPwrStep = 2,
    kNumStep = 3,
    kMaxReqSeq = 4,
    kMaxRspSeq = 5,
    kMaxCapSz = 6,
    kPamSz = 7,
    kAccTmo = 8,
    kProbePnRan = 9,
    kProbeBkoff = 10,
    kBkoff = 11,
};

struct AccessParametersRecord {
    std::array<uint16_t, 12> values{};
};

struct ExtendedSystemParametersRecord {
    uint32_t mcc = 0;  // decoded digits; not published
    uint8_t pRev = 0;
    uint8_t softSlope = 0;
    uint8_t reselectIncluded = 0;
    uint8_t ecThresh = 0;
    uint8_t ecIoThresh = 0;
};

void ParseSyncChannel(PacketView packet, SyncChannelRecord& rec);
void ParseSystemParameters(PacketView packet, SystemParametersRecord& rec);
void ParseAccessParameters(PacketView packet, AccessParametersRecord& rec);
void ParseExtendedSystemParameters(PacketView packet, ExtendedSystemParametersRecord& rec);

void HandleSyncChannel(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandlePagingChannel(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
