#include "json_writer.h"

#include <charconv>
#include <cmath>

namespace tessavo::cli {
namespace {

// Bytes a JSON string cannot hold as they are: controls, the quote and the backslash.
constexpr auto kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (size_t byte = 0; byte < table.size(); ++byte) {
        table[byte] = byte < 0x20 || byte == '"' || byte == '\\';
    }
    return table;
}();

}  // namespace

void JsonWriter::Clear() {
    end_ = 0;
    needComma_ = {};
    depth_ = 0;
    afterKey_ = false;
}

void JsonWriter::Separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (needComma_[depth_]) Put(',');
    needComma_[depth_] = true;
}

void JsonWriter::Open(char bracket) {
    Separate();
    Put(bracket);
    if (depth_ + 1 < needComma_.size()) ++depth_;
    needComma_[depth_] = false;
}

void JsonWriter::Close(char bracket) {
    Put(bracket);
    if (depth_ > 0) --depth_;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Separate();
    char* at = Room(key.size() + 3);
    at[0] = '"';
    std::copy_n(key.data(), key.size(), at + 1);
    at[key.size() + 1] = '"';
    at[key.size() + 2] = ':';
    end_ += key.size() + 3;
    afterKey_ = true;
    return *this;
}

void JsonWriter::String(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    Separate();
    // Most texts need no escape: they are copied whole with their quotes.
    size_t clean = 0;
    while (clean < text.size() && !kNeedsEscape[static_cast<unsigned char>(text[clean])]) ++clean;
    if (clean == text.size()) {
        char* at = Room(text.size() + 2);
        at[0] = '"';
        std::copy_n(text.data(), text.size(), at + 1);
        at[text.size() + 1] = '"';
        end_ += text.size() + 2;
        return;
    }
    Put('"');
    // Runs that need no escape are copied whole.
    size_t run = 0;
    for (size_t i = clean; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kNeedsEscape[byte]) continue;
        Put(text.substr(run, i - run));
        run = i + 1;
        switch (byte) {
            case '"':
                Put("\\\"");
                break;
            case '\\':
                Put("\\\\");
                break;
            case '\n':
                Put("\\n");
                break;
            case '\r':
                Put("\\r");
                break;
            case '\t':
                Put("\\t");
                break;
            case '\b':
                Put("\\b");
                break;
            case '\f':
                Put("\\f");
                break;
            default:
                Put("\\u00");
                Put(kHex[byte >> 4]);
                Put(kHex[byte & 0x0F]);
        }
    }
    Put(text.substr(run));
    Put('"');
}

void JsonWriter::Int(int64_t value) {
    Separate();
    char text[24];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    Put(std::string_view(text, static_cast<size_t>(end - text)));
}

void JsonWriter::Null() {
    Separate();
    Put("null");
}

void JsonWriter::StringOrNull(std::string_view text) {
    if (text.empty()) {
        Null();
    } else {
        String(text);
    }
}

void JsonWriter::Raw(std::string_view json) {
    Separate();
    Put(json);
}

void JsonWriter::Double(double value) {
    Separate();
    if (!std::isfinite(value)) {
        Put("null");
        return;
    }
    // Shortest digits in scientific form ("-1.2345e+02"), then laid out as plain decimals
    // when the point falls within 15 digits left and 4 right of the first digit, as other
    // JSON writers do, so 100.0 stays recognisably a real number.
    char sci[40];
    auto [end, ec] = std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific);
    std::string_view text(sci, static_cast<size_t>(end - sci));
    if (text.front() == '-') {
        Put('-');
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
        Put(text);  // "1e-05", "1.5e+20"
    } else if (point >= n) {
        Put({digits, count});
        PutRepeated('0', static_cast<size_t>(point - n));
        Put(".0");
    } else if (point > 0) {
        Put({digits, static_cast<size_t>(point)});
        Put('.');
        Put({digits + point, count - static_cast<size_t>(point)});
    } else {
        Put("0.");
        PutRepeated('0', static_cast<size_t>(-point));
        Put({digits, count});
    }
}

}  // namespace tessavo::cli
