#include "dtlog/dtlog_builder.h"

#include <algorithm>
#include <cstring>

namespace tessavo {

void DtLogBuilder::Reset() {
    counts_.fill(0);
    for (Field& f : fields_) f.length = 0;
}

void DtLogBuilder::Store(DtRecord r, int field, std::string_view text) {
    Store(r, field,
          std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void DtLogBuilder::Store(DtRecord r, int field, std::span<const uint8_t> bytes) {
    Field& f = At(r, field);
    const size_t n = std::min<size_t>(bytes.size(), kDtFieldCapacity);
    if (n != 0) std::memcpy(f.text.data(), bytes.data(), n);
    f.length = static_cast<int32_t>(n);
    ++counts_[static_cast<size_t>(r)];
}

void DtLogBuilder::Serialize(Block& block, size_t written) const {
    block.length = 0;
    std::memset(block.bytes, 0, std::min<size_t>(written, kBlockCapacity));
    constexpr uint8_t kTab = 0x09;
    constexpr uint8_t kLf = 0x0A;
    for (int r = 0; r < kDtRecordCount; ++r) {
        if (counts_[static_cast<size_t>(r)] <= 0) continue;
        const DtRecordShape& shape = kDtRecordShapes[static_cast<size_t>(r)];
        block.Append(reinterpret_cast<const uint8_t*>(shape.tag.data()), shape.tag.size());
        const int first = DtFirstField(static_cast<DtRecord>(r));
        for (int i = 0; i < shape.fieldCount; ++i) {
            const Field& f = fields_[static_cast<size_t>(first + i)];
            block.Append(&kTab, 1);
            block.Append(reinterpret_cast<const uint8_t*>(f.text.data()),
                         static_cast<size_t>(f.length));
        }
        block.Append(&kLf, 1);
    }
}

DtListWriter::DtListWriter(DtLogBuilder& builder, DtRecord r, int field)
    : field_(builder.At(r, field)) {
    builder.Store(r, field, std::string_view{});
}

void DtListWriter::Add(std::string_view item) {
    const size_t need = item.size() + 1;
    if (closed_ || static_cast<size_t>(field_.length) + need > kDtFieldCapacity) {
        closed_ = true;
        return;
    }
    std::memcpy(field_.text.data() + field_.length, item.data(), item.size());
    field_.text[static_cast<size_t>(field_.length) + item.size()] = ' ';
    field_.length += static_cast<int32_t>(need);
}

}  // namespace tessavo
