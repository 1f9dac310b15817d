// Compressed captures decompressed as they stream: gzip (zlib), zstd (libzstd) and xz
// (liblzma), each also as several concatenated streams.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessavo::cli {

enum class Compression { kNone, kGzip, kZstd, kXz };

// The longest magic number: xz's six bytes.
inline constexpr size_t kCompressionMagicLength = 6;

// The compression a stream starts with, from its first bytes; nullopt while fewer bytes than
// a magic number are known and `complete` is false.
std::optional<Compression> DetectCompression(std::span<const uint8_t> head, bool complete);
std::string_view CompressionName(Compression compression);  // "gzip", "zstd", "xz", "none"

class Decompressor {
  public:
    // Null for kNone.
    static std::unique_ptr<Decompressor> Create(Compression compression);
    virtual ~Decompressor() = default;

    // Appends what `in` decompresses to; false with `error` on data that is not of the format.
    virtual bool Feed(std::span<const uint8_t> in, std::vector<uint8_t>& out,
                      std::string& error) = 0;
    // At the end of the input: appends what is left; false with `error` when the last stream
    // was cut short.
    virtual bool Finish(std::vector<uint8_t>& out, std::string& error) = 0;
};

}  // namespace tessavo::cli
