#include "support/test_host.h"

#include <cstring>

namespace tessavo::test {

TestHost::TestHost(uint32_t moduleType) : handle_(CreateDecoderObjectProc(moduleType)) {}

TestHost::~TestHost() {
    if (handle_ != nullptr) FreeDecoderObjectProc(&handle_);
}

bool TestHost::Feed(const Bytes& bytes, int32_t hostSeconds, int32_t hostMicros) {
    return DecodeMsgProc(handle_, bytes.data(), static_cast<int32_t>(bytes.size()), hostSeconds,
                         hostMicros);
}

ItemTime TestHost::Time(int32_t i) const {
    const auto* t = static_cast<const ItemTime*>(GetReportItemMsgTime(handle_, i));
    return t ? *t : ItemTime{-1, -1};
}

Bytes TestHost::BlockBytes(void* block) const {
    if (block == nullptr) return {};
    uint32_t n = 0;
    std::memcpy(&n, block, 4);
    const auto* b = static_cast<const uint8_t*>(block) + 4;
    return Bytes(b, b + n);
}

std::vector<ParamValue> TestHost::Scalars(void* h, int32_t i, bool current) {
    std::vector<ParamValue> out;
    const uint32_t n = current ? GetReportItemCurDecodeParamCount(h, i)
                               : GetReportItemInheritDecodeParamCount(h, i);
    if (n == 0xFFFFFFFFu) return out;
    for (int32_t k = 0; k < static_cast<int32_t>(n); ++k) {
        const DecodeParam* p = current ? GetReportItemCurDecodeParamList(h, i, k)
                                       : GetReportItemInheritDecodeParamList(h, i, k);
        if (p != nullptr) out.push_back({p->id, p->value, p->state});
    }
    return out;
}

std::vector<StructValue> TestHost::Structs(void* h, int32_t i, bool current) {
    std::vector<StructValue> out;
    const uint32_t n = current ? GetReportItemCurDecodeStructParamCount(h, i)
                               : GetReportItemInheritDecodeStructParamCount(h, i);
    if (n == 0xFFFFFFFFu) return out;
    for (int32_t k = 0; k < static_cast<int32_t>(n); ++k) {
        const DecodeStructParam* p = current ? GetReportItemCurDecodeStructParamList(h, i, k)
                                             : GetReportItemInheritDecodeStructParamList(h, i, k);
        if (p == nullptr) continue;
        DecodeStructParam header;
        std::memcpy(&header, p, sizeof header);
        const uint8_t* data = TESSAVO_STRUCT_PARAM_DATA(p);
        out.push_back({header.id, header.state, Bytes(data, data + header.length)});
    }
    return out;
}

}  // namespace tessavo::test
