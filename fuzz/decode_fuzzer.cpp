// Arbitrary streams through the decode entry points, every switch and entry chosen by the
// input's control bytes (see decode_driver.h).
#include "fuzz/decode_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tessavo::fuzz::RunDecodeInput(data, size, {});
}
