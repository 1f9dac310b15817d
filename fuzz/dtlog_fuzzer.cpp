// The decode target with DTLog output always on, so every packet is rendered as text.
#include "fuzz/decode_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tessavo::fuzz::TargetRules rules;
    rules.switchesOn = tessavo::fuzz::kDtLogSwitch;
    return tessavo::fuzz::RunDecodeInput(data, size, rules);
}
