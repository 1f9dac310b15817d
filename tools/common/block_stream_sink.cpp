#include "block_stream_sink.h"

namespace tessavo::cli {

void BlockStreamSink::Consume(const ItemView& item) {
    std::span<const uint8_t> bytes;
    switch (block_) {
        case ItemBlock::kDtlog:
            bytes = item.dtlog;
            break;
        case ItemBlock::kOutFile:
            bytes = item.outFile;
            break;
        case ItemBlock::kCompact:
            bytes = item.compact;
            break;
    }
    out_.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void BlockStreamSink::Finish(const RunStats&) {
    out_.flush();
}

}  // namespace tessavo::cli
