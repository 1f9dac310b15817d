#include "decoders/cdma1x/sync_paging.h"

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "common/le.h"
#include "decoders/cdma1x/ota_fields.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr ParamRef kCallState = param::kCallState;
constexpr ParamRef kChannel = param::kCdmaChannel;
constexpr ParamRef kPRev = Param(0x7F010016);

constexpr StructParamRef kSystemParametersBlob = StructParam(0x7F0107D0);
constexpr StructParamRef kPowerReportBlob = StructParam(0x7F0107D1);
constexpr StructParamRef kAccessParametersBlob = StructParam(0x7F0107D2);

// The channel number is sent on the sync channel from this protocol revision on.
constexpr uint8_t kPRevWithChannel = 6;

void PublishSystemParameters(ParamRun& run, PacketView packet) {
    SystemParametersRecord rec;
    ParseSystemParameters(packet, rec);
    run.Set(Param(0x7F010018), rec.tAdd);
    run.Set(Param(0x7F010301), rec.sid);
    run.Set(Param(0x7F010302), rec.nid);
    run.Set(Param(0x7F010303), rec.baseId);
    run.Set(Param(0x7F010304), rec.srchWinA);
    run.Set(Param(0x7F010305), rec.srchWinN);
    run.Set(Param(0x7F010306), rec.srchWinR);
    run.Set(Param(0x7F010308), rec.tComp);
    run.Set(Param(0x7F010309), rec.tDrop);
    run.Set(Param(0x7F01030A), rec.tTdrop);
    run.Set(Param(0x7F01030E), rec.nghbrMaxAge);
    run.Set(Param(0x7F01040D), rec.pwrRepThresh);
    run.Set(Param(0x7F01040E), rec.pwrRepFrames);
    run.Set(Param(0x7F01040F), rec.pwrRepDelay);
    run.Set(Param(0x7F010410), rec.pwrThreshEnable);
    run.Set(Param(0x7F010411), rec.pwrPeriodEnable);

    std::array<uint8_t, kSystemParametersBlob.capacity> system{};
    const uint16_t words[] = {rec.pilotPn,  rec.sid,      rec.nid,     rec.baseId,
                              rec.srchWinA, rec.srchWinN, rec.srchWinR};
    for (size_t i = 0; i < std::size(words); ++i) StoreLE(system.data() + 2 * i, words[i]);
    const uint8_t bytes[] = {rec.nghbrMaxAge, rec.tAdd, rec.tDrop, rec.tComp, rec.tTdrop};
    for (size_t i = 0; i < std::size(bytes); ++i) system[14 + i] = bytes[i];
    const std::array<uint8_t, kPowerReportBlob.capacity> power = {
        rec.pwrRepThresh, rec.pwrRepFrames, rec.pwrThreshEnable, rec.pwrPeriodEnable,
        rec.pwrRepDelay};
    static_assert(kSystemParametersBlob.capacity == 19 && kPowerReportBlob.capacity == 5);

    StructRun srun(run.Context());
    srun.Set(kSystemParametersBlob, system.data(), system.size());
    srun.Set(kPowerReportBlob, power.data(), power.size());
    srun.Finish();
}

void PublishAccessParameters(ParamRun& run, PacketView packet) {
    AccessParametersRecord rec;
    ParseAccessParameters(packet, rec);
    const auto& v = rec.values;
    run.Set(Param(0x7F010401), v[kNumStep]);
    run.Set(Param(0x7F010402), v[kPwrStep]);
    run.Set(Param(0x7F010403), v[kInitPwr]);
    run.Set(Param(0x7F010404), v[kNomPwr]);
    run.Set(Param(0x7F010405), v[kMaxReqSeq]);
    run.Set(Param(0x7F010406), v[kMaxRspSeq]);
    run.Set(Param(0x7F010407), v[kMaxCapSz]);
    run.Set(Param(0x7F010408), v[kAccTmo]);
    run.Set(Param(0x7F010409), v[kPamSz]);
    run.Set(Param(0x7F01040A), v[kBkoff]);
    run.Set(Param(0x7F01040B), v[kProbeBkoff]);
    run.Set(Param(0x7F01040C), v[kProbePnRan]);

    std::array<uint8_t, 24> blob{};
    static_assert(kAccessParametersBlob.capacity >= blob.size());
    for (size_t i = 0; i < v.size(); ++i) StoreLE(blob.data() + 2 * i, v[i]);
    StructRun srun(run.Context());
    srun.Set(kAccessParametersBlob, blob.data(), blob.size());
    srun.Finish();
}

