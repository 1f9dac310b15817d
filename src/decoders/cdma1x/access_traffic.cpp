#include "decoders/cdma1x/access_traffic.h"

#include "decoders/cdma1x/ota_fields.h"
#include "decoders/cdma1x/pilot_sets.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr ParamRef kCallState = param::kCallState;
constexpr ParamRef kOriginating = Param(0x7F010017);
constexpr ParamRef kDialledHigh = Param(0x7F010314);
constexpr ParamRef kDialledLow = Param(0x7F010315);
constexpr ParamRef kOriginationServiceOption = Param(0x7F01031C);
constexpr ParamRef kPageResponseServiceOption = Param(0x7F01031D);
constexpr ParamRef kReferencePn = Param(0x7F01000A);
constexpr ParamRef kReverseOrdq = Param(0x7F01031F);

// Dialled digits in 4-bit (DTMF) codes: 10 is the digit 0.
char DtmfDigit(uint8_t code) {
    if (code >= 1 && code <= 9) return static_cast<char>('0' + code);
    if (code == 10) return '0';
    if (code == 11) return '*';
    if (code == 12) return '#';
    return ' ';
}

// Access channel header: addressing, authentication and the pilot report, up to the body.
void ReadAccessHeader(BitReader& reader, FieldTemps& f) {
    f.Msb<uint8_t>(8);  // message length
    f.Msb<uint8_t>(2);
    f.Msb<uint8_t>(6);                            // message type
    const uint8_t lacLength = f.Msb<uint8_t>(5);  // octets
    f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(1);
    f.Msb<uint8_t>(1);
    f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(3);                                // address type
    const uint8_t addressLength = f.Msb<uint8_t>(4);  // octets
    reader.Skip(int64_t{addressLength} * 8);
    const uint8_t authMode = f.Msb<uint8_t>(2);
    if (authMode == 1) {
        f.Msb<uint32_t>(18);
        f.Msb<uint8_t>(8);
        f.Msb<uint8_t>(6);
    }
    // The rest of the layer-2 header; a negative width reads nothing.
    const int64_t rest =
        8 * int64_t{lacLength} - 25 - 8 * int64_t{addressLength} - (authMode == 1 ? 32 : 0);
    if (rest > 0) {
        std::array<uint8_t, 32> dropped{};
        reader.ReadMsbFirst(dropped.data(), static_cast<int64_t>(dropped.size()), rest);
    }
    // Pilot report.
    f.Msb<uint8_t>(6);
    f.Msb<uint8_t>(1);
    f.Msb<uint8_t>(1);
    const uint8_t pilots = f.Msb<uint8_t>(3);
    for (int i = 0; i < pilots; ++i) {
        f.Msb<uint16_t>(15);
        f.Msb<uint8_t>(6);
        f.Msb<uint8_t>(1);
        f.Msb<uint8_t>(1);
    }
}

// MOB_TERM, SLOT_CYCLE_INDEX, MOB_P_REV, SCM, REQUEST_MODE: the start of both bodies.
void ReadMobileFields(FieldTemps& f) {
    f.Msb<uint8_t>(1);
    f.Msb<uint8_t>(3);
    f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(3);
}

// Reverse traffic header: message length (returned), message type, then the 9 bits of
// ACK_SEQ, MSG_SEQ, ACK_REQ and ENCRYPTION as one field.
uint8_t ReadReverseHeader(FieldTemps& f) {
    const uint8_t length = f.Msb<uint8_t>(8);
    f.Msb<uint8_t>(8);
    f.Msb<uint16_t>(9);
    return length;
}

void PublishHandoffCompletion(DecoderContext& ctx, const HandoffCompletionRecord& rec) {
    if (rec.count <= 0) return;
    // The pilots of the completed handoff are the new active set.
    PilotTable& table = ctx.pilotTable;
    table.Clear();
    for (int i = 0; i < rec.count; ++i) {
        if (ctx.rxPowerX1000 == kNoValueD) break;
        PilotEntry entry;
        entry.source = kPilotSourceActive;
        entry.channel = ctx.lastChannel;
        entry.pn = rec.pilotPns[static_cast<size_t>(i)];
        entry.rxPower = ctx.rxPowerX1000 / 1000.0;
        entry.pilotPower = kNoValueD;
        entry.ecio = kNoValueD;
        table.Update(entry);
    }
}

}  // namespace

