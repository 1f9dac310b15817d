// A compact JSON writer appending to a reused string: no per-value allocation, numbers in
// the "C" locale whatever the host's. Keys and values are written in call order; the
// writer places the commas and colons.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessavo::cli {

class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    // Keys are the tool's own names, written as they are (never escaped).
    JsonWriter& Key(std::string_view key);
    void String(std::string_view text);  // escaped; bytes from 0x80 up pass as they are
    void Int(int64_t value);
    void Double(double value);  // shortest round-trip digits; integral values end in ".0"
    void Null();
    void Raw(std::string_view json);  // an already formatted JSON value

  private:
    void Open(char bracket);
    void Close(char bracket);
    void Separate();

    std::string& out_;
    // Per nesting level: whether the next value needs a comma before it.
    std::array<bool, 16> needComma_{};
    size_t depth_ = 0;
    bool afterKey_ = false;
};

}  // namespace tessavo::cli
