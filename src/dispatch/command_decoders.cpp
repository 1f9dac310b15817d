#include "dispatch/command_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bits/bit_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr ParamRef kVoiceState = param::kCallState;
constexpr ParamRef kRadioConfig = Param(0x7F1C0001);
constexpr ParamRef kCallState = Param(0x7F1C8001);
constexpr StructParamRef kSubsystemBlob = StructParam(0x7F0107F8);
constexpr StructParamRef kCommand20Blob = StructParam(0x7F0107F9);
static_assert(kSubsystemBlob.offset == 3699 && kSubsystemBlob.capacity == 12);
static_assert(kCommand20Blob.offset == 3727 && kCommand20Blob.capacity == 2);

// 0x4B with byte 1 = 0x0F: the subsystem that answers, and the minimum packet length.
constexpr uint8_t kSubsystemStatus = 0x0F;
constexpr int32_t kStatusMinLength = 7;
// 0x4B with byte 1 = 0x0D and the u16 100 at offset 2: the call-statistics form.
constexpr uint8_t kSubsystemCallStats = 0x0D;
constexpr uint16_t kCallStatsCommand = 100;

constexpr uint32_t kDebugMessageCode = 0xEEAA0001;
constexpr int32_t kNoEventValue = kNoValue;

// Reader over the whole packet, LSB-first, and the check of the leading command byte.
bool AttachAtCommand(BitReader& reader, FieldTemps& fields, PacketView packet, uint8_t command) {
    reader.Attach(packet.Data(), packet.Length());
    return fields.Lsb<uint8_t>(8) == command;
}

// Radio configuration nibble of a 0x3F response to 0x7F1C0001.
int32_t MapRadioConfig(uint32_t k) {
    switch (k) {
        case 5:
            return 1;
        case 6:
            return 2;
        case 7:
            return 3;
        case 10:
            return 4;
        default:
            return 0;
    }
}

// Status word of a 0x4B/0x0F response to 0x7F1C0001.
int32_t MapSubsystemStatus(uint32_t w) {
    switch (w) {
        case 1:
        case 2:
            return 1;
        case 3:
            return 4;
        case 5:
            return 2;
        default:
            return 0;  // 0 and anything unknown
    }
}

struct CallStatsRecord {
    uint8_t f = 0;
    uint32_t g = 0;
    uint32_t h = 0;
};

void ParseCallStats(PacketView packet, CallStatsRecord& rec) {
    BitReader reader;
    FieldTemps fields(reader);
    if (!AttachAtCommand(reader, fields, packet, 0x4B)) return;
    fields.Lsb<uint8_t>(8);    // subsystem
    fields.Lsb<uint16_t>(16);  // subsystem command
    fields.Lsb<uint8_t>(8);    // status
    fields.Lsb(rec.f, 8);
    fields.Lsb(rec.g, 32);
    fields.Lsb(rec.h, 32);
}

struct Command73Record {
    uint32_t x = 0;
    uint32_t y = 0;
};

void ParseCommand73(PacketView packet, Command73Record& rec) {
    BitReader reader;
    FieldTemps fields(reader);
    if (!AttachAtCommand(reader, fields, packet, 0x73)) return;
    reader.Skip(24);
    fields.Lsb(rec.x, 32);
    fields.Lsb(rec.y, 32);
}

// Extended debug message: header fields, then the text, zero-terminated in the packet.
constexpr size_t kDebugHeaderSize = 19;
constexpr size_t kDebugTextCapacity = 256;
using DebugRecord = std::array<uint8_t, kDebugHeaderSize + kDebugTextCapacity>;

void ParseDebugMessage(PacketView packet, DebugRecord& rec) {
    BitReader reader;
    FieldTemps fields(reader);
    if (!AttachAtCommand(reader, fields, packet, 0x79)) return;
    rec[0] = fields.Lsb<uint8_t>(8);
    const uint8_t argCount = fields.Lsb<uint8_t>(8);
    rec[1] = argCount;
    rec[2] = fields.Lsb<uint8_t>(8);
    const uint64_t stamp = fields.Lsb<uint64_t>(64);
    std::memcpy(&rec[3], &stamp, sizeof stamp);
    fields.Lsb<uint16_t>(16);  // discarded
    const uint16_t line = fields.Lsb<uint16_t>(16);
    std::memcpy(&rec[13], &line, sizeof line);
    const uint32_t fileId = fields.Lsb<uint32_t>(32);
    std::memcpy(&rec[15], &fileId, sizeof fileId);
    reader.Skip(static_cast<int64_t>(argCount) * 32);  // the format arguments are not used

    // At most the record's room and at most L - 19 bytes (none when that is negative).
    const int64_t byLength = static_cast<int64_t>(packet.Length()) - 19;
    const int64_t textBytes = std::min<int64_t>(kDebugTextCapacity, byLength < 0 ? 0 : byLength);
    for (int64_t i = 0; i < textBytes; ++i) {
        if (!reader.ReadLsbFirst(&rec[kDebugHeaderSize + static_cast<size_t>(i)], 1, 8)) break;
    }
}

bool IsPlayoutText(const DebugRecord& rec) {
    const uint8_t* text = rec.data() + kDebugHeaderSize;
    constexpr size_t kTextLength = sizeof kPlayoutText - 1;
    size_t n = 0;
    while (n < kDebugTextCapacity && text[n] != 0) ++n;
    return n == kTextLength && std::memcmp(text, kPlayoutText, kTextLength) == 0;
}

