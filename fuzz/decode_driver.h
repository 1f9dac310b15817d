// What every decode fuzz target shares: one set of decoder objects per process, returned to
// their fresh state before each input, the input's control bytes, and the oracles.
//
// An input is three control bytes and a byte stream: byte 0 chooses the switches (bit 0
// re-encoding, 1 whole-buffer mode, 2 whole-frame mode, 3 OutFile, 4 DTLog), byte 1 the module
// type (bits 0-1) and the entry point (bits 2-3: DecodeMsgProc, DecodeMsgProc_NoDynamic,
// DecodeMsgProc_One, DecodeMsgProc then a clear), byte 2 the size of the pieces the stream is
// fed in (1 + 8 x byte 2).
//
// Findings abort: the two append paths of the twin objects disagree, or the stream decoded in
// one piece and in pieces of sizes chosen by the input gives different items.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessavo::fuzz {

inline constexpr size_t kControlBytes = 3;
inline constexpr uint8_t kDtLogSwitch = 0x10;  // control byte 0, bit 4

// What a target fixes whatever the control bytes say.
struct TargetRules {
    uint8_t switchesOn = 0;     // control-byte-0 bits forced on
    uint8_t switchesOff = 0;    // and forced off
    bool framePerCall = false;  // the stream is cut at each 0x7E instead of into fixed pieces
    bool asCompact = false;     // every log packet is given the compact form's code, 0xFFFE
};

int RunDecodeInput(const uint8_t* data, size_t size, const TargetRules& rules);

}  // namespace tessavo::fuzz
