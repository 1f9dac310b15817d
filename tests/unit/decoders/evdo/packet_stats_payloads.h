// Payloads of the EV-DO packet statistics and carrier-mode logs, built field by field, and
// sequences of packets with the current list each one must leave.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "common/le.h"
#include "support/packet_builder.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {

// A packet and the current list it leaves, written flat: ID, value, ID, value, ...
struct Step {
    Bytes payload;
    std::vector<int64_t> current;
};

// ID, value, ID, value, ... as pairs.
inline IdValues Pairs(const std::vector<int64_t>& flat) {
    IdValues pairs;
    for (size_t k = 0; k + 1 < flat.size(); k += 2) {
        pairs.emplace_back(static_cast<uint32_t>(flat[k]), static_cast<int32_t>(flat[k + 1]));
    }
    return pairs;
}

inline void RunSteps(RecordHarness& h, uint16_t code, std::initializer_list<LogHandler> handlers,
                     const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(testing::Message() << std::hex << code << " step " << std::dec << i);
        h.Log(code, steps[i].payload, handlers);
        h.ExpectCurrent(Pairs(steps[i].current));
    }
}

// Counter number -> value; counters not named are 0.
using Counters = std::map<int, uint32_t>;

// `size` bytes where byte i holds i & 0xFF (so a carried byte shows where it came from), with
// `n` counters as little-endian words from `at`.
inline Bytes Numbered(size_t size, size_t at, size_t n, const Counters& counters) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i);
    for (size_t k = 0; k < n; ++k) {
        const auto it = counters.find(static_cast<int>(k));
        StoreLE(b.data() + at + 4 * k, it == counters.end() ? 0u : it->second);
    }
    return b;
}

// 0x12A2 and 0x129F share the header: first byte, T, carrier count, carrier index, channel word.
inline Bytes MultiCarrierHeader(uint32_t time, uint8_t count, uint8_t index, uint16_t word = 0) {
    Bytes b{0x5A};
    PutU32(b, time);
    PutU8(b, count);
    PutU8(b, index);
    PutU16(b, word);
    return b;
}

// 0x12A2: the header and the 1285-byte table with the 56 counters first (payload byte p of the
// table holds p & 0xFF beyond the counters).
inline Bytes Payload12A2(uint32_t time, uint8_t count, uint8_t index, const Counters& c,
                         uint16_t word = 0) {
    Bytes table = Numbered(9 + 1285, 9, 56, c);
    table.erase(table.begin(), table.begin() + 9);
    return Concat({MultiCarrierHeader(time, count, index, word), table});
}

// 0x1192: T, then the 56 counters and the further words (1288 bytes).
inline Bytes Payload1192(uint32_t time, const Counters& c) {
    Bytes b = Numbered(1288, 4, 56, c);
    StoreLE(b.data(), time);
    return b;
}

// 0x1193: T, then the 13 counters (A128, A256, A512, A1024, B1024, ...) and the arrays.
inline Bytes Payload1193(uint32_t time, const Counters& c) {
    Bytes b = Numbered(160, 4, 13, c);
    StoreLE(b.data(), time);
    return b;
}

// The reverse-link block: 3 groups of 24 entries of six words and a trailing word. Keys are
// {group, entry}; values {w4, w5} (the other words 0). Trailing word of group g: 0xAAAA0000 + g.
using Entries = std::map<std::pair<int, int>, std::pair<uint32_t, uint32_t>>;
inline Bytes ReverseBlock(const Entries& entries) {
    Bytes b(1740, 0);
    for (int g = 0; g < 3; ++g) StoreLE(b.data() + 580 * g + 576, 0xAAAA0000u + g);
    for (const auto& [at, words] : entries) {
        uint8_t* e = b.data() + 580 * at.first + 24 * at.second;
        StoreLE(e + 16, words.first);
        StoreLE(e + 20, words.second);
    }
    return b;
}

inline Bytes Payload127E(uint8_t version, uint32_t duration, const Entries& e) {
    Bytes b{version};
    if (version == 1) PutU32(b, duration);
    return Concat({b, ReverseBlock(e)});
}

inline Bytes Payload129F(uint32_t time, uint8_t count, uint8_t index, const Entries& e,
                         uint16_t word = 0) {
    return Concat({MultiCarrierHeader(time, count, index, word), ReverseBlock(e)});
}

// 0x128A: version, selector, then 65-byte entries {id, mode code}.
inline Bytes Payload128A(uint8_t version, uint16_t selector,
                         const std::vector<std::pair<uint8_t, uint16_t>>& entries) {
    Bytes b{version};
    PutU16(b, selector);
    PutU8(b, static_cast<uint8_t>(entries.size()));
    for (const auto& [id, mode] : entries) {
        Bytes e(65, 0xEE);
        e[0] = id;
        StoreLE(e.data() + 9, mode);
        b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

}  // namespace tessavo::test
