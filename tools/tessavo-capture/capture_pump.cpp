#include "capture_pump.h"

#include "hdlc_codec.h"
#include "log_config_packets.h"

namespace tessavo::capture {
namespace {

// Reads are as large as a USB bulk transfer or a socket's buffer gives at once.
constexpr size_t kReadSize = 64 * 1024;

}  // namespace

CapturePump::CapturePump(Transport& port, Recorder* recorder, cli::DecoderSession* session,
                         std::ostream* out)
    : port_(port),
      recorder_(recorder),
      session_(session),
      out_(out),
      buffer_(kReadSize),
      scanner_([this](std::span<const uint8_t> frame, uint64_t offset) { OnFrame(frame, offset); }),
      lastData_(std::chrono::steady_clock::now()) {}

void CapturePump::OnFrame(std::span<const uint8_t> frame, uint64_t offset) {
    chunkEnd_ = offset + frame.size();
    // Log packets start with 0x10 (never escaped); anything else may answer a request.
    if (!replyHook_ || frame[0] == cli::kCmdLog) return;
    if (auto packet = cli::OpenHdlcFrame(frame)) replyHook_(*packet);
}

void CapturePump::Restart() {
    scanner_.Finish();
    static constexpr uint8_t kTerminator[] = {0x7E};
    if (session_ != nullptr) session_->FeedStream(kTerminator, port_.Name(), bytes_);
}

ReadResult CapturePump::Pump(int timeoutMs, std::string& error) {
    ReadResult result = port_.Read(buffer_, timeoutMs);
    if (result.status != ReadStatus::kData) return result;
    lastData_ = std::chrono::steady_clock::now();
    std::span<const uint8_t> chunk(buffer_.data(), result.count);
    const uint64_t start = bytes_;
    chunkEnd_ = start;
    bytes_ += chunk.size();
    scanner_.Feed(chunk);
    if (recorder_ != nullptr &&
        !recorder_->Write(chunk, static_cast<size_t>(chunkEnd_ - start), error)) {
        return {ReadStatus::kGone, 0, error};
    }
    if (session_ != nullptr) session_->FeedStream(chunk, port_.Name(), start);
    if (out_ != nullptr) out_->flush();
    return result;
}

}  // namespace tessavo::capture
