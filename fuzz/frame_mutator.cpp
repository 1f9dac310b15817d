#include "fuzz/frame_mutator.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "dispatch/command_decoders.h"
#include "dispatch/log_routes.h"
#include "framing/hdlc.h"
#include "fuzz/decode_driver.h"
#include "fuzz/frame_stream.h"
#include "support/packet_builder.h"

// libFuzzer's own byte-level mutation (a stub returning the size in replay builds).
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace tessavo::fuzz {
namespace {

using test::Bytes;

constexpr size_t kOuterLengthAt = 2, kRecordLengthAt = 4, kStampAt = 8;
constexpr uint64_t kTicksPerSecond = 800;  // 1.25 ms units

// Both length fields as the payload says.
void FixLengths(Bytes& p) {
    const auto length = static_cast<uint16_t>(p.size() - 4);
    PutU16At(p, kOuterLengthAt, length);
    PutU16At(p, kRecordLengthAt, length);
}

// Every routed log code, from the route table.
const std::vector<uint16_t>& LogCodes() {
    static const std::vector<uint16_t> codes = [] {
        std::vector<uint16_t> c;
        const LogRouteSpan routes = AllLogRoutes();
        for (const LogRoute* r = routes.begin; r != routes.end; ++r) c.push_back(r->logCode);
        return c;
    }();
    return codes;
}

class Mutator {
  public:
    explicit Mutator(unsigned seed) : rng_(seed) {}

    size_t Below(size_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(rng_);
    }
    bool OneIn(size_t n) { return Below(n) == 0; }

    // A value a count or size byte is likely to be checked against.
    uint8_t CountByte() {
        static constexpr uint8_t kInteresting[] = {0,  1,  2,  3,  4,    5,    8,    15,
                                                   16, 31, 32, 33, 0x7F, 0x80, 0xFE, 0xFF};
        return OneIn(4) ? static_cast<uint8_t>(Below(256))
                        : kInteresting[Below(std::size(kInteresting))];
    }

    Bytes NewPacket() {
        if (OneIn(4)) {
            return test::CommandPacket(kCommandRoutes[Below(std::size(kCommandRoutes))].command,
                                       RandomBytes(Below(64)));
        }
        const uint16_t code = LogCodes()[Below(LogCodes().size())];
        return test::LogPacket(code, RandomBytes(Below(OneIn(4) ? 1024 : 64)), Below(1u << 20));
    }

    Bytes RandomBytes(size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = OneIn(3) ? 0xFF : static_cast<uint8_t>(Below(256));
        return b;
    }

    // One change to the packets; false if there was nothing to change.
    void MutatePackets(FrameStream& in, size_t maxSize) {
        auto& ps = in.packets;
        if (ps.empty() || OneIn(8)) {
            ps.insert(ps.begin() + static_cast<ptrdiff_t>(Below(ps.size() + 1)), NewPacket());
            return;
        }
        Bytes& p = ps[Below(ps.size())];
        switch (Below(9)) {
            case 0: {  // payload bytes, by libFuzzer's mutations
                const size_t from = IsLog(p) ? kLogHeader : std::min<size_t>(p.size(), 1);
                Bytes payload(p.begin() + static_cast<ptrdiff_t>(from), p.end());
                const size_t room = std::min<size_t>(maxSize, kUnescapeCapacity / 2);
                payload.resize(std::max(room, payload.size()));
                const size_t n = LLVMFuzzerMutate(payload.data(), p.size() - from, payload.size());
                p.resize(from);
                p.insert(p.end(), payload.begin(), payload.begin() + static_cast<ptrdiff_t>(n));
                if (IsLog(p)) FixLengths(p);
                break;
            }
            case 1:  // another routed log code
                if (IsLog(p)) PutU16At(p, kLogCodeAt, LogCodes()[Below(LogCodes().size())]);
                break;
            case 2:  // another command
                if (!p.empty())
                    p[0] = OneIn(2) ? kLogCommand
                                    : kCommandRoutes[Below(std::size(kCommandRoutes))].command;
                break;
            case 3:  // a length field that does not match the packet
                if (IsLog(p)) {
                    PutU16At(p, OneIn(2) ? kOuterLengthAt : kRecordLengthAt,
                             static_cast<uint16_t>(p.size() - 4 + Below(9) - 4));
                }
                break;
            case 4:  // a count or size byte near the start of the payload
                if (p.size() > kLogHeader) {
                    p[kLogHeader + Below(std::min<size_t>(24, p.size() - kLogHeader))] =
                        CountByte();
                }
                break;
            case 5:  // payload cut short or grown with 0xFF
                if (IsLog(p)) {
                    p.resize(OneIn(2)
                                 ? kLogHeader + Below(p.size() - kLogHeader + 1)
                                 : std::min<size_t>(p.size() + Below(256), kUnescapeCapacity / 2),
                             0xFF);
                    FixLengths(p);
                }
                break;
            case 6: {  // time stamps one second apart, so no sampling interval drops a packet
                uint64_t ticks = kTicksPerSecond;
                for (Bytes& q : ps) {
                    if (!IsLog(q)) continue;
                    const uint64_t stamp = test::StampFromTicks(ticks += kTicksPerSecond);
                    for (size_t k = 0; k < 8; ++k)
                        q[kStampAt + k] = static_cast<uint8_t>(stamp >> (8 * k));
                }
                break;
            }
            case 7:  // a frame repeated, or dropped
                if (OneIn(2)) {
                    ps.insert(ps.begin() + static_cast<ptrdiff_t>(Below(ps.size() + 1)), p);
                } else {
                    ps.erase(ps.begin() + static_cast<ptrdiff_t>(&p - ps.data()));
                }
                break;
            default:  // two frames swapped
                std::swap(p, ps[Below(ps.size())]);
                break;
        }
    }

  private:
    std::minstd_rand rng_;
};

}  // namespace

size_t MutateFrames(uint8_t* data, size_t size, size_t maxSize, unsigned seed) {
    Mutator m(seed);
    // Raw bytes (framing, escapes, check sequences) one time in four.
    if (m.OneIn(4) || maxSize <= kControlBytes) return LLVMFuzzerMutate(data, size, maxSize);
    FrameStream in = ReadFrameStream(data, size);
    if (m.OneIn(16)) {
        in.controls[m.Below(kControlBytes)] = static_cast<uint8_t>(m.Below(256));
    } else {
        for (size_t k = 1 + m.Below(3); k > 0; --k) m.MutatePackets(in, maxSize);
    }
    return WriteFrameStream(in, data, maxSize);
}

size_t CrossOverFrames(const uint8_t* a, size_t sizeA, const uint8_t* b, size_t sizeB, uint8_t* out,
                       size_t maxOut, unsigned seed) {
    Mutator m(seed);
    FrameStream x = ReadFrameStream(a, sizeA);
    const FrameStream y = ReadFrameStream(b, sizeB);
    // A run of the second input's packets spliced in at a random place.
    if (!y.packets.empty()) {
        const size_t from = m.Below(y.packets.size());
        const size_t to = from + 1 + m.Below(y.packets.size() - from);
        x.packets.insert(x.packets.begin() + static_cast<ptrdiff_t>(m.Below(x.packets.size() + 1)),
                         y.packets.begin() + static_cast<ptrdiff_t>(from),
                         y.packets.begin() + static_cast<ptrdiff_t>(to));
    }
    return WriteFrameStream(x, out, maxOut);
}

}  // namespace tessavo::fuzz

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned seed) {
    return tessavo::fuzz::MutateFrames(data, size, maxSize, seed);
}

extern "C" size_t LLVMFuzzerCustomCrossOver(const uint8_t* a, size_t sizeA, const uint8_t* b,
                                            size_t sizeB, uint8_t* out, size_t maxOut,
                                            unsigned seed) {
    return tessavo::fuzz::CrossOverFrames(a, sizeA, b, sizeB, out, maxOut, seed);
}
