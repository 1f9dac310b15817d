// Log code 0x1062: a record of five 32-bit words, published as five scalars and one blob.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

struct FiveWordRecord {
    std::array<uint32_t, 5> words;
};

// Returns 1 when it ran; 0 for an empty packet (the record stays zero).
int ParseFiveWordRecord(PacketView packet, FiveWordRecord& record);

// The param handler only parses; the structured handler publishes everything.
void ParseOnly1062(DecoderContext& ctx, PacketView packet, int32_t extra);
void Handle1062(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
