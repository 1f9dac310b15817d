// Adding a decoder: replace the nulls of its row with its handlers (and include its family
// header). Sampled codes name a record of the context's sampling table by index; the record
// carries the interval (1.0 s for 0x1025/0x1026/0x1029, 0.8 s for 0x1031, 0.5 s, 0.4 s, 0.25 s
// and 0.2 s for the others).
#include "dispatch/log_routes.h"

#include <algorithm>
#include <iterator>

#include "decoders/cdma1x/access_traffic.h"
#include "decoders/cdma1x/event_records.h"
#include "decoders/cdma1x/forward_traffic.h"
#include "decoders/cdma1x/frame_power_stats.h"
#include "decoders/cdma1x/packed_logs.h"
#include "decoders/cdma1x/pilot_sets.h"
#include "decoders/cdma1x/pilot_status.h"
#include "decoders/cdma1x/structured_records.h"
#include "decoders/cdma1x/sync_paging.h"
#include "decoders/evdo/alternate_range.h"
#include "decoders/evdo/carrier_mode.h"
#include "decoders/evdo/data_throughput.h"
#include "decoders/evdo/five_word_record.h"
#include "decoders/evdo/flow_throughput.h"
#include "decoders/evdo/forward_packet_stats.h"
#include "decoders/evdo/multi_carrier_sectors.h"
#include "decoders/evdo/rate_index.h"
#include "decoders/evdo/ratio_blocks.h"
#include "decoders/evdo/reverse_packet_stats.h"
#include "decoders/evdo/second_interface_records.h"
#include "decoders/evdo/second_interface_signalling.h"
#include "decoders/evdo/sector_sets.h"
#include "decoders/evdo/small_records.h"
#include "decoders/evdo/state_byte.h"

