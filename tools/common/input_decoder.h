// What an input holds, found from its content (never its name), turned into the DIAG byte
// stream the library reads: compressed captures (gzip, zstd, xz) are decompressed as they
// stream, DLF records rebuilt into frames, raw HDLC streams (also with a header before the
// first frame) passed on as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "decompressor.h"
#include "dlf_reader.h"

namespace tessavo::cli {

enum class InputFormat { kAuto, kHdlc, kDlf };

// Bytes of the (decompressed) stream looked at to tell DLF from HDLC.
inline constexpr size_t kFormatProbeBytes = 64 * 1024;

class InputDecoder {
  public:
    explicit InputDecoder(InputFormat format) : format_(format) {}

    // The DIAG stream that `in` yields, valid until the next call; empty while the start of
    // the input is still being looked at. False with `error` on data that cannot be read.
    bool Feed(std::span<const uint8_t> in, std::span<const uint8_t>& stream, std::string& error);
    // At the end of the input: what is left of the stream; false with `error` when the input
    // was cut short (what it held before the cut has been handed out).
    bool Finish(std::span<const uint8_t>& stream, std::string& error);

    // "gzip-compressed DLF, 1234 records", "raw HDLC": what was read.
    std::string Description() const;

  private:
    void StartDecompression(Compression compression);
    // Decompresses `bytes` (when compressed) and hands the result to Container.
    bool Pass(std::span<const uint8_t> bytes, bool last, std::span<const uint8_t>& stream,
              std::string& error);
    bool Container(std::span<const uint8_t> plain, bool last, std::span<const uint8_t>& stream,
                   std::string& error);

    InputFormat format_;
    bool compressionKnown_ = false;
    Compression compression_ = Compression::kNone;
    std::unique_ptr<Decompressor> decompressor_;
    std::vector<uint8_t> raw_;           // the input's first bytes, until the compression is known
    std::vector<uint8_t> decompressed_;  // reused
    bool containerKnown_ = false;
    bool dlf_ = false;
    std::vector<uint8_t> probe_;  // the stream's first bytes, until DLF or HDLC is known
    std::vector<uint8_t> held_;   // the probe once handed out
    DlfReader dlfReader_;
    std::vector<uint8_t> frames_;  // reused
};

}  // namespace tessavo::cli
