#include "decoder_session.h"

#include <array>
#include <ctime>
#include <vector>

#include "crc16_x25.h"

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

void DecoderSession::FinishStream() {
    static constexpr uint8_t kFlag = 0x7E;
    for (;;) {
        HostTime time = CurrentHostTime();
        int32_t result =
            DecodeMsgProc_NoDynamic(handle_, &kFlag, 1, time.seconds, time.microseconds);
        uint64_t before = items_;
        Collect();
        // A positive answer with nothing collected would repeat forever.
        if (result <= 0 || items_ == before) return;
    }
}

namespace {

// Log packet 0x1064 with no record: the library accepts it (it is parsed and publishes
// nothing), so it yields an item, and it is not sampled, so it is never throttled away.
std::vector<uint8_t> QuietLogFrame() {
    constexpr uint16_t kQuietLogCode = 0x1064;
    constexpr uint8_t kLength = 12;  // the log header: length, code, 8-byte time stamp
    std::vector<uint8_t> packet = {
        0x10, 0x00, kLength, 0x00, kLength, 0x00, kQuietLogCode & 0xFF, kQuietLogCode >> 8};
    packet.resize(packet.size() + 8, 0);  // time stamp 0
    uint16_t crc = static_cast<uint16_t>(CrcRegister(packet) ^ 0xFFFF);
    packet.push_back(static_cast<uint8_t>(crc & 0xFF));
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    std::vector<uint8_t> frame;
    for (uint8_t byte : packet) {
        if (byte == 0x7E || byte == 0x7D) {
            frame.push_back(0x7D);
            frame.push_back(byte ^ 0x20);
        } else {
            frame.push_back(byte);
        }
    }
    frame.push_back(0x7E);
    return frame;
}

}  // namespace

std::span<const uint8_t> DecoderSession::TrailingDtLog() {
    if (!options_.dtlog || items_ == 0) return {};
    const std::vector<uint8_t> frame = QuietLogFrame();
    size_t length = frame.size();
    if (options_.wholeFrames && !options_.rawPackets) --length;  // as FeedFrame
    HostTime time = CurrentHostTime();
    DecodeMsgProc_NoDynamic(handle_, frame.data(), static_cast<int32_t>(length), time.seconds,
                            time.microseconds);
    int32_t count = GetReportItemCountProc(handle_);
    if (count <= 0) return {};
    return BlockBytes(GetReportItemDTLogBinary(handle_, count - 1));
}

void DecoderSession::Collect() {
    int32_t count = GetReportItemCountProc(handle_);
    for (int32_t i = 0; i < count; ++i) {
        ReadReportItem(handle_, i, options_.moduleType, selection_, item_);
        item_.index = static_cast<int64_t>(items_);
        ++items_;
        if (onItem_) onItem_(item_);
    }
}

void DecoderSession::ReportFailure(const std::string& source, uint64_t offset) {
    ++failures_;
    err_ << "tessavo-decode: " << source << ": the library failed to decode a frame in the "
         << "chunk at byte " << offset << "; going on with the next chunk\n";
}

}  // namespace tessavo::cli
