// Feeds arbitrary bytes through the decode entry points. The first input bytes choose the
// module type, the configuration switches, the entry point and the chunking; every item is
// then read back through every accessor.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tessavo/tessavo.h"

namespace {

constexpr uint32_t kModules[] = {TESSAVO_MODULE_B101, TESSAVO_MODULE_B200, TESSAVO_MODULE_B20A,
                                 TESSAVO_MODULE_B20B};

volatile uint32_t gSink;

void Touch(const void* block) {
    if (block == nullptr) return;
    uint32_t n = 0;
    std::memcpy(&n, block, 4);
    const auto* b = static_cast<const uint8_t*>(block) + 4;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) sum += b[i];
    gSink = sum;
}

void ReadEverything(void* h) {
    const int32_t n = GetReportItemCountProc(h);
    for (int32_t i = 0; i < n; ++i) {
        gSink = GetReportItemMsgCode(h, i) ^ GetReportItemMsgDirection(h, i);
        Touch(GetReportItemBinary(h, i));
        Touch(GetReportItemBinaryToZelFilter(h, i));
        Touch(GetReportItemBinaryToZelSimple(h, i));
        Touch(GetReportItemDTLogBinary(h, i));
        int32_t status = 0;
        Touch(GetReportItemOutFileBinary(h, &status, i));
        for (int pass = 0; pass < 2; ++pass) {
            const uint32_t count = pass ? GetReportItemInheritDecodeParamCount(h, i)
                                        : GetReportItemCurDecodeParamCount(h, i);
            for (uint32_t k = 0; k < count; ++k) {
                const DecodeParam* p =
                    pass ? GetReportItemInheritDecodeParamList(h, i, static_cast<int32_t>(k))
                         : GetReportItemCurDecodeParamList(h, i, static_cast<int32_t>(k));
                if (p != nullptr) gSink = static_cast<uint32_t>(p->value) + p->id;
            }
            const uint32_t structs = pass ? GetReportItemInheritDecodeStructParamCount(h, i)
                                          : GetReportItemCurDecodeStructParamCount(h, i);
            for (uint32_t k = 0; k < structs; ++k) {
                const DecodeStructParam* s =
                    pass ? GetReportItemInheritDecodeStructParamList(h, i, static_cast<int32_t>(k))
                         : GetReportItemCurDecodeStructParamList(h, i, static_cast<int32_t>(k));
                if (s == nullptr) continue;
                DecodeStructParam header;
                std::memcpy(&header, s, sizeof header);
                const uint8_t* payload = TESSAVO_STRUCT_PARAM_DATA(s);
                uint32_t sum = 0;
                for (uint32_t b = 0; b < header.length; ++b) sum += payload[b];
                gSink = sum;
            }
        }
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

    void* h = CreateDecoderObjectProc(kModules[mode & 3]);
    if (h == nullptr) return 0;
    SetDecoderConfiguration(h, (switches & 1) ? 6 : 7);
    SetDecoderConfiguration(h, (switches & 2) ? 8 : 9);
    SetDecoderConfiguration(h, (switches & 4) ? 10 : 11);
    SetDecoderConfiguration(h, (switches & 8) ? 0x20001 : 0x20002);
    SetDecoderConfiguration(h, (switches & 16) ? 0xA0001 : 0xA0002);

    const int entry = (mode >> 2) & 3;
    for (size_t at = 0; at < size;) {
        const size_t n = size - at < chunk ? size - at : chunk;
        const auto len = static_cast<int32_t>(n);
        switch (entry) {
            case 0: DecodeMsgProc(h, data + at, len, 1000, 0); break;
            case 1: {
                int32_t left = DecodeMsgProc_NoDynamic(h, data + at, len, 1000, 0);
                while (left > 0 && left <= len) {
                    ReadEverything(h);
                    const int32_t again =
                        DecodeMsgProc_NoDynamic(h, data + at + (len - left), left, 1000, 0);
                    if (again >= left) break;  // no progress: the ring cannot take a frame
                    left = again;
                }
                break;
            }
            case 2: DecodeMsgProc_One(h, data + at, len, 1000, 0); break;
            default:
                // A host that clears instead of collecting.
                DecodeMsgProc(h, data + at, len, 1000, 0);
                ClearReportItemsProc(h);
                break;
        }
        ReadEverything(h);
        at += n;
    }
    FreeDecoderObjectProc(&h);
    return 0;
}
