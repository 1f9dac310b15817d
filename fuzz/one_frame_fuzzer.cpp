// One frame per decode call: DecodeMsgProc_One and the whole-buffer and whole-frame modes,
// which expect each call to carry exactly one frame (the stream is cut after each 0x7E).
#include "fuzz/decode_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessavo::fuzz::TargetRules rules;
    rules.framePerCall = true;
    return tessavo::fuzz::RunDecodeInput(data, size, rules);
}
