#include "decoders/cdma1x/packed_logs.h"

#include "bits/bit_reader.h"

namespace tessavo {

void HandlePackedLog(DecoderContext& ctx, PacketView packet, int32_t subPacket) {
    ReportItem& item = ctx.item;
    if (subPacket == 0) {
        item.msgCode = (ctx.moduleType << 16) | packet.LogCode();
        return;
    }
    // A sub-packet is never re-encoded and carries no side forms of its own.
    item.zelFilter.length = 0;
    item.zelSimple.length = 0;
    ctx.Mark(&item.zelFilter.length, sizeof item.zelFilter.length);
    ctx.Mark(&item.zelSimple.length, sizeof item.zelSimple.length);

    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps temps(reader);
    const uint8_t n = temps.Lsb<uint8_t>(8);
    reader.Skip(int64_t{n} * 8);
    temps.Lsb<uint8_t>(8);
    temps.Lsb<uint8_t>(8);
    const uint8_t counts = temps.Lsb<uint8_t>(8);
    const uint32_t high = counts >> 4;
    const uint32_t low = counts & 0x0F;
    uint32_t entryCode = 0;
    if (high != 0 || low != 0) entryCode = temps.Lsb<uint8_t>(8) & 0x0Fu;
    uint32_t code = item.msgCode;
    if (high != 0) {
        code += 256;
    } else if (low != 0) {
        code += 512;
    }
    item.msgCode = code + entryCode;
}

}  // namespace tessavo