// Both overhead-channel logs: not on a traffic channel any more.
void Prologue(ParamRun& run) {
    run.Context().channelState = kChannelIdle;
    run.PublishMode(0);
    run.Set(kCallState, 1);
}

// The traffic-only values (transmit power, frame statistics) are no longer valid.
void Epilogue(ParamRun& run) {
    ClearParamGroupA(run.Context());
    run.Finish();
}

}  // namespace

void ParseSyncChannel(PacketView packet, SyncChannelRecord& rec) {
    rec = SyncChannelRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    f.Msb<uint8_t>(8);  // message length
    f.Msb<uint8_t>(8);  // message type
    f.Msb(rec.pRev, 8);
    f.Msb<uint8_t>(8);    // MIN_P_REV
    f.Msb<uint16_t>(15);  // SID
    f.Msb<uint16_t>(16);  // NID
    f.Msb<uint16_t>(9);   // PILOT_PN
    std::array<uint8_t, 9> longCode{};
    reader.ReadMsbFirst(longCode.data(), longCode.size(), 72);  // LC_STATE and SYS_TIME
    f.Msb<uint8_t>(6);
    f.Msb<uint8_t>(8);  // LP_SEC
    f.Msb<uint8_t>(6);  // LTM_OFF
    f.Msb<uint8_t>(1);  // DAYLT
    f.Msb<uint8_t>(2);  // PRAT
    if (rec.pRev == kPRevWithChannel) rec.channel = f.Msb<uint16_t>(11);
}

void ParseSystemParameters(PacketView packet, SystemParametersRecord& rec) {
    rec = SystemParametersRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    f.Msb<uint8_t>(8);  // message length
    f.Msb<uint8_t>(8);  // message type
    f.Msb(rec.pilotPn, 9);
    f.Msb<uint8_t>(6);  // CONFIG_MSG_SEQ
    f.Msb(rec.sid, 15);
    f.Msb(rec.nid, 16);
    f.Msb<uint16_t>(12);                            // REG_ZONE
    for (int i = 0; i < 2; ++i) f.Msb<uint8_t>(3);  // TOTAL_ZONES, ZONE_TIMER
    for (int i = 0; i < 2; ++i) f.Msb<uint8_t>(1);  // MULT_SIDS, MULT_NIDS
    f.Msb(rec.baseId, 16);
    f.Msb<uint8_t>(4);                              // BASE_CLASS
    for (int i = 0; i < 2; ++i) f.Msb<uint8_t>(3);  // PAGE_CHAN, MAX_SLOT_CYCLE_INDEX
    for (int i = 0; i < 6; ++i) f.Msb<uint8_t>(1);  // registration flags
    f.Msb<uint8_t>(7);                              // REG_PRD
    f.MsbSigned<int32_t>(22);                       // BASE_LAT
    f.MsbSigned<int32_t>(23);                       // BASE_LONG
    f.Msb<uint16_t>(11);                            // REG_DIST
    f.Msb(rec.srchWinA, 4);
    f.Msb(rec.srchWinN, 4);
    f.Msb(rec.srchWinR, 4);
    f.Msb(rec.nghbrMaxAge, 4);
    f.Msb(rec.pwrRepThresh, 5);
    f.Msb(rec.pwrRepFrames, 4);
    f.Msb(rec.pwrThreshEnable, 1);
    f.Msb(rec.pwrPeriodEnable, 1);
    f.Msb(rec.pwrRepDelay, 5);
    f.Msb<uint8_t>(1);  // RESCAN
    f.Msb(rec.tAdd, 6);
    f.Msb(rec.tDrop, 6);
    f.Msb(rec.tComp, 4);
    f.Msb(rec.tTdrop, 4);
    for (int i = 0; i < 8; ++i) f.Msb<uint8_t>(1);
}

