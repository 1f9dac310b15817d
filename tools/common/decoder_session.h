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
//
// At the end of the input, Finish hands over one 0x7E byte and collects, again while the
// library answers a positive count: bytes it still kept (a ring that filled) are decoded.
// With DTLog text on, the text of the last packet would only come with an item after it, so
// Finish then feeds one empty log packet (log code 0x107D, time stamp 0: it yields an item,
// sets nothing and leaves the item time) and hands that item over marked `dtlogOnly`: only
// its DTLog block, the last packet's text, is real.
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
    // Once, after the last input byte (see above).
    void Finish();

    uint64_t Items() const { return items_; }
    uint64_t Failures() const { return failures_; }

  private:
    // Items collected; `dtlogOnly` marks them so and leaves them out of the count.
    int32_t Collect(bool dtlogOnly = false);
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
