#include "value_text.h"

#include <cstdio>

#include "text_format.h"

namespace tessavo::cli {
namespace {

uint32_t Unsigned(int32_t value) {
    return static_cast<uint32_t>(value);
}

std::string Padded(uint64_t value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llu", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace

ShownValue ShowValue(const ParamInfo* info, const DecodeParam& param,
                     std::span<const DecodeParam> itemParams) {
    ShownValue shown;
    shown.number = param.value;
    shown.divisor = param.scale == 0 ? 1 : param.scale;
    if (info == nullptr) return shown;
    shown.unit = info->unit;
    switch (info->form) {
        case ValueForm::kNumber:
            break;
        case ValueForm::kHex: {
            char text[16];
            std::snprintf(text, sizeof text, "%0*X", int(info->digits), Unsigned(param.value));
            shown.kind = ShownValue::Kind::kText;
            shown.text = text;
            return shown;
        }
        case ValueForm::kDigits:
            shown.kind = ShownValue::Kind::kText;
            shown.text = Padded(Unsigned(param.value), info->digits);
            return shown;
        case ValueForm::kPairHigh:
            shown.number = Unsigned(param.value);
            return shown;
        case ValueForm::kPairLow: {
            for (const DecodeParam& other : itemParams) {
                if (other.id != info->pairId) continue;
                uint64_t whole = uint64_t{Unsigned(other.value)} << 32 | Unsigned(param.value);
                shown.kind = ShownValue::Kind::kText;
                shown.text = Padded(whole, info->digits);
                return shown;
            }
            shown.number = Unsigned(param.value);  // the upper half is not in this item
            return shown;
        }
    }
    if (info->coding == nullptr) return shown;
    const ValueCoding& coding = *info->coding;
    int64_t value = param.value;
    if (coding.signedBits > 0 && coding.signedBits < 32) {
        const int64_t sign = int64_t{1} << (coding.signedBits - 1);
        value = ((value & ((sign << 1) - 1)) ^ sign) - sign;
    }
    if (!coding.table.empty()) {
        if (value < 0 || static_cast<uint64_t>(value) >= coding.table.size()) {
            shown.kind = ShownValue::Kind::kNone;
            return shown;
        }
        value = coding.table[static_cast<size_t>(value)];
    }
    shown.number = value * coding.multiplier;
    shown.divisor = coding.scale;
    shown.unit = coding.unit;
    return shown;
}

std::string ShownText(const ShownValue& shown) {
    switch (shown.kind) {
        case ShownValue::Kind::kText:
            return shown.text;
        case ShownValue::Kind::kNone:
            return {};
        case ShownValue::Kind::kNumber:
            break;
    }
    if (shown.number >= INT32_MIN && shown.number <= INT32_MAX) {
        return ScaledValueText(static_cast<int32_t>(shown.number), shown.divisor);
    }
    return std::to_string(shown.number);  // an unsigned half above 2^31 (divisor 1)
}

}  // namespace tessavo::cli
