// Returning a decoder object to the state it had when created, for tests and fuzzing that reuse
// one object across many inputs instead of building a ring per input. Not an export.
#pragma once

#include "api/decoder_object.h"

namespace tessavo {

// The object afterwards decodes exactly as a fresh one of the same module type: context at its
// defaults, no kept input or partial frame, no items (collected or not), every switch off, no
// frame observer. Its memory (ring nodes, work buffers, DTLog builder) is kept.
void ResetDecoderObject(DecoderObject& obj);

}  // namespace tessavo