namespace tessavo {
namespace {

using K = RouteKind;
using X = ExtraArg;

constexpr LogRoute P(uint16_t code, LogHandler p, int8_t sampling = kNotSampled,
                     X extra = X::None) {
    return {code, K::Decode, p, nullptr, extra, sampling};
}
constexpr LogRoute PS(uint16_t code, LogHandler p, LogHandler s, int8_t sampling = kNotSampled,
                      X extra = X::None) {
    return {code, K::Decode, p, s, extra, sampling};
}
constexpr LogRoute Ignored(uint16_t code) {
    return {code, K::Ignore, nullptr, nullptr, X::None, kNotSampled};
}

constexpr LogRoute kRoutes[] = {
    P(0x1004, HandleAccessChannel),
    P(0x1005, HandleReverseTraffic),
    P(0x1006, HandleSyncChannel),
    P(0x1007, HandlePagingChannel),
    P(0x1008, HandleForwardTraffic),
    PS(0x100E, HandleFrameCategoryParams, HandleFrameCategoryStruct),
    P(0x1013, HandleRecord1013),
    PS(0x1014, nullptr, HandlePosition),
    P(0x1025, HandleFrameEntryMean, 6, X::LogCode),
    P(0x1026, HandleFrameEntryMean, 7, X::LogCode),
    P(0x1029, HandleRateShares, 8),
    P(0x102B, HandleChannelAverages, 0),
    P(0x102C, HandleChannelPower, 1),
    PS(0x102D, HandlePilotSetsParams102D, HandlePilotSetsStruct102D, 2),
    P(0x1031, HandleTrafficCounters, 10),
    P(0x1036, HandlePackedLog, kNotSampled, X::SubPacket),
    P(0x1037, HandlePackedLog, kNotSampled, X::SubPacket),
    P(0x105F, HandleRecord105F),
    PS(0x1060, nullptr, HandleRecord1060),
    PS(0x1062, ParseOnly1062, Handle1062),
    P(0x1064, ParseOnly1064),
    Ignored(0x1065),
    Ignored(0x1066),
    P(0x1068, HandleRecord1068, 11),
    P(0x1069, HandleRecord1069, 3),
    PS(0x106C, nullptr, HandleRecord106C),
    Ignored(0x106D),
    PS(0x106E, nullptr, HandleRecord106E),
    P(0x1070, HandleDataThroughput),
    PS(0x1071, nullptr, HandleRecord1071),
    Ignored(0x1072),
    Ignored(0x1073),
    P(0x1076, HandleMessage1076),
    P(0x1077, HandleMessage1077),
    P(0x1078, HandleSignalling1078),
    P(0x1079, HandleSignalling1079),
    P(0x107A, HandleRecord107A),
    P(0x107C, HandleSignalling107C),
    P(0x107E, HandleStateBytes),
    PS(0x1080, HandleRecord1080Params, HandleRecord1080Struct),
    Ignored(0x1082),
    Ignored(0x1083),
    Ignored(0x1084),
    Ignored(0x1085),
    Ignored(0x1086),
    PS(0x1088, nullptr, HandleRecord1088),
    PS(0x108A, HandleSectorStrengthParams108A, HandleSectorStrengthStruct108A,
       4),  // sampled only while the state byte of 0x107E is 5
    PS(0x108B, HandleSectorSetsParams108B, HandleSectorSetsStruct108B, 14),
    Ignored(0x108C),
    P(0x10F2, HandleEvent10F2),
    P(0x10F4, HandleEvent10F4),
    P(0x10F5, HandleEvent10F5),
    P(0x10F8, HandleEvent10F8),
    P(0x1100, HandleEvent1100),
    Ignored(0x1177),
    Ignored(0x117F),
    Ignored(0x1181),
    P(0x1183, HandleRecord1183),
    Ignored(0x118B),
    Ignored(0x118C),
    PS(0x1192, HandleForwardStatsParams1192, HandleForwardStatsStruct1192),
    PS(0x1193, HandleForwardStatsParams1193, HandleForwardStatsStruct1193),
    PS(0x119A, HandlePilotSetsParams119A, HandlePilotSetsStruct119A, 5),
    Ignored(0x119D),
    Ignored(0x11A2),
    P(0x11E9, HandleMessageCodeRefinement),
    P(0x11EA, HandleMessageCodeRefinement),
    PS(0x1275, HandleFlowParams, HandleFlowStruct, kNotSampled, X::LogCode),
    PS(0x1276, HandleFlowParams, HandleFlowStruct, kNotSampled, X::LogCode),
    Ignored(0x1277),
    Ignored(0x1278),
    Ignored(0x1279),
    Ignored(0x127A),
    Ignored(0x127C),
    P(0x127D, HandleRatios127D, 15),
    PS(0x127E, HandleReverseStatsParams127E, HandleReverseStatsStruct127E),
    P(0x127F, HandleEntryValues127F, 12),
    P(0x1280, HandleQuarter1280, 17),
    Ignored(0x1281),
    PS(0x1282, HandleFlagWordParams1282, HandleFlagWordStruct1282),
    Ignored(0x1283),
    Ignored(0x1284),
    Ignored(0x1285),
    Ignored(0x1289),
    P(0x128A, HandleCarrierMode128A),
    Ignored(0x1294),
    PS(0x1295, HandleServingSectorsParams1295, HandleServingSectorsStruct1295, 13),
    P(0x1296, HandleRateIndex1296, 18),
    Ignored(0x1297),
    PS(0x1298, HandleFlagWordParams1298, HandleFlagWordStruct1298, 20),
    P(0x1299, HandleEntryValues1299, 16),
    P(0x129A, HandleQuarter129A, 23),
    P(0x129C, HandleCarrierLevels129C, 19),
    P(0x129D, HandleRatios129D, 21),
    PS(0x129F, HandleReverseStatsParams129F, HandleReverseStatsStruct129F),
    PS(0x12A1, HandleSectorSetsParams12A1, HandleSectorSetsStruct12A1, 25),
    PS(0x12A2, HandleForwardStatsParams12A2, HandleForwardStatsStruct12A2),
    Ignored(0x12A4),
    PS(0x12A5, HandleFlowParams, HandleFlowStruct, kNotSampled, X::LogCode),
    PS(0x12A6, HandleFlowParams, HandleFlowStruct, kNotSampled, X::LogCode),
    Ignored(0x12A7),
    Ignored(0x12A8),
    Ignored(0x12A9),
    Ignored(0x12AA),
    Ignored(0x12AB),
    Ignored(0x12AD),
    Ignored(0x12AE),
    Ignored(0x12B0),
    Ignored(0x12B1),
    Ignored(0x12B3),
    Ignored(0x12B5),
    Ignored(0x12B6),
    {0x3040, K::CommandWrapped, nullptr, HandlePilotSetsStatus, X::None, kNotSampled},
    {0x3063, K::CommandWrapped, HandleStatusParams, HandleStatusStruct, X::None, kNotSampled},
    P(0x9068, HandleLoadRate9068),
    P(0x9192, HandleSummedForwardStats9192),
    P(0x9193, HandleSummedSecondTable9193),
    P(0x927D, HandleRatioEntry927D),
    P(0x927E, HandleReverseCounts927E),
    P(0x9280, HandleQuarter9280),
    {0xFFFE, K::DirectParams, nullptr, nullptr, X::None, kNotSampled},
};

constexpr bool SortedAndUnique() {
    for (size_t i = 1; i < std::size(kRoutes); ++i) {
        if (kRoutes[i - 1].logCode >= kRoutes[i].logCode) return false;
    }
    return true;
}
static_assert(SortedAndUnique(), "route table must be sorted by log code without duplicates");

constexpr bool SamplingIndicesDistinct() {
    for (size_t i = 0; i < std::size(kRoutes); ++i) {
        const int8_t s = kRoutes[i].sampling;
        if (s == kNotSampled) continue;
        if (s < 0 || s >= kSamplingRecordCount) return false;
        for (size_t j = i + 1; j < std::size(kRoutes); ++j) {
            if (kRoutes[j].sampling == s) return false;
        }
    }
    return true;
}
static_assert(SamplingIndicesDistinct(), "each sampled code owns one sampling record");

}  // namespace

const LogRoute* FindLogRoute(uint16_t logCode) {
    const LogRoute* end = std::end(kRoutes);
    const LogRoute* it =
        std::lower_bound(std::begin(kRoutes), end, logCode,
                         [](const LogRoute& r, uint16_t code) { return r.logCode < code; });
    return (it != end && it->logCode == logCode) ? it : nullptr;
}

LogRouteSpan AllLogRoutes() {
    return {std::begin(kRoutes), std::end(kRoutes)};
}

}  // namespace tessavo
