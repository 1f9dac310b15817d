// Bytes kept for a second look: rows of a wide CSV whose columns are known only once the
// whole capture is decoded. Up to a few megabytes stay in memory; beyond that they go to
// an anonymous temporary file (removed by the system when closed), so memory does not grow
// with the capture. Written once, then read back once from the start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tessavo::cli {

class RowSpool {
  public:
    RowSpool() = default;
    RowSpool(const RowSpool&) = delete;
    RowSpool& operator=(const RowSpool&) = delete;
    ~RowSpool();

    void Append(const void* data, size_t size);
    void AppendU32(uint32_t value) { Append(&value, sizeof value); }
    void AppendText(std::string_view text);  // length, then the bytes

    // Reading back, after the last Append: whole values or false at the end (or on a read
    // error of the temporary file).
    void Rewind();
    bool Read(void* data, size_t size);
    bool ReadU32(uint32_t& value) { return Read(&value, sizeof value); }
    bool ReadText(std::string& text);

    // Reading the temporary file back failed: what was read is incomplete.
    bool Failed() const { return failed_; }

  private:
    void Spill();

    std::string memory_;  // bytes not (yet) in the file
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    bool spillDone_ = false;  // no more bytes go to the file
    bool fileDone_ = false;   // reading: the file part is exhausted
    size_t memoryAt_ = 0;     // reading position in `memory_`
};

}  // namespace tessavo::cli
