#include "decoders/cdma1x/forward_traffic.h"

#include <algorithm>

#include "bits/conversions.h"
#include "common/le.h"
#include "decoders/cdma1x/ota_fields.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr ParamRef kCallState = param::kCallState;
constexpr ParamRef kChannel = param::kCdmaChannel;
constexpr ParamRef kHandoffKind = Param(0x7F010015);
constexpr ParamRef kMsgSeq = Param(0x7F01001A);
constexpr ParamRef kCallingHigh = Param(0x7F010312);
constexpr ParamRef kCallingLow = Param(0x7F010313);
constexpr ParamRef kForwardOrdq = Param(0x7F01031E);
constexpr ParamRef kForward19 = Param(0x7F010412);

constexpr StructParamRef kForward19Blob = StructParam(0x7F0107D3);
constexpr StructParamRef kForwardAssignment = StructParam(0x7F0107F6);
constexpr StructParamRef kReverseAssignment = StructParam(0x7F0107F7);

constexpr uint8_t kCallingPartyNumber = 3;
constexpr int kMaxAssignments = 8;
// Channels of one configuration: a 3-bit count plus one. A read past the payload repeats the
// last value read, which may be any byte, so the count is bounded here as well.
constexpr int kMaxConfigChannels = 8;
constexpr size_t kForwardFlag = 0;
constexpr size_t kReverseFlag = 274;
static_assert(2 + 4 * kMaxConfigChannels == 34 && 2 + 34 * kMaxAssignments == kReverseFlag);

// The (pilots, flagged) table has no kind for the pair.
constexpr int32_t kNoKind = -9999;
// A handoff to another frequency, and one within the frequency with extra parameters.
constexpr int32_t kHardHandoff = 9;
constexpr int32_t kSameFrequencyHandoff = 8;

// Message length, type, ACK_SEQ, MSG_SEQ, ACK_REQ, ENCRYPTION; returns the length and MSG_SEQ.
struct ForwardHeader {
    uint8_t length;
    uint8_t msgSeq;
};

ForwardHeader ReadForwardHeader(FieldTemps& f) {
    ForwardHeader h{};
    h.length = f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(3);
    h.msgSeq = f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(1);
    f.Msb<uint8_t>(2);
    return h;
}

// Search window and threshold settings: SRCH_WIN_A/N/R, T_ADD, T_DROP, T_COMP, T_TDROP,
// SOFT_SLOPE, ADD_INTERCEPT, DROP_INTERCEPT.
void ReadSearchParameters(FieldTemps& f) {
    for (int bits : {4, 4, 4, 6, 6, 4, 4, 6, 6, 6}) f.Msb<uint8_t>(bits);
}

void SkipBytes(BitReader& reader, int64_t count) {
    if (count > 0) reader.Skip(count * 8);
}

void ReadActionTimeAndHdmSeq(FieldTemps& f) {
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(6);  // USE_TIME, ACTION_TIME
    f.Msb<uint8_t>(2);                              // HDM_SEQ
}

// The handoff kind from the pilot count and the count of pilots flagged 0, when the message
// itself says nothing about frequency.
int32_t HandoffKind(const HandoffDirectionRecord& rec, int32_t lastChannel, bool& newChannel) {
    newChannel = static_cast<int32_t>(rec.cdmaFreq) != lastChannel;
    int32_t kind = newChannel ? kHardHandoff : kSameFrequencyHandoff;
    if (rec.extraParms != 1) kind = MapCodePair(rec.numPilots, rec.flaggedZero);
    return kind;
}

void PublishHandoffDirection(DecoderContext& ctx, ParamRun& run,
                             const HandoffDirectionRecord& rec) {
    bool newChannel = false;
    const int32_t kind = HandoffKind(rec, ctx.lastChannel, newChannel);
    if (newChannel && rec.cdmaFreq != 0) {
        run.Set(kChannel, rec.cdmaFreq);
        ctx.lastChannel = rec.cdmaFreq;
    }
    if (kind != kNoKind) run.Set(kHandoffKind, kind);
    run.Set(kMsgSeq, rec.msgSeq);
}

void FinishPilotCount(HandoffDirectionRecord& rec, int flaggedZero) {
    rec.flaggedZero = flaggedZero == 1 ? 0 : static_cast<uint8_t>(flaggedZero);
}

void PublishSupplementalChannels(DecoderContext& ctx, const SupplementalChannelRecord& rec) {
    StructRun srun(ctx);
    if (rec.bytes[kForwardFlag] != 0) {
        srun.Set(kForwardAssignment, rec.bytes.data() + 1, kForwardAssignment.capacity);
    }
    if (rec.bytes[kReverseFlag] != 0) {
        srun.Set(kReverseAssignment, rec.bytes.data() + kReverseFlag + 1,
                 kReverseAssignment.capacity);
    }
    srun.Finish();
}

