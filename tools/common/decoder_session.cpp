#include "decoder_session.h"

#include <ctime>
#include <vector>

#include "frame_builder.h"

namespace tessavo::cli {

DecoderSession::DecoderSession(const CliOptions& options, ItemSelection selection,
                               ItemCallback onItem, std::ostream& err)
    : options_(options), selection_(selection), onItem_(std::move(onItem)), err_(err) {}

DecoderSession::~DecoderSession() {
    if (handle_ != nullptr) FreeDecoderObjectProc(&handle_);
}

bool DecoderSession::Open() {
    handle_ = CreateDecoderObjectProc(options_.moduleType);
    if (handle_ == nullptr) {
        err_ << "tessavo-decode: the library could not create a decoder object for module type "
             << std::hex << "0x" << options_.moduleType << std::dec << '\n';
        return false;
    }
    if (options_.reencode) Configure(TESSAVO_CFG_REENCODE_ON);
    if (options_.rawPackets) Configure(TESSAVO_CFG_WHOLE_BUFFER_ON);
    if (options_.wholeFrames) Configure(TESSAVO_CFG_WHOLE_FRAME_ON);
    if (options_.outFile) Configure(TESSAVO_CFG_OUTFILE_ON);
    if (options_.dtlog) Configure(TESSAVO_CFG_DTLOG_ON);
    return true;
}

void DecoderSession::Configure(int32_t code) {
    if (!SetDecoderConfiguration(handle_, code)) {
        err_ << "tessavo-decode: warning: configuration code " << code << " was refused\n";
    }
}

HostTime DecoderSession::CurrentHostTime() const {
    if (!options_.hostTime.now) return options_.hostTime;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    HostTime time;
    // The library's host time is 32-bit; the narrowing is deliberate.
    time.seconds = static_cast<int32_t>(now.tv_sec);
    time.microseconds = static_cast<int32_t>(now.tv_nsec / 1000);
    return time;
}

void DecoderSession::FeedStream(std::span<const uint8_t> bytes, const std::string& source,
                                uint64_t offset) {
    // The library takes a 32-bit length; chunks are at most 16 MiB (cli_options.cpp).
    size_t done = 0;
    while (done < bytes.size()) {
        HostTime time = CurrentHostTime();
        size_t length = bytes.size() - done;
        int32_t result =
            DecodeMsgProc_NoDynamic(handle_, bytes.data() + done, static_cast<int32_t>(length),
                                    time.seconds, time.microseconds);
        Collect();
        if (result == -1) {
            ReportFailure(source, offset + done);
            return;
        }
        // Anything but a count of trailing bytes that leaves progress is taken as "all done":
        // it cannot be re-fed without looping forever.
        if (result <= 0 || static_cast<size_t>(result) >= length) return;
        done += length - static_cast<size_t>(result);
    }
}

void DecoderSession::FeedFrame(std::span<const uint8_t> frameWithTerminator,
                               const std::string& source, uint64_t offset) {
    if (frameWithTerminator.empty()) return;
    size_t length = frameWithTerminator.size();
    // Whole-frame mode reads one byte past the given length: its 0x7E must be there and not
    // counted. Raw-packet mode takes precedence in the library when both are on.
    if (options_.wholeFrames && !options_.rawPackets) --length;
    if (length == 0) return;
    HostTime time = CurrentHostTime();
    int32_t result =
        DecodeMsgProc_NoDynamic(handle_, frameWithTerminator.data(), static_cast<int32_t>(length),
                                time.seconds, time.microseconds);
    Collect();
    if (result == -1) ReportFailure(source, offset);
}

int32_t DecoderSession::Collect(bool dtlogOnly) {
    int32_t count = GetReportItemCountProc(handle_);
    for (int32_t i = 0; i < count; ++i) {
        ReadReportItem(handle_, i, options_.moduleType, selection_, item_);
        item_.index = static_cast<int64_t>(items_);
        item_.dtlogOnly = dtlogOnly;
        if (!dtlogOnly) ++items_;
        if (onItem_) onItem_(item_);
    }
    return count;
}

void DecoderSession::Finish() {
    const bool frameByFrame = options_.rawPackets || options_.wholeFrames;
    if (!frameByFrame) {
        // Each round decodes what the ring had room for; a round that yields nothing while
        // the library still answers a count would never end, so it stops there.
        const uint8_t flag = 0x7E;
        for (;;) {
            HostTime time = CurrentHostTime();
            int32_t result =
                DecodeMsgProc_NoDynamic(handle_, &flag, 1, time.seconds, time.microseconds);
            if (Collect() == 0 || result <= 0) break;
        }
    }
    if (!options_.dtlog || items_ == 0) return;
    constexpr uint16_t kEmptyLogCode = 0x107D;  // a log code the library takes, with no decoder
    std::vector<uint8_t> packet;
    AppendLogPacket(EmptyLogRecord(kEmptyLogCode), packet);
    std::vector<uint8_t> frame;
    AppendFrame(packet, frame);
    size_t length = frame.size();
    // As FeedFrame: whole-frame mode reads the closing 0x7E without counting it.
    if (options_.wholeFrames && !options_.rawPackets) --length;
    HostTime time = CurrentHostTime();
    DecodeMsgProc_NoDynamic(handle_, frame.data(), static_cast<int32_t>(length), time.seconds,
                            time.microseconds);
    Collect(true);
}

void DecoderSession::ReportFailure(const std::string& source, uint64_t offset) {
    ++failures_;
    err_ << "tessavo-decode: " << source << ": the library failed to decode a frame in the "
         << "chunk at byte " << offset << "; going on with the next chunk\n";
}

}  // namespace tessavo::cli
