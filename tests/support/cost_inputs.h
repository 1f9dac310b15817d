// Streams built to cost the decoders as much as possible per byte: one packet shape repeated,
// for every routed log code, in either carrier mode. The benchmark times them to find the worst
// per code; the worst are kept as fuzz regression inputs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/packet_builder.h"

namespace tessavo::test {

struct CostInput {
    uint16_t logCode = 0;
    bool multiCarrier = false;
    Bytes payload;             // of each packet after the first
    Bytes stream;              // framed, the carrier-mode packet first, then the packet repeated
    std::string Name() const;  // "0x129d_mc_5B_01ff": code, mode, payload size, first bytes
};

// The payload shapes tried for every code: short ones, payloads of 0xFF (counts at their
// largest) behind each version byte, and zero-filled ones, up to the largest frame.
std::vector<Bytes> CostPayloads();

// `payload` under `logCode`, framed and repeated until the stream holds `size` bytes, each
// packet a second after the one before (no sampling interval drops any). In multi-carrier mode
// a carrier-mode packet comes first.
CostInput BuildCostInput(uint16_t logCode, const Bytes& payload, bool multiCarrier, size_t size);

// Every code of the route table that reaches a decoder (ignored codes excepted).
std::vector<uint16_t> DecodedLogCodes();

}  // namespace tessavo::test
