#include "decompressor.h"

#if defined(TESSAVO_HAVE_COMPRESSION)
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#endif

#include <algorithm>
#include <array>
#include <utility>

namespace tessavo::cli {
namespace {

constexpr std::array<uint8_t, 2> kGzipMagic = {0x1F, 0x8B};
constexpr std::array<uint8_t, 4> kZstdMagic = {0x28, 0xB5, 0x2F, 0xFD};
constexpr std::array<uint8_t, 6> kXzMagic = {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00};

template <size_t N>
bool StartsWith(std::span<const uint8_t> head, const std::array<uint8_t, N>& magic) {
    return head.size() >= N && std::equal(magic.begin(), magic.end(), head.begin());
}

#if defined(TESSAVO_HAVE_COMPRESSION)
constexpr size_t kOutputStep = 256 * 1024;

// Room for `step` more bytes at the end of `out`; returns where they start.
uint8_t* Grow(std::vector<uint8_t>& out, size_t& used, size_t step = kOutputStep) {
    used = out.size();
    out.resize(used + step);
    return out.data() + used;
}

class GzipDecompressor : public Decompressor {
  public:
    GzipDecompressor() { ok_ = inflateInit2(&stream_, 15 + 16) == Z_OK; }
    ~GzipDecompressor() override { inflateEnd(&stream_); }

    bool Feed(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string& error) override {
        if (!ok_) return Fail("zlib could not start", error);
        stream_.next_in = const_cast<Bytef*>(in.data());
        stream_.avail_in = static_cast<uInt>(in.size());
        while (stream_.avail_in > 0) {
            if (ended_) {
                // Another member follows (concatenated gzip files).
                inflateReset(&stream_);
                ended_ = false;
            }
            size_t used = 0;
            stream_.next_out = Grow(out, used);
            stream_.avail_out = static_cast<uInt>(kOutputStep);
            const int result = inflate(&stream_, Z_NO_FLUSH);
            out.resize(out.size() - stream_.avail_out);
            if (result == Z_STREAM_END) {
                ended_ = true;
            } else if (result != Z_OK && result != Z_BUF_ERROR) {
                return Fail(stream_.msg != nullptr ? stream_.msg : "corrupt data", error);
            }
        }
        started_ = true;
        return true;
    }

    bool Finish(std::vector<uint8_t>&, std::string& error) override {
        if (started_ && !ended_) return Fail("the stream ends early (cut short?)", error);
        return true;
    }

  private:
    static bool Fail(const std::string& why, std::string& error) {
        error = "gzip: " + why;
        return false;
    }

    z_stream stream_{};
    bool ok_ = false;
    bool started_ = false;
    bool ended_ = false;
};

class ZstdDecompressor : public Decompressor {
  public:
    ZstdDecompressor() : context_(ZSTD_createDCtx()) {}
    ~ZstdDecompressor() override { ZSTD_freeDCtx(context_); }

    bool Feed(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string& error) override {
        if (context_ == nullptr) return Fail("libzstd could not start", error);
        // With no input the decoder would start on a next frame and ask for its header.
        if (in.empty()) return true;
        if (held_.empty()) return Decode(in, out, error, true);
        held_.insert(held_.end(), in.begin(), in.end());
        if (held_.size() < kFrameHeadBytes) return true;
        const std::vector<uint8_t> head = std::exchange(held_, {});
        return Decode(head, out, error, true);
    }

    bool Finish(std::vector<uint8_t>& out, std::string& error) override {
        if (!held_.empty() && !Decode(std::exchange(held_, {}), out, error, false)) return false;
        // 0 once a frame is complete and flushed.
        if (pending_ != 0) return Fail("the stream ends early (cut short?)", error);
        return true;
    }

  private:
    static bool Fail(const std::string& why, std::string& error) {
        error = "zstd: " + why;
        return false;
    }

    // A frame's first bytes go to the decoder in one piece with its whole header: given fewer,
    // libzstd takes the magic number of an older format's frame, which it reads when whole,
    // for a bad one. So at a frame's start fewer bytes than the longest header are held back
    // (`hold`) until more come or the input ends, and the result does not depend on how the
    // input is cut.
    static constexpr size_t kFrameHeadBytes = 18;

    // Until the input is used and no output is pending (a full output buffer may hold more).
    bool Decode(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string& error,
                bool hold) {
        ZSTD_inBuffer input{in.data(), in.size(), 0};
        for (;;) {
            // 0: the last frame is complete and flushed, the next starts here.
            if (hold && pending_ == 0 && input.size - input.pos < kFrameHeadBytes) {
                held_.assign(in.begin() + static_cast<std::ptrdiff_t>(input.pos), in.end());
                return true;
            }
            size_t used = 0;
            uint8_t* at = Grow(out, used);
            ZSTD_outBuffer output{at, kOutputStep, 0};
            pending_ = ZSTD_decompressStream(context_, &output, &input);
            out.resize(used + output.pos);
            if (ZSTD_isError(pending_)) return Fail(ZSTD_getErrorName(pending_), error);
            if (input.pos == input.size && output.pos < kOutputStep) return true;
        }
    }

