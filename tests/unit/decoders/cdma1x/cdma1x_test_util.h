// Helpers shared by the unit tests of the 1x decoders in this directory: payload words,
// over-the-air messages written as lists of fields, checks of parameters and structures, and the
// pilot table read back.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "support/bit_writer.h"
#include "unit/decoders/decoder_test_util.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {

// Little-endian 32-bit words.
inline Bytes U32s(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}

// Fields of an over-the-air message, most significant bit first: {value, bits}.
using Fields = std::vector<std::pair<uint64_t, int>>;

inline BitWriter& Put(BitWriter& w, const Fields& fields) {
    for (auto [value, bits] : fields) w.Msb(value, bits);
    return w;
}

// The values of these parameters, whatever else the current list holds.
inline void ExpectValues(const DecoderContext& ctx, const Values& expected) {
    for (const auto& [id, value] : expected) EXPECT_EQ(ValueOf(ctx, id), value) << std::hex << id;
}

// A published structure: its ID, its length and its leading bytes.
struct StructCheck {
    uint32_t id;
    uint32_t length;
    Bytes head;
};
using Structs = std::vector<StructCheck>;

// The current structure list is exactly `expected`.
inline void ExpectStructs(DecoderContext& ctx, const Structs& expected) {
    Ids ids;
    for (const StructCheck& s : expected) {
        ids.push_back(s.id);
        EXPECT_EQ(StructOf(ctx, s.id).Length(), s.length) << std::hex << s.id;
        EXPECT_EQ(PayloadBytes(ctx, s.id, 0, s.head.size()), s.head) << std::hex << s.id;
    }
    EXPECT_EQ(CurrentStructIds(ctx), ids);
}

using Pns = std::vector<uint32_t>;

// The PN of every pilot table entry, in table order.
inline Pns TablePns(const DecoderContext& ctx) {
    Pns pns;
    for (int i = 0; i < ctx.pilotTable.count; ++i) {
        pns.push_back(ctx.pilotTable.entries[static_cast<size_t>(i)].pn);
    }
    return pns;
}

}  // namespace tessavo::test