static_assert(kForwardAssignment.capacity == 273 && kReverseAssignment.capacity == 17);
static_assert(kReverseFlag + 1 + kReverseAssignment.capacity == kSupplementalRecordSize);

}  // namespace

void ParseAlertWithInformation(PacketView packet, AlertWithInformationRecord& rec) {
    rec = AlertWithInformationRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    const ForwardHeader h = ReadForwardHeader(f);
    int64_t remaining = 8 * int64_t{h.length} - 25;
    while (remaining >= 16 && !reader.IsExhausted()) {
        const uint8_t type = f.Msb<uint8_t>(8);
        const uint8_t length = f.Msb<uint8_t>(8);
        if (type == kCallingPartyNumber) {
            for (int bits : {3, 4, 2, 2}) f.Msb<uint8_t>(bits);  // NUMBER_TYPE/PLAN, PI, SI
            DigitText digits;
            for (int i = 0; i < length - 2; ++i) digits.Push(static_cast<char>(f.Msb<uint8_t>(8)));
            rec.callingNumber = DecimalPrefix(digits.View());
            rec.hasCallingNumber = true;
        } else {
            SkipBytes(reader, length);
        }
        remaining -= 8 * int64_t{length};
    }
}

uint8_t ParseForward19Field(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadForwardHeader(f);
    const uint8_t field = f.Msb<uint8_t>(3);
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(6);
    return field;
}

uint8_t ParseExtendedHandoffDirection(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    const ForwardHeader h = ReadForwardHeader(f);
    f.Msb<uint8_t>(1);  // USE_TIME
    f.Msb<uint8_t>(6);  // ACTION_TIME
    f.Msb<uint8_t>(2);  // HDM_SEQ
    if (f.Msb<uint8_t>(1) == 1) {
        for (int bits : {4, 6, 6, 4, 4}) f.Msb<uint8_t>(bits);  // SRCH_WIN_A, T_ADD .. T_TDROP
    }
    if (f.Msb<uint8_t>(1) == 1) {  // EXTRA_PARMS
        for (int bits : {4, 1, 1, 1, 1, 2, 1, 4, 3, 5}) f.Msb<uint8_t>(bits);
        f.Msb<uint16_t>(11);                   // CDMA_FREQ
        SkipBytes(reader, f.Msb<uint8_t>(3));  // ADD_LENGTH
    }
    while (reader.Remaining() >= 18) {
        f.Msb<uint16_t>(9);  // PILOT_PN
        f.Msb<uint8_t>(1);   // PWR_COMB_IND
        f.Msb<uint8_t>(8);   // CODE_CHAN
    }
    return h.msgSeq;
}

void ParseGeneralHandoffDirection(PacketView packet, HandoffDirectionRecord& rec) {
    rec = HandoffDirectionRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    rec.msgSeq = ReadForwardHeader(f).msgSeq;
    ReadActionTimeAndHdmSeq(f);
    if (f.Msb<uint8_t>(1) == 1) ReadSearchParameters(f);
    f.Msb(rec.extraParms, 1);
    if (rec.extraParms == 1) {
        f.Msb<uint8_t>(8);  // P_REV
        f.Msb<uint8_t>(8);  // PACKET_ZONE_ID
        f.Msb<uint8_t>(4);  // FRAME_OFFSET
        for (int i = 0; i < 4; ++i) f.Msb<uint8_t>(1);
        for (int bits : {2, 1, 4, 3, 5}) f.Msb<uint8_t>(bits);  // ENCRYPT_MODE .. BAND_CLASS
        f.Msb(rec.cdmaFreq, 11);
        if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(1);
        f.Msb<uint8_t>(1);
        if (f.Msb<uint8_t>(1) == 1) {
            f.Msb<uint8_t>(3);
            f.Msb<uint8_t>(8);
            const uint8_t k = f.Msb<uint8_t>(8);
            for (int bits : {4, 5, 1, 1, 1, 4}) f.Msb<uint8_t>(bits);
            const int64_t rest = 8 * int64_t{k} - 16;
            if (rest > 0) reader.Skip(rest);
            f.Msb<uint8_t>(8);
        }
    }
    uint8_t m = 0;
    const bool f1 = f.Msb<uint8_t>(1) == 1;
    if (f1) {
        if (f.Msb<uint8_t>(1) == 1) {
            f.Msb<uint8_t>(2);
            m = f.Msb<uint8_t>(3);
            f.Msb<uint8_t>(1);
            f.Msb<uint8_t>(8);
        }
        if (f.Msb<uint8_t>(1) == 1) {
            for (int bits : {4, 1, 1, 8, 3, 1}) f.Msb<uint8_t>(bits);
        }
        const bool g = f.Msb<uint8_t>(1) == 1;
        if (g) {
            for (int i = 0; i < 3; ++i) f.Msb<uint8_t>(3);
        }
        f.Msb<uint8_t>(1);
        if (g) f.Msb<uint8_t>(3);
    }
    f.Msb(rec.numPilots, 3);
    int flaggedZero = 0;
    for (int i = 0; i < rec.numPilots; ++i) {
        f.Msb<uint16_t>(9);  // PILOT_PN
        if (f.Msb<uint8_t>(1) == 0) ++flaggedZero;
        f.Msb<uint8_t>(8);
        if (f1 && f.Msb<uint8_t>(1) == 1) {
            if (f.Msb<uint8_t>(1) == 1) {
                f.Msb<uint8_t>(8);
            } else {
                for (int j = 0; j < m; ++j) f.Msb<uint8_t>(8);
            }
        }
    }
    FinishPilotCount(rec, flaggedZero);
}

