// Feeds arbitrary bytes through the decode entry points of two decoder objects, one appending
// items incrementally and one by whole copies. The first input bytes choose the module type,
// the configuration switches, the entry point and the chunking; every item is then read back
// through every accessor and the two objects' items compared.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/twin_decoders.h"
#include "tessavo/tessavo.h"

namespace {

constexpr uint32_t kModules[] = {TESSAVO_MODULE_B101, TESSAVO_MODULE_B200, TESSAVO_MODULE_B20A,
                                 TESSAVO_MODULE_B20B};

// Collects on both objects and reads every item through every accessor; any difference
// between the incremental and the whole-item append is a finding.
void ReadEverything(tessavo::test::TwinDecoders& twins) {
    twins.CollectAndCompare();
    if (!twins.Mismatch().empty()) {
        std::fprintf(stderr, "append paths disagree: %s\n", twins.Mismatch().c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t switches = data[0];
    const uint8_t mode = data[1];
    const size_t chunk = 1 + data[2] * 8u;
    data += 3;
    size -= 3;

    tessavo::test::TwinDecoders twins(kModules[mode & 3]);
    if (!twins.Valid()) return 0;
    twins.Configure((switches & 1) ? 6 : 7);
    twins.Configure((switches & 2) ? 8 : 9);
    twins.Configure((switches & 4) ? 10 : 11);
    twins.Configure((switches & 8) ? 0x20001 : 0x20002);
    twins.Configure((switches & 16) ? 0xA0001 : 0xA0002);

    const int entry = (mode >> 2) & 3;
    for (size_t at = 0; at < size;) {
        const size_t n = size - at < chunk ? size - at : chunk;
        const auto len = static_cast<int32_t>(n);
        switch (entry) {
            case 0:
                twins.Decode(data + at, len, 1000);
                break;
            case 1: {
                int32_t left = twins.DecodeNoDynamic(data + at, len, 1000);
                while (left > 0 && left <= len) {
                    ReadEverything(twins);
                    const int32_t again =
                        twins.DecodeNoDynamic(data + at + (len - left), left, 1000);
                    if (again >= left) break;  // no progress: the ring cannot take a frame
                    left = again;
                }
                break;
            }
            case 2:
                twins.DecodeOne(data + at, len, 1000);
                break;
            default:
                // A host that clears instead of collecting.
                twins.Decode(data + at, len, 1000);
                twins.Clear();
                break;
        }
        ReadEverything(twins);
        at += n;
    }
    return 0;
}