void ParseOrigination(PacketView packet, OriginationRecord& rec) {
    rec = OriginationRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadAccessHeader(reader, f);
    ReadMobileFields(f);
    if (f.Msb<uint8_t>(1) == 1) f.Msb(rec.serviceOption, 16);  // SPECIAL_SERVICE
    f.Msb<uint8_t>(1);                                         // PM
    const uint8_t digitMode = f.Msb<uint8_t>(1);
    if (digitMode == 1) {
        f.Msb<uint8_t>(3);  // NUMBER_TYPE
        f.Msb<uint8_t>(4);  // NUMBER_PLAN
    }
    f.Msb<uint8_t>(1);  // MORE_FIELDS
    const uint8_t numFields = f.Msb<uint8_t>(8);
    DigitText digits;
    for (int i = 0; i < numFields; ++i) {
        const uint8_t c = f.Msb<uint8_t>(digitMode == 1 ? 8 : 4);
        digits.Push(DtmfDigit(c));
    }
    // Digits sent as 8-bit characters are not converted.
    if (digitMode == 0 && numFields > 0) rec.number = DecimalPrefix(digits.View());
}

void ParsePageResponse(PacketView packet, PageResponseRecord& rec) {
    rec = PageResponseRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadAccessHeader(reader, f);
    ReadMobileFields(f);
    f.Msb(rec.serviceOption, 16);
}

uint16_t ParsePilotStrengthReferencePn(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    ReadReverseHeader(f);
    return f.Msb<uint16_t>(9);
}

void ParseHandoffCompletion(PacketView packet, HandoffCompletionRecord& rec) {
    rec = HandoffCompletionRecord{};
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    const int length = ReadReverseHeader(f);
    f.Msb<uint8_t>(2);  // LAST_HDM_SEQ
    // Whatever follows the 43 bits of header and LAST_HDM_SEQ is a list of 9-bit pilot PNs.
    const int pilots = (8 * length - 43) / 9;
    for (int i = 0; i < pilots && i < kMaxHandoffPilots; ++i) {
        rec.pilotPns[static_cast<size_t>(i)] = f.Msb<uint16_t>(9);
        rec.count = i + 1;
    }
}

int32_t ParseReverseOrderQualifier(PacketView packet) {
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps f(reader);
    f.Msb<uint8_t>(8);  // message length
    f.Msb<uint8_t>(8);  // message type
    f.Msb<uint8_t>(3);  // ACK_SEQ
    f.Msb<uint8_t>(3);  // MSG_SEQ
    f.Msb<uint8_t>(1);  // ACK_REQ
    f.Msb<uint8_t>(2);  // ENCRYPTION
    return ReadOrder21Qualifier(f);
}

void HandleAccessChannel(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    ParamRun run(ctx);
    ctx.channelState = kChannelAccess;
    run.PublishMode(0);
    if (ctx.item.msgCode == kMsgOrigination) {
        OriginationRecord rec;
        ParseOrigination(packet, rec);
        run.Set(kOriginating, 1);
        run.Set(kDialledHigh, High32(rec.number));
        run.Set(kDialledLow, Low32(rec.number));
        run.Set(kOriginationServiceOption, rec.serviceOption);
    } else if (ctx.item.msgCode == kMsgPageResponse) {
        PageResponseRecord rec;
        ParsePageResponse(packet, rec);
        run.Set(kPageResponseServiceOption, rec.serviceOption);
    }
    run.Set(kCallState, 1);
    run.Finish();
}

void HandleReverseTraffic(DecoderContext& ctx, PacketView packet, int32_t /*extra*/) {
    ParamRun run(ctx);
    ctx.channelState = kChannelTraffic;
    ctx.modeC103 = 0;
    run.PublishMode(2);
    run.Set(kCallState, 1);
    switch (ctx.item.msgCode) {
        case kMsgPilotStrengthMeasurement: {
            const uint16_t referencePn = ParsePilotStrengthReferencePn(packet);
            run.Set(kReferencePn, referencePn);
            ctx.referencePilot = referencePn;
            PublishReferencePilot(ctx, run);
            break;
        }
        case kMsgHandoffCompletion: {
            HandoffCompletionRecord rec;
            ParseHandoffCompletion(packet, rec);
            PublishHandoffCompletion(ctx, rec);
            break;
        }
        case kMsgReverseOrder21:
            run.SetKnown(kReverseOrdq, ParseReverseOrderQualifier(packet));
            break;
        default:
            break;
    }
    run.Finish();
}

}  // namespace tessavo