void ParseUniversalHandoffDirection(PacketView packet, HandoffDirectionRecord& rec) {
    rec = HandoffDirectionRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    rec.msgSeq = ReadForwardHeader(f).msgSeq;
    ReadActionTimeAndHdmSeq(f);
    if (f.Msb<uint8_t>(1) == 1) {
        f.Msb<uint8_t>(8);  // P_REV
        f.Msb<uint8_t>(1);
    }
    if (f.Msb<uint8_t>(1) == 1) ReadSearchParameters(f);
    f.Msb(rec.extraParms, 1);
    if (rec.extraParms == 1) {
        for (int bits : {8, 4, 1, 1, 1, 2, 1, 4, 6, 1, 3, 5}) f.Msb<uint8_t>(bits);
        f.Msb(rec.cdmaFreq, 11);
        if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(1);
        f.Msb<uint8_t>(1);
        if (f.Msb<uint8_t>(1) == 1) {
            f.Msb<uint8_t>(3);
            f.Msb<uint8_t>(8);
            SkipBytes(reader, f.Msb<uint8_t>(8));
        }
        if (f.Msb<uint8_t>(1) == 1) {
            f.Msb<uint8_t>(8);
            SkipBytes(reader, f.Msb<uint8_t>(8));
        }
    }
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(1);
    const bool s = f.Msb<uint8_t>(1) == 1;
    auto readScheduleGroups = [&](int count) {
        for (int i = 0; i < count; ++i) {
            f.Msb<uint8_t>(1);
            f.Msb<uint8_t>(4);
            if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(5);
            f.Msb<uint8_t>(4);
        }
    };
    if (s) {
        readScheduleGroups(f.Msb<uint8_t>(1));
        readScheduleGroups(f.Msb<uint8_t>(2));
    }
    f.Msb<uint8_t>(5);
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(6);
    const uint8_t x = f.Msb<uint8_t>(3);
    const uint8_t y = f.Msb<uint8_t>(8);
    if (x != 5 || y == 0) return;  // no pilot list follows

    if (s) {
        const uint8_t e = f.Msb<uint8_t>(5);
        for (int i = 0; i < e; ++i) {
            for (int bits : {1, 4, 4}) f.Msb<uint8_t>(bits);
        }
        const uint8_t groups = f.Msb<uint8_t>(5);
        for (int i = 0; i < groups; ++i) {
            for (int bits : {1, 1, 4}) f.Msb<uint8_t>(bits);
        }
    }
    f.Msb(rec.numPilots, 3);
    const bool t = f.Msb<uint8_t>(1) == 1;
    int flaggedZero = 0;
    for (int i = 0; i < rec.numPilots; ++i) {
        f.Msb<uint16_t>(9);  // PILOT_PN
        if (t) f.Msb<uint8_t>(3);
        if (f.Msb<uint8_t>(1) == 1) {
            f.Msb<uint8_t>(3);
            SkipBytes(reader, f.Msb<uint8_t>(3));
        }
        if (f.Msb<uint8_t>(1) == 0) ++flaggedZero;
        f.Msb<uint16_t>(11);
        f.Msb<uint8_t>(2);
        if (s) {
            const uint8_t h = f.Msb<uint8_t>(5);
            for (int j = 0; j < h; ++j) {
                f.Msb<uint8_t>(1);
                f.Msb<uint8_t>(4);
                if (f.Msb<uint8_t>(1) == 1) {
                    f.Msb<uint16_t>(11);
                    f.Msb<uint8_t>(2);
                }
            }
        }
    }
    FinishPilotCount(rec, flaggedZero);
}