void ParseAccessParameters(PacketView packet, AccessParametersRecord& rec) {
    rec = AccessParametersRecord{};
    auto& v = rec.values;
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    f.Msb<uint8_t>(8);   // message length
    f.Msb<uint8_t>(8);   // message type
    f.Msb<uint16_t>(9);  // PILOT_PN
    f.Msb<uint8_t>(6);   // ACC_MSG_SEQ
    f.Msb<uint8_t>(5);   // ACC_CHAN
    f.Msb(v[kNomPwr], 4);
    f.Msb(v[kInitPwr], 5);
    f.Msb(v[kPwrStep], 3);
    f.Msb(v[kNumStep], 4);
    f.Msb(v[kMaxCapSz], 3);
    f.Msb(v[kPamSz], 4);
    f.Msb<uint8_t>(6);                              // PSIST(0-9)
    for (int i = 0; i < 6; ++i) f.Msb<uint8_t>(3);  // PSIST(10) to PSIST(15)
    f.Msb<uint8_t>(3);                              // MSG_PSIST
    f.Msb<uint8_t>(3);                              // REG_PSIST
    f.Msb(v[kProbePnRan], 4);
    f.Msb(v[kAccTmo], 4);
    f.Msb(v[kProbeBkoff], 4);
    f.Msb(v[kBkoff], 4);
    f.Msb(v[kMaxReqSeq], 4);
    f.Msb(v[kMaxRspSeq], 4);
    if (f.Msb<uint8_t>(2) == 1) f.Msb<uint32_t>(32);  // AUTH, RAND
    f.Msb<uint8_t>(1);                                // NOM_PWR_EXT
}

void ParseExtendedSystemParameters(PacketView packet, ExtendedSystemParametersRecord& rec) {
    rec = ExtendedSystemParametersRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    f.Msb<uint8_t>(8);   // message length
    f.Msb<uint8_t>(8);   // message type
    f.Msb<uint16_t>(9);  // PILOT_PN
    f.Msb<uint8_t>(6);   // CONFIG_MSG_SEQ
    f.Msb<uint8_t>(1);   // DELETE_FOR_TMSI
    f.Msb<uint8_t>(1);   // USE_TMSI
    f.Msb<uint8_t>(2);   // PREF_MSID_TYPE
    rec.mcc = DecodeThreeDigits(f.Msb<uint16_t>(10));
    f.Msb<uint8_t>(7);  // IMSI_11_12
    const uint8_t tmsiZoneLength = f.Msb<uint8_t>(4);
    for (int i = 0; i < tmsiZoneLength; ++i) f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(3);  // BCAST_INDEX
    f.Msb<uint8_t>(1);  // IMSI_T_SUPPORTED
    f.Msb(rec.pRev, 8);
    f.Msb<uint8_t>(8);  // MIN_P_REV
    f.Msb(rec.softSlope, 6);
    f.Msb<uint8_t>(6);  // ADD_INTERCEPT
    f.Msb<uint8_t>(6);  // DROP_INTERCEPT
    f.Msb<uint8_t>(8);  // PACKET_ZONE_ID
    f.Msb<uint8_t>(3);  // MAX_NUM_ALT_SO
    f.Msb(rec.reselectIncluded, 1);
    f.Msb(rec.ecThresh, 5);
    f.Msb(rec.ecIoThresh, 5);
}

void HandleSyncChannel(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    SyncChannelRecord rec;
    ParseSyncChannel(packet, rec);
    ParamRun run(ctx);
    Prologue(run);
    if (rec.channel != 0 && rec.channel != kNoValue) {
        run.Set(kChannel, rec.channel);
        ctx.lastChannel = rec.channel;
    }
    Epilogue(run);
}

void HandlePagingChannel(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    ParamRun run(ctx);
    Prologue(run);
    switch (ctx.item.msgCode) {
        case kMsgSystemParameters:
            PublishSystemParameters(run, packet);
            break;
        case kMsgAccessParameters:
            PublishAccessParameters(run, packet);
            break;
        case kMsgExtendedSystemParameters: {
            ExtendedSystemParametersRecord rec;
            ParseExtendedSystemParameters(packet, rec);
            run.Set(kPRev, rec.pRev);
            break;
        }
        default:
            break;
    }
    Epilogue(run);
}

}  // namespace tessavo
