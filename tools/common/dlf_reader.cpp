#include "dlf_reader.h"

#include "frame_builder.h"
#include "frame_scan.h"

namespace tessavo::cli {
namespace {

uint16_t LengthAt(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

}  // namespace

bool DlfReader::Feed(std::span<const uint8_t> in, std::vector<uint8_t>& frames,
                     std::string& error) {
    std::vector<uint8_t> packet;
    auto emit = [&](std::span<const uint8_t> record) {
        packet.clear();
        AppendLogPacket(record, packet);
        AppendFrame(packet, frames);
        ++records_;
        offset_ += record.size();
    };
    auto badLength = [&](uint16_t length) {
        error = "DLF record " + std::to_string(records_ + 1) + " at byte " +
                std::to_string(offset_) + " has length " + std::to_string(length) +
                ", less than its " + std::to_string(kDlfRecordHeader) + "-byte header";
        return false;
    };
    if (in.empty()) return true;
    size_t at = 0;
    // Complete a record begun in an earlier call.
    if (!partial_.empty()) {
        if (partial_.size() < 2) partial_.push_back(in[at++]);
        const uint16_t length = LengthAt(partial_, 0);
        if (length < kDlfRecordHeader) return badLength(length);
        const size_t take = std::min(in.size() - at, size_t{length} - partial_.size());
        partial_.insert(partial_.end(), in.begin() + static_cast<long>(at),
                        in.begin() + static_cast<long>(at + take));
        at += take;
        if (partial_.size() < length) return true;
        emit(partial_);
        partial_.clear();
    }
    while (in.size() - at >= 2) {
        const uint16_t length = LengthAt(in, at);
        if (length < kDlfRecordHeader) return badLength(length);
        if (in.size() - at < length) break;
        emit(in.subspan(at, length));
        at += length;
    }
    partial_.assign(in.begin() + static_cast<long>(at), in.end());
    return true;
}

bool DlfReader::Finish(std::string& error) const {
    if (partial_.empty()) return true;
    error = "the last DLF record (at byte " + std::to_string(offset_) +
            ") is cut short: " + std::to_string(partial_.size()) + " bytes";
    return false;
}

bool LooksLikeDlf(std::span<const uint8_t> head, bool complete) {
    size_t at = 0;
    uint64_t records = 0;
    while (head.size() - at >= 2) {
        const uint16_t length = LengthAt(head, at);
        if (length < kDlfRecordHeader || length > kMaxFrameLength) return false;
        if (head.size() - at < length) break;
        at += length;
        ++records;
    }
    if (complete) return records > 0 && at == head.size();
    return records >= kDlfProbeRecords;
}

}  // namespace tessavo::cli
