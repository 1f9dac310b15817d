#include "decoders/decoder_context.h"

namespace tessavo {

DecoderContext::DecoderContext() {
    for (int i = 0; i < kSamplingRecordCount; ++i) {
        sampling[static_cast<size_t>(i)].interval = kSamplingIntervals[static_cast<size_t>(i)];
    }
    rateHistory.fill(kNoValueD);
}

}  // namespace tessavo
