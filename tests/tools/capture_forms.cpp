#include "capture_forms.h"

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

namespace tessavo::cli::test {

Bytes Gzip(const Bytes& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, bytes.size()) + 32);
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

Bytes Zstd(const Bytes& bytes) {
    Bytes out(ZSTD_compressBound(bytes.size()));
    out.resize(ZSTD_compress(out.data(), out.size(), bytes.data(), bytes.size(), 3));
    return out;
}

Bytes Xz(const Bytes& bytes) {
    Bytes out(lzma_stream_buffer_bound(bytes.size()));
    size_t used = 0;
    lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, bytes.data(), bytes.size(), out.data(),
                            &used, out.size());
    out.resize(used);
    return out;
}

Bytes DlfOf(const Bytes& hdlcStream) {
    Bytes dlf, frame;
    bool escaped = false;
    for (uint8_t byte : hdlcStream) {
        if (byte == 0x7D) {
            escaped = true;
            continue;
        }
        if (byte != 0x7E) {
            frame.push_back(escaped ? byte ^ 0x20 : byte);
            escaped = false;
            continue;
        }
        escaped = false;
        // A log packet: 0x10, 0, outer length, then the record (its length word first).
        if (frame.size() >= 18 && frame[0] == 0x10 &&
            BitwiseCrc16(Bytes(frame.begin(), frame.end() - 2)) ==
                (frame[frame.size() - 2] | frame[frame.size() - 1] << 8)) {
            const size_t length = frame[4] | frame[5] << 8;
            if (length >= 12 && 4 + length <= frame.size() - 2) {
                dlf.insert(dlf.end(), frame.begin() + 4, frame.begin() + 4 + long(length));
            }
        }
        frame.clear();
    }
    return dlf;
}

}  // namespace tessavo::cli::test
