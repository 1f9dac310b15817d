// The decode targets' mutator: an input is read as its control bytes and a stream of frames,
// the packets inside are changed (payload bytes, log codes and commands taken from the route
// table, length fields, count bytes, time stamps, whole frames added, dropped or repeated) and
// framed again with a good check sequence and correct escaping, so that mutated bytes reach
// the decoders. A share of the mutations work on the raw bytes, so framing stays fuzzed too.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessavo::fuzz {

// Both mutate `data` (`size` bytes, room for `maxSize`) and return the new size.
size_t MutateFrames(uint8_t* data, size_t size, size_t maxSize, unsigned seed);
size_t CrossOverFrames(const uint8_t* a, size_t sizeA, const uint8_t* b, size_t sizeB, uint8_t* out,
                       size_t maxOut, unsigned seed);

}  // namespace tessavo::fuzz
