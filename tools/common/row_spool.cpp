#include "row_spool.h"

#include <cstring>

namespace tessavo::cli {
namespace {

// Memory kept before spilling to the temporary file.
constexpr size_t kMemoryLimit = size_t{8} << 20;

}  // namespace

RowSpool::~RowSpool() {
    if (file_ != nullptr) std::fclose(file_);
}

void RowSpool::Append(const void* data, size_t size) {
    memory_.append(static_cast<const char*>(data), size);
    if (memory_.size() >= kMemoryLimit) Spill();
}

void RowSpool::AppendText(std::string_view text) {
    AppendU32(static_cast<uint32_t>(text.size()));
    Append(text.data(), text.size());
}

void RowSpool::Spill() {
    // Without a temporary file (none could be made, or it filled up) the bytes stay in
    // memory: costlier, never lost.
    if (spillDone_) return;
    if (file_ == nullptr) file_ = std::tmpfile();
    if (file_ == nullptr) {
        spillDone_ = true;
        return;
    }
    size_t written = std::fwrite(memory_.data(), 1, memory_.size(), file_);
    memory_.erase(0, written);
    if (!memory_.empty()) spillDone_ = true;
}

void RowSpool::Rewind() {
    memoryAt_ = 0;
    fileDone_ = file_ == nullptr;
    if (file_ != nullptr && (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0)) {
        failed_ = true;
        fileDone_ = true;
    }
}

bool RowSpool::Read(void* data, size_t size) {
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        if (!fileDone_) {
            size_t got = std::fread(out, 1, size, file_);
            out += got;
            size -= got;
            if (size > 0) {
                if (std::ferror(file_)) failed_ = true;
                fileDone_ = true;
            }
            continue;
        }
        if (memory_.size() - memoryAt_ < size) return false;
        std::memcpy(out, memory_.data() + memoryAt_, size);
        memoryAt_ += size;
        size = 0;
    }
    return true;
}

bool RowSpool::ReadText(std::string& text) {
    uint32_t length = 0;
    if (!ReadU32(length)) return false;
    text.resize(length);
    return Read(text.data(), length);
}

}  // namespace tessavo::cli
