#include "input_decoder.h"

#include <algorithm>

#include "crc16_x25.h"

namespace tessavo::cli {
namespace {

// Whether a 0x7E-terminated frame in `head` passes its CRC: then the stream is HDLC.
bool HasGoodFrame(std::span<const uint8_t> head) {
    std::vector<uint8_t> frame;
    bool escaped = false;
    for (uint8_t byte : head) {
        if (byte == 0x7E) {
            if (frame.size() > 2 && CrcRegister(frame) == kCrcGoodResidue) return true;
            frame.clear();
            escaped = false;
        } else if (byte == 0x7D) {
            escaped = true;
        } else {
            frame.push_back(escaped ? byte ^ 0x20 : byte);
            escaped = false;
        }
    }
    return false;
}

}  // namespace

bool InputDecoder::Feed(std::span<const uint8_t> in, std::span<const uint8_t>& stream,
                        std::string& error) {
    stream = {};
    if (compressionKnown_) {
        raw_.clear();  // handed out by the call before
        return Pass(in, false, stream, error);
    }
    raw_.insert(raw_.end(), in.begin(), in.end());
    std::optional<Compression> found = DetectCompression(raw_, false);
    if (!found) return true;
    StartDecompression(*found);
    return Pass(raw_, false, stream, error);
}

bool InputDecoder::Finish(std::span<const uint8_t>& stream, std::string& error) {
    stream = {};
    if (compressionKnown_) {
        raw_.clear();
        return Pass({}, true, stream, error);
    }
    StartDecompression(DetectCompression(raw_, true).value_or(Compression::kNone));
    return Pass(raw_, true, stream, error);
}

void InputDecoder::StartDecompression(Compression compression) {
    compressionKnown_ = true;
    compression_ = compression;
    decompressor_ = Decompressor::Create(compression);
}

bool InputDecoder::Pass(std::span<const uint8_t> bytes, bool last, std::span<const uint8_t>& stream,
                        std::string& error) {
    if (!decompressor_) return Container(bytes, last, stream, error);
    decompressed_.clear();
    // What a damaged or cut stream held before the damage is handed out all the same.
    std::string problem;
    bool good = decompressor_->Feed(bytes, decompressed_, problem);
    if (good && last) good = decompressor_->Finish(decompressed_, problem);
    const bool read = Container(decompressed_, last || !good, stream, error);
    if (!good) error = problem;
    return good && read;
}

bool InputDecoder::Container(std::span<const uint8_t> plain, bool last,
                             std::span<const uint8_t>& stream, std::string& error) {
    held_.clear();
    if (!containerKnown_ && format_ != InputFormat::kAuto) {
        containerKnown_ = true;
        dlf_ = format_ == InputFormat::kDlf;
    } else if (!containerKnown_) {
        probe_.insert(probe_.end(), plain.begin(), plain.end());
        const std::span<const uint8_t> window(probe_.data(),
                                              std::min(probe_.size(), kFormatProbeBytes));
        // A live stream is not held back: one good frame settles HDLC, a chain of records
        // DLF; only input that is neither waits for the whole probe.
        const bool frame = HasGoodFrame(window);
        const bool whole = last || probe_.size() >= kFormatProbeBytes;
        // Before the whole probe, a chain of records counts only where no frame may be
        // unfinished (no 0x7E yet).
        const bool records =
            !frame && LooksLikeDlf(window, last && probe_.size() <= kFormatProbeBytes) &&
            (whole || std::find(window.begin(), window.end(), uint8_t{0x7E}) == window.end());
        if (!frame && !records && !whole) return true;
        containerKnown_ = true;
        dlf_ = records;
        held_.swap(probe_);
        plain = held_;
    }
    if (!dlf_) {
        stream = plain;
        return true;
    }
    frames_.clear();
    const bool fed = dlfReader_.Feed(plain, frames_, error);
    stream = frames_;
    return fed && (!last || dlfReader_.Finish(error));
}

std::string InputDecoder::Description() const {
    std::string text;
    if (compression_ != Compression::kNone) {
        text = std::string(CompressionName(compression_)) + "-compressed ";
    }
    if (dlf_) return text + "DLF, " + std::to_string(dlfReader_.Records()) + " records";
    return text + "raw HDLC";
}

}  // namespace tessavo::cli
