// tessavo-decode's input formats: the gzip, zstd and xz decompressors and the DLF reader, and
// the probes that tell them apart. Byte 0 of the input picks the reader (bits 0-1: none, gzip,
// zstd, xz; bit 2: the result read as DLF records), byte 1 the size of the pieces it is fed
// in (1 + 16 x byte 1). The bytes fed whole and in pieces must give the same output, the same
// verdict and the same record count; nothing may read or write outside its buffer.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "decompressor.h"
#include "dlf_reader.h"

namespace {

using tessavo::cli::Compression;
using tessavo::cli::Decompressor;
using tessavo::cli::DlfReader;

constexpr Compression kCompressions[] = {Compression::kNone, Compression::kGzip, Compression::kZstd,
                                         Compression::kXz};
// A decompressed stream is not read past this, so that a small input expanding a thousand
// times over stays a small run.
constexpr size_t kOutputLimit = size_t{1} << 22;

struct Result {
    bool ok = true;
    std::vector<uint8_t> bytes;
    uint64_t records = 0;
};

// The input through the chosen decompressor, then the DLF reader, `piece` bytes at a time.
Result Run(std::span<const uint8_t> in, Compression compression, bool dlf, size_t piece) {
    Result r;
    std::string error;
    std::unique_ptr<Decompressor> d = Decompressor::Create(compression);
    std::vector<uint8_t> plain;
    for (size_t at = 0; r.ok && at < in.size() && plain.size() < kOutputLimit; at += piece) {
        const auto part = in.subspan(at, std::min(piece, in.size() - at));
        if (d) {
            r.ok = d->Feed(part, plain, error);
        } else {
            plain.insert(plain.end(), part.begin(), part.end());
        }
    }
    const bool whole = plain.size() < kOutputLimit;
    if (r.ok && whole && d) r.ok = d->Finish(plain, error);
    if (plain.size() > kOutputLimit) plain.resize(kOutputLimit);
    if (!dlf) {
        r.bytes = std::move(plain);
        return r;
    }
    DlfReader reader;
    const std::span<const uint8_t> all(plain);
    for (size_t at = 0; r.ok && at < all.size(); at += piece) {
        r.ok = reader.Feed(all.subspan(at, std::min(piece, all.size() - at)), r.bytes, error);
    }
    if (r.ok && whole) r.ok = reader.Finish(error);
    r.records = reader.Records();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const Compression compression = kCompressions[data[0] & 3];
    const bool dlf = (data[0] & 4) != 0;
    const size_t piece = 1 + size_t{16} * data[1];
    const std::span<const uint8_t> in(data + 2, size - 2);
    // The probes read only the head they are given, complete or not.
    tessavo::cli::DetectCompression(in, true);
    tessavo::cli::DetectCompression(in.first(std::min<size_t>(in.size(), 3)), false);
    tessavo::cli::LooksLikeDlf(in, true);
    tessavo::cli::LooksLikeDlf(in, false);

    const Result whole = Run(in, compression, dlf, in.empty() ? 1 : in.size());
    const Result pieces = Run(in, compression, dlf, piece);
    // A verdict may come at a different piece only when the output was cut at the limit.
    if (whole.bytes.size() < kOutputLimit &&
        (whole.ok != pieces.ok ||
         (whole.ok && (whole.bytes != pieces.bytes || whole.records != pieces.records)))) {
        std::fprintf(stderr, "pieces of %zu bytes change the result\n", piece);
        std::abort();
    }
    return 0;
}
