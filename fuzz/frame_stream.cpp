#include "fuzz/frame_stream.h"

#include <algorithm>
#include <cstring>

#include "framing/hdlc.h"
#include "fuzz/decode_driver.h"

namespace tessavo::fuzz {
namespace {
constexpr size_t kCrcBytes = 2;
}  // namespace

using test::Bytes;

FrameStream ReadFrameStream(const uint8_t* data, size_t size) {
    FrameStream in;
    const size_t c = std::min(size, kControlBytes);
    in.controls.assign(data, data + c);
    in.controls.resize(kControlBytes, 0);
    std::vector<uint8_t> packet(static_cast<size_t>(kUnescapeCapacity));
    size_t start = c;
    for (size_t i = c; i < size; ++i) {
        if (data[i] != kFrameFlag && i + 1 != size) continue;
        int32_t n = 0;
        Unescape(data + start, i + 1 - start, packet.data(), n);
        size_t body = static_cast<size_t>(n);
        if (body > 0 && packet[body - 1] == kFrameFlag) --body;
        body = body >= kCrcBytes ? body - kCrcBytes : 0;
        in.packets.emplace_back(packet.begin(), packet.begin() + static_cast<ptrdiff_t>(body));
        start = i + 1;
    }
    return in;
}

// Frames every packet again (check bytes and escaping), within `maxSize`.
size_t WriteFrameStream(const FrameStream& in, uint8_t* out, size_t maxSize) {
    size_t at = std::min(maxSize, in.controls.size());
    std::memcpy(out, in.controls.data(), at);
    for (const Bytes& p : in.packets) {
        const Bytes frame = test::Frame(p);
        if (at + frame.size() > maxSize) break;
        std::memcpy(out + at, frame.data(), frame.size());
        at += frame.size();
    }
    return at;
}

bool IsLog(const Bytes& p) {
    return p.size() >= kLogHeader && p[0] == kLogCommand;
}

void PutU16At(Bytes& p, size_t at, uint16_t v) {
    if (p.size() < at + 2) return;
    p[at] = static_cast<uint8_t>(v);
    p[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace tessavo::fuzz
