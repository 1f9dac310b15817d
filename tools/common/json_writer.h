// A compact JSON writer into a buffer of its own that is kept from one text to the next: no
// per-value allocation, numbers in the "C" locale whatever the host's. Keys and values are
// written in call order; the writer places the commas and colons.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tessavo::cli {

class JsonWriter {
  public:
    // The text written since the last Clear (the buffer keeps its room).
    std::string_view Text() const { return {buffer_.data(), end_}; }
    void Clear();

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
    void StringOrNull(std::string_view text);  // null for an empty text
    void Raw(std::string_view json);  // an already formatted JSON value
    void Newline() { Put('\n'); }     // between texts of a JSON lines stream

  private:
    void Open(char bracket);
    void Close(char bracket);
    void Separate();

    // Room for `n` more bytes after the text; where they go.
    char* Room(size_t n) {
        if (buffer_.size() - end_ < n) buffer_.resize(2 * buffer_.size() + n);
        return buffer_.data() + end_;
    }
    void Put(std::string_view bytes) {
        std::copy_n(bytes.data(), bytes.size(), Room(bytes.size()));
        end_ += bytes.size();
    }
    void Put(char byte) {
        *Room(1) = byte;
        ++end_;
    }
    void PutRepeated(char byte, size_t count) {
        std::memset(Room(count), byte, count);
        end_ += count;
    }

    std::string buffer_;  // the text is its first end_ bytes
    size_t end_ = 0;
    // Per nesting level: whether the next value needs a comma before it.
    std::array<bool, 16> needComma_{};
    size_t depth_ = 0;
    bool afterKey_ = false;
};

}  // namespace tessavo::cli