// Walks the events of a 0x60 report; returns the voice state from the last event 0x1A2 with a
// 4-byte payload, or the no-value mark. Each event: a u16 whose low 12 bits are the ID and top
// nibble the flags, a full (8-byte) or truncated (2-byte) time stamp, then the payload whose
// length the flags give (or a length byte). The area ends at total + 3; nothing at or past
// the packet length is read.
int32_t ParseEventReport(PacketView packet) {
    const int64_t length = packet.Length();
    const int64_t total = packet.U8(1) + 256 * packet.U8(2);
    if (total < 2 || total > length) return kNoEventValue;
    const int64_t end = total + 3;
    auto inPacket = [length](int64_t index) { return index < length; };

    int32_t v = kNoEventValue;
    int64_t n = 0;  // payload length; some flag values keep the previous event's
    int64_t p = 3;
    while (p <= end) {
        if (p + 1 > end || !inPacket(p + 1)) break;
        const uint16_t eventId =
            static_cast<uint16_t>(packet.U8(p) + 256 * (packet.U8(p + 1) & 0x0F));
        const uint8_t flags = static_cast<uint8_t>(packet.U8(p + 1) >> 4);
        p += 2;
        if (flags < 8) {  // full time stamp
            if (p + 7 > end) break;
            p += 8;
            if (flags == 6) {
                if (p > total + 2 || !inPacket(p)) break;
                n = packet.U8(p);
                p += 1;
            } else if (flags == 4) {
                n = 2;
            } else if (flags == 2) {
                n = 1;
            } else if (flags == 0) {
                n = 0;
            }
        } else {  // truncated time stamp
            if (p + 1 > total) break;
            p += 2;
            if (flags == 8) {
                n = 0;
            } else if (flags == 10) {
                n = 1;
            } else if (flags == 12) {
                n = 2;
            } else if (flags == 14) {
                if (p > end || !inPacket(p)) break;
                n = packet.U8(p);
                p += 1;
            }
        }
        if (p + n - 1 > end || (n > 0 && !inPacket(p + n - 1))) break;
        if (eventId == kVoiceStateEvent && n == 4) {
            const uint32_t w = packet.U32(p);
            if (w == 0) {
                v = 0;
            } else if (w == 2 || w == 4) {
                v = 1;
            }
        }
        p += n;
    }
    return v;
}

}  // namespace

uint32_t DecodeCommand20(DecoderContext& ctx, PacketView packet) {
    std::array<uint8_t, 2> blob{};
    BitReader reader;
    FieldTemps fields(reader);
    if (AttachAtCommand(reader, fields, packet, 0x20)) {
        blob[0] = fields.Lsb<uint8_t>(8);
        blob[1] = fields.Lsb<uint8_t>(8);
    }
    PublishStruct(ctx, kCommand20Blob, blob.data(), blob.size());
    return 1;
}

uint32_t DecodeCommand3F(DecoderContext& ctx, PacketView packet) {
    if (ctx.moduleType != kModuleTypeB101) return 1;
    ParamRun run(ctx);
    run.Set(kRadioConfig, MapRadioConfig(packet.U8(1) & 0x0Fu));
    run.Finish();
    return 1;
}

uint32_t DecodeCommand4B(DecoderContext& ctx, PacketView packet) {
    const uint32_t module = ctx.moduleType << 16;
    if (packet.U8(1) == kSubsystemStatus && packet.Length() >= kStatusMinLength) {
        ctx.item.msgCode = module | 0xDD4Bu;
        if (packet.U8(2) != 0 || packet.U8(3) != 0) return 1;
        ParamRun run(ctx);
        run.Set(kRadioConfig, MapSubsystemStatus(packet.U32(4)));
        run.Finish();
        return 1;
    }
    if (packet.U8(1) == kSubsystemCallStats && packet.U16(2) == kCallStatsCommand &&
        packet.U8(4) == 0) {
        ctx.item.msgCode = module | 0x304Bu;
        CallStatsRecord rec;
        ParseCallStats(packet, rec);
        std::array<uint8_t, 12> blob{};
        StoreLE<uint32_t>(&blob[0], rec.f);
        StoreLE<uint32_t>(&blob[4], rec.g);
        StoreLE<uint32_t>(&blob[8], rec.h);
        PublishStruct(ctx, kSubsystemBlob, blob.data(), blob.size());
    }
    return 1;
}

uint32_t DecodeCommand5D(DecoderContext& ctx, PacketView /*packet*/) {
    ParamRun run(ctx);
    run.Set(kCallState, 1);
    run.Finish();
    return 1;
}

uint32_t DecodeCommand60(DecoderContext& ctx, PacketView packet) {
    ParamRun run(ctx);
    run.SetKnown(kVoiceState, ParseEventReport(packet));
    run.Finish();
    return 1;
}

uint32_t DecodeCommand73(DecoderContext& ctx, PacketView packet) {
    Command73Record rec;
    ParseCommand73(packet, rec);
    ParamRun run(ctx);
    run.Set(kCallState, rec.y == 0 ? 1 : 0);
    run.Finish();
    return 1;
}

uint32_t DecodeCommand79(DecoderContext& /*ctx*/, PacketView packet) {
    DebugRecord rec{};
    ParseDebugMessage(packet, rec);
    return IsPlayoutText(rec) ? 1 : 0;
}

uint32_t DecodeCommandDD(DecoderContext& ctx, PacketView packet) {
    ctx.item.msgCode = kDebugMessageCode;
    return packet.U8(0) == 0xDD ? 1 : 0;
}

}  // namespace tessavo
