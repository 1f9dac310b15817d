// One read from the port and everything that follows from it: the bytes go to the recording
// as they are, through the frame scan (counts, CRC failures, command replies) and to the
// live decode, whose output is flushed so that a reader on a pipe sees the items at once.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "decoder_session.h"
#include "frame_scan.h"
#include "recording.h"
#include "transport.h"

namespace tessavo::capture {

class CapturePump {
  public:
    using ReplyHook = std::function<void(std::span<const uint8_t> packet)>;

    // `recorder`, `session` and `out` may be null.
    CapturePump(Transport& port, Recorder* recorder, cli::DecoderSession* session,
                std::ostream* out);

    // Reads what arrives within `timeoutMs` and passes it on. A failed recording write sets
    // `error` (the status is then kGone with that text).
    ReadResult Pump(int timeoutMs, std::string& error);
    // A new connection: the unfinished frame of the last one is dropped here and in the
    // decoder (a lone 0x7E ends it there; its check fails, so it yields no item).
    void Restart();
    // Called with every command reply (any packet but a log packet) whose check verifies.
    void SetReplyHook(ReplyHook hook) { replyHook_ = std::move(hook); }

    const cli::FrameCounts& Frames() const { return scanner_.Counts(); }
    uint64_t Bytes() const { return bytes_; }
    std::chrono::steady_clock::time_point LastData() const { return lastData_; }

  private:
    void OnFrame(std::span<const uint8_t> frame, uint64_t offset);

    Transport& port_;
    Recorder* recorder_;
    cli::DecoderSession* session_;
    std::ostream* out_;
    std::vector<uint8_t> buffer_;
    cli::FrameScanner scanner_;
    ReplyHook replyHook_;
    uint64_t bytes_ = 0;
    uint64_t chunkEnd_ = 0;  // stream position just past the last frame seen
    std::chrono::steady_clock::time_point lastData_;
};

}  // namespace tessavo::capture
