// The decoder object behind a handle: frame collection, the report ring, the collected list,
// the decoding context and the object's configuration switches.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "api/pending_input.h"
#include "api/report_ring.h"
#include "framing/frame_decoder.h"
#include "decoders/decoder_context.h"

namespace tessavo {

struct FrameWorkBuffers;
class DtLogBuilder;

// Receives every frame that reassembly hands to frame decoding (tests observe framing here).
using FrameObserver = void (*)(void* user, const uint8_t* frame, int32_t length);
// Receives every item as it is appended to the ring (tests digest items here without having
// the ring fill them).
using AppendObserver = void (*)(void* user, const ReportItem& item);

struct DecoderObject {
    int32_t frameLength = 0;
    std::array<uint8_t, kFrameCapacity> frameBuffer{};
    ReportRing ring;
    std::vector<ReportItem*> collected;
    int32_t collectedCount = 0;
    int32_t ringFillAfterPush = 0;
    uint32_t moduleType = 0;
    DecoderContext ctx;
    uint8_t wholeBufferMode = 0;
    uint8_t wholeFramePlusOneMode = 0;
    uint8_t outFileEnabled = 0;
    uint8_t dtLogEnabled = 0;

    PendingInput pending;

    // Scratch space of packed-log expansion, allocated once.
    std::unique_ptr<FrameWorkBuffers> work;

    // The DTLog text builder (about 179 KB), allocated when DTLog output is first switched on.
    std::unique_ptr<DtLogBuilder> dtLog;

    FrameObserver frameObserver = nullptr;
    void* frameObserverUser = nullptr;
    AppendObserver appendObserver = nullptr;
    void* appendObserverUser = nullptr;

    DecoderObject();
    ~DecoderObject();
    DecoderObject(const DecoderObject&) = delete;
    DecoderObject& operator=(const DecoderObject&) = delete;
};

inline constexpr uint32_t kSupportedModuleTypes[] = {TESSAVO_MODULE_B101, TESSAVO_MODULE_B200,
                                                     TESSAVO_MODULE_B20A, TESSAVO_MODULE_B20B};

bool IsSupportedModuleType(uint32_t moduleType);

// Creates the object with its ring; prints the fixed message and returns null on failure.
DecoderObject* CreateDecoderObject(uint32_t moduleType);

// Applies a configuration code; false for codes not above 0. Unknown positive codes change
// nothing and succeed.
bool ApplyConfiguration(DecoderObject& obj, int32_t code);

}  // namespace tessavo