void ParseSupplementalChannelAssignment(PacketView packet, SupplementalChannelRecord& rec) {
    rec = SupplementalChannelRecord{};
    auto& b = rec.bytes;
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadForwardHeader(f);
    f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(4);
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(4);
    if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(1);

    f.Msb(b[kReverseFlag], 1);
    if (b[kReverseFlag] != 0) {
        const int entries = std::min(f.Msb<uint8_t>(5) + 1, kMaxAssignments);
        b[kReverseFlag + 1] = static_cast<uint8_t>(entries);
        for (int i = 0; i < entries; ++i) {
            f.Msb<uint8_t>(1);
            f.Msb(b[276 + 2 * static_cast<size_t>(i)], 1);
            f.Msb(b[277 + 2 * static_cast<size_t>(i)], 4);
        }
    }
    const uint8_t schedules = f.Msb<uint8_t>(2);
    for (int i = 0; i < schedules; ++i) {
        f.Msb<uint8_t>(1);
        f.Msb<uint8_t>(4);
        if (f.Msb<uint8_t>(1) == 1) f.Msb<uint8_t>(5);
        f.Msb<uint8_t>(4);
    }

    f.Msb(b[kForwardFlag], 1);
    if (b[kForwardFlag] == 0) return;
    f.Msb<uint8_t>(1);
    const int configs = std::min(f.Msb<uint8_t>(5) + 1, kMaxAssignments);
    b[1] = static_cast<uint8_t>(configs);
    for (int k = 0; k < configs; ++k) {
        const size_t base = 2 + 34 * static_cast<size_t>(k);
        f.Msb<uint8_t>(1);
        f.Msb<uint8_t>(4);
        f.Msb(b[base], 4);
        const int channels = std::min(f.Msb<uint8_t>(3) + 1, kMaxConfigChannels);
        b[base + 1] = static_cast<uint8_t>(channels);
        for (int j = 0; j < channels; ++j) {
            const size_t at = base + 2 + 4 * static_cast<size_t>(j);
            StoreLE(&b[at], f.Msb<uint16_t>(9));  // PILOT_PN
            if (f.Msb<uint8_t>(1) == 1) {
                f.Msb<uint8_t>(3);
                SkipBytes(reader, f.Msb<uint8_t>(3));
            }
            b[at + 2] = static_cast<uint8_t>(f.Msb<uint16_t>(11) & 0xFF);
            f.Msb(b[at + 3], 2);
        }
    }
}

int32_t ParseForwardOrderQualifier(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadForwardHeader(f);
    return ReadOrder21Qualifier(f);
}

void HandleForwardTraffic(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    ParamRun run(ctx);
    ctx.channelState = kChannelTraffic;
    ctx.modeC103 = 0;
    run.PublishMode(2);
    run.Set(kCallState, 1);
    switch (ctx.item.msgCode) {
        case kMsgForwardOrder21:
            run.SetKnown(kForwardOrdq, ParseForwardOrderQualifier(packet));
            break;
        case kMsgAlertWithInformation: {
            AlertWithInformationRecord rec;
            ParseAlertWithInformation(packet, rec);
            if (rec.hasCallingNumber) {
                run.Set(kCallingHigh, High32(rec.callingNumber));
                run.Set(kCallingLow, Low32(rec.callingNumber));
            }
            break;
        }
        case kMsgForward19: {
            const uint8_t field = ParseForward19Field(packet);
            run.Set(kForward19, field);
            const uint32_t word = field;
            PublishStruct(ctx, kForward19Blob, &word, sizeof word);
            break;
        }
        case kMsgExtendedHandoffDirection:
            run.Set(kMsgSeq, ParseExtendedHandoffDirection(packet));
            break;
        case kMsgGeneralHandoffDirection: {
            HandoffDirectionRecord rec;
            ParseGeneralHandoffDirection(packet, rec);
            PublishHandoffDirection(ctx, run, rec);
            break;
        }
        case kMsgUniversalHandoffDirection:
        case kMsgMeidUniversalHandoffDirection: {
            HandoffDirectionRecord rec;
            ParseUniversalHandoffDirection(packet, rec);
            PublishHandoffDirection(ctx, run, rec);
            break;
        }
        case kMsgSupplementalChannelAssignment: {
            SupplementalChannelRecord rec;
            ParseSupplementalChannelAssignment(packet, rec);
            PublishSupplementalChannels(ctx, rec);
            break;
        }
        default:
            break;
    }
    run.Finish();
}

}  // namespace tessavo
