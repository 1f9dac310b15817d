// One decoder object driven the way a host should drive it.
//
// Stream mode hands the bytes over in chunks with DecodeMsgProc_NoDynamic. After every call
// it collects the items and hands each to the item callback before the next call (the
// item's views live only until then). A positive result means the ring filled: exactly
// that many trailing bytes of the chunk were not consumed, so they are handed over again.
// -1 is a failure the library caught while decoding a frame; the rest of that chunk is
// dropped (the library has dropped its partial frame too) and decoding goes on.
//
// In the raw-packet and whole-frame modes (codes 8 and 10) every call must carry exactly one
// frame, so the caller splits the input into frames and uses FeedFrame.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>

#include "decode_options.h"
#include "report_item_reader.h"

namespace tessavo::cli {

class DecoderSession {
  public:
    using ItemCallback = std::function<void(const ItemView&)>;

    DecoderSession(const CliOptions& options, ItemSelection selection, ItemCallback onItem,
                   std::ostream& err);
    ~DecoderSession();
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;

    // Creates and configures the decoder object; false (with a message) when that fails.
    bool Open();

    // `source` and `offset` (of the chunk's first byte in that source) name the place in
    // a failure message.
    void FeedStream(std::span<const uint8_t> bytes, const std::string& source, uint64_t offset);
    void FeedFrame(std::span<const uint8_t> frameWithTerminator, const std::string& source,
                   uint64_t offset);

    // End of the input: hands the library one 0x7E byte at a time, collecting after each,
    // until it answers that no kept byte is left (a stream call stops before a frame whose
    // items do not fit the ring, so bytes may still wait inside the object).
    void FinishStream();

    // With DTLog on, the library renders a packet's text into the item after it, so the last
    // packet's text has no item yet. This feeds one log packet that publishes nothing and
    // returns the DTLog block of its item (not handed to the item callback): the last
    // packet's text, valid until the next decode call. Empty when DTLog is off or no item
    // was decoded. Call it after FinishStream, once: the extra packet ends the stream.
    std::span<const uint8_t> TrailingDtLog();

    uint64_t Items() const { return items_; }
    uint64_t Failures() const { return failures_; }

  private:
    void Collect();
    void Configure(int32_t code);
    HostTime CurrentHostTime() const;
    void ReportFailure(const std::string& source, uint64_t offset);

    const CliOptions& options_;
    ItemSelection selection_;
    ItemCallback onItem_;
    std::ostream& err_;
    void* handle_ = nullptr;
    ItemView item_;
    uint64_t items_ = 0;
    uint64_t failures_ = 0;
};

}  // namespace tessavo::cli