    ZSTD_DCtx* context_;
    size_t pending_ = 0;
    std::vector<uint8_t> held_;  // a frame's first bytes, fewer than kFrameHeadBytes
};

class XzDecompressor : public Decompressor {
  public:
    XzDecompressor() {
        ok_ = lzma_stream_decoder(&stream_, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
    }
    ~XzDecompressor() override { lzma_end(&stream_); }

    bool Feed(std::span<const uint8_t> in, std::vector<uint8_t>& out, std::string& error) override {
        if (!ok_) return Fail("liblzma could not start", error);
        stream_.next_in = in.data();
        stream_.avail_in = in.size();
        return Run(LZMA_RUN, out, error);
    }

    bool Finish(std::vector<uint8_t>& out, std::string& error) override {
        if (!ok_) return true;
        stream_.next_in = nullptr;
        stream_.avail_in = 0;
        return Run(LZMA_FINISH, out, error);
    }

  private:
    bool Run(lzma_action action, std::vector<uint8_t>& out, std::string& error) {
        for (;;) {
            size_t used = 0;
            stream_.next_out = Grow(out, used);
            stream_.avail_out = kOutputStep;
            const lzma_ret result = lzma_code(&stream_, action);
            out.resize(out.size() - stream_.avail_out);
            if (result == LZMA_STREAM_END) return true;
            if (result == LZMA_BUF_ERROR && action == LZMA_FINISH) {
                return Fail("the stream ends early (cut short?)", error);
            }
            if (result != LZMA_OK && result != LZMA_BUF_ERROR) {
                return Fail(result == LZMA_DATA_ERROR || result == LZMA_FORMAT_ERROR
                                ? "corrupt data"
                                : "cannot decompress",
                            error);
            }
            if (stream_.avail_in == 0 && stream_.avail_out != 0 && action == LZMA_RUN) {
                return true;
            }
            if (result == LZMA_BUF_ERROR) return true;  // no progress possible without input
        }
    }

    static bool Fail(const std::string& why, std::string& error) {
        error = "xz: " + why;
        return false;
    }

    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ok_ = false;
};

#else
// A build without the compression libraries (a cross build for Windows) says so.
class UnavailableDecompressor : public Decompressor {
  public:
    explicit UnavailableDecompressor(Compression compression) : compression_(compression) {}
    bool Feed(std::span<const uint8_t>, std::vector<uint8_t>&, std::string& error) override {
        error = std::string(CompressionName(compression_)) +
                " input is not supported by this build of the tool";
        return false;
    }
    bool Finish(std::vector<uint8_t>& out, std::string& error) override {
        return Feed({}, out, error);
    }

  private:
    Compression compression_;
};
#endif

}  // namespace

std::optional<Compression> DetectCompression(std::span<const uint8_t> head, bool complete) {
    if (StartsWith(head, kGzipMagic)) return Compression::kGzip;
    if (StartsWith(head, kZstdMagic)) return Compression::kZstd;
    if (StartsWith(head, kXzMagic)) return Compression::kXz;
    if (!complete && head.size() < kCompressionMagicLength) {
        // A prefix of a magic number may still become one.
        auto prefixOf = [&](std::span<const uint8_t> magic) {
            return std::equal(head.begin(), head.end(), magic.begin());
        };
        if ((head.size() < kGzipMagic.size() && prefixOf(kGzipMagic)) ||
            (head.size() < kZstdMagic.size() && prefixOf(kZstdMagic)) || prefixOf(kXzMagic)) {
            return std::nullopt;
        }
    }
    return Compression::kNone;
}

std::string_view CompressionName(Compression compression) {
    switch (compression) {
        case Compression::kGzip:
            return "gzip";
        case Compression::kZstd:
            return "zstd";
        case Compression::kXz:
            return "xz";
        case Compression::kNone:
            break;
    }
    return "none";
}

std::unique_ptr<Decompressor> Decompressor::Create(Compression compression) {
#if !defined(TESSAVO_HAVE_COMPRESSION)
    if (compression != Compression::kNone) return std::make_unique<UnavailableDecompressor>(compression);
    return nullptr;
#else
    switch (compression) {
        case Compression::kGzip:
            return std::make_unique<GzipDecompressor>();
        case Compression::kZstd:
            return std::make_unique<ZstdDecompressor>();
        case Compression::kXz:
            return std::make_unique<XzDecompressor>();
        case Compression::kNone:
            break;
    }
    return nullptr;
#endif
}

}  // namespace tessavo::cli
