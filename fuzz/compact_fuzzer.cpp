// The compact form (log code 0xFFFE): every log packet of the input is given that code before
// decoding, so that the mutated payloads all reach the compact-form decoder.
#include "fuzz/decode_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessavo::fuzz::TargetRules rules;
    rules.asCompact = true;
    return tessavo::fuzz::RunDecodeInput(data, size, rules);
}
