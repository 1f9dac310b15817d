// Helpers shared by the unit tests of the 1x decoders: run a handler on a log packet the way
// the dispatcher does, and read the report item back by parameter ID.
#pragma once

#include <string>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {

using Values = IdValues;

inline std::unique_ptr<DecoderContext> NewContext() {
    return std::make_unique<DecoderContext>();
}

// Resets the lists, sets the message code the dispatcher would have set, and runs the
// handlers on the dispatched form of a log packet with `payload`.
inline void RunLog(DecoderContext& ctx, uint16_t logCode, const Bytes& payload,
                   std::initializer_list<LogHandler> handlers, uint32_t msgCode = 0) {
    const Bytes packet = Dispatched(LogPacket(logCode, payload));
    ResetParamLists(ctx);
    ctx.item.msgCode = msgCode;
    const PacketView view(packet.data(), static_cast<int32_t>(packet.size()));
    for (LogHandler h : handlers) h(ctx, view, 0);
}

// The current scalar list is `prefix`, then the IDs of `expected` with those values.
inline void ExpectCurrent(const DecoderContext& ctx, const Values& expected, Ids prefix = {}) {
    for (const auto& [id, value] : expected) {
        prefix.push_back(id);
        EXPECT_EQ(ValueOf(ctx, id), value) << std::hex << id;
    }
    EXPECT_EQ(CurrentIds(ctx), prefix);
}

inline Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// A pilot sets response (command 0x40) captured from a handset, as framed on the wire.
inline const char* const kCapturedPilotSetsFrame =
    "400300010019f000160021001c00d8003f0056013f0015001a0011013f0092013f0039003f0095013f001200"
    "3f0023013f0066003f000b013f00ae003f0002013f00a8003f0050013f00f8013f0057003f007d5e003f0093"
    "003f00bd003f0077013f00b7003f00ab003f0033003f00000000000000000000000000000000000000000000"
    "0000adde000000000000001313501f0000ffff00aa1900000000000000000000000000000000000000000000"
    "000000000000000000000000b1c47d5e7d5e7d5d5d04581b5b1b000000000000000000000000000000006569"
    "7e";

}  // namespace tessavo::test
