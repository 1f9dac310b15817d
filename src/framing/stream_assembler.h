// Collects 0x7E-terminated frames from the byte stream across decode calls.
#pragma once

#include <cstdint>

#include "common/time_pair.h"

namespace tessavo {

struct DecoderObject;

// Returns 0 when every input byte was taken, a positive count of input bytes after the last
// handled frame when the ring filled (pass them again after collecting), or -1 when a failure
// was caught while a frame was decoded (the partial frame is dropped).
int32_t AssembleStream(DecoderObject& obj, const uint8_t* bytes, int32_t length, TimePair host);

}  // namespace tessavo
