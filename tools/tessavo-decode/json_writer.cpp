#include "json_writer.h"

#include <charconv>
#include <cmath>

namespace tessavo::cli {

void JsonWriter::Separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (needComma_[depth_]) out_ += ',';
    needComma_[depth_] = true;
}

void JsonWriter::Open(char bracket) {
    Separate();
    out_ += bracket;
    if (depth_ + 1 < needComma_.size()) ++depth_;
    needComma_[depth_] = false;
}

void JsonWriter::Close(char bracket) {
    out_ += bracket;
    if (depth_ > 0) --depth_;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Separate();
    out_ += '"';
    out_ += key;
    out_ += "\":";
    afterKey_ = true;
    return *this;
}

void JsonWriter::String(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    Separate();
    out_ += '"';
    // Runs that need no escape are copied whole.
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out_.append(text.data() + run, i - run);
        run = i + 1;
        switch (byte) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            case '\b':
                out_ += "\\b";
                break;
            case '\f':
                out_ += "\\f";
                break;
            default:
                out_ += "\\u00";
                out_ += kHex[byte >> 4];
                out_ += kHex[byte & 0x0F];
        }
    }
    out_.append(text.data() + run, text.size() - run);
    out_ += '"';
}

void JsonWriter::Int(int64_t value) {
    Separate();
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out_.append(text, end);
}

void JsonWriter::Null() {
    Separate();
    out_ += "null";
}

void JsonWriter::Raw(std::string_view json) {
    Separate();
    out_ += json;
}

void JsonWriter::Double(double value) {
    Separate();
    if (!std::isfinite(value)) {
        out_ += "null";
        return;
    }
    // Shortest digits in scientific form ("-1.2345e+02"), then laid out as plain decimals
    // when the point falls within 15 digits left and 4 right of the first digit, as other
    // JSON writers do, so 100.0 stays recognisably a real number.
    char sci[40];
    auto [end, ec] = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
    std::string_view text(sci, static_cast<size_t>(end - sci));
    if (text.front() == '-') {
        out_ += '-';
        text.remove_prefix(1);
    }
    const size_t e = text.find('e');
    int exponent = 0;
    const char* exponentAt = text.data() + e + 1;
    if (*exponentAt == '+') ++exponentAt;
    std::from_chars(exponentAt, text.data() + text.size(), exponent);
    std::string_view mantissa = text.substr(0, e);
    char digits[24];
    size_t count = 0;
    for (char c : mantissa) {
        if (c != '.') digits[count++] = c;
    }
    const int point = exponent + 1;  // digits before the decimal point
    const int n = static_cast<int>(count);
    if (point > 15 || point <= -4) {
        out_ += text;  // "1e-05", "1.5e+20"
    } else if (point >= n) {
        out_.append(digits, count);
        out_.append(static_cast<size_t>(point - n), '0');
        out_ += ".0";
    } else if (point > 0) {
        out_.append(digits, static_cast<size_t>(point));
        out_ += '.';
        out_.append(digits + point, count - static_cast<size_t>(point));
    } else {
        out_ += "0.";
        out_.append(static_cast<size_t>(-point), '0');
        out_.append(digits, count);
    }
}

}  // namespace tessavo::cli
