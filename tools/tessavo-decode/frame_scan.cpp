#include "frame_scan.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace tessavo::cli {
namespace {

constexpr uint16_t kReflectedPoly = 0x8408;
constexpr uint16_t kGoodResidue = 0xF0B8;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ kReflectedPoly)
                                 : static_cast<uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr uint16_t CrcStep(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

// Slice k: the register change of a byte followed by k zero bytes, so that eight bytes take
// eight independent look-ups.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeCrcSlices() {
    std::array<std::array<uint16_t, 256>, 8> slices{};
    slices[0] = kCrcTable;
    for (size_t k = 1; k < slices.size(); ++k) {
        for (size_t i = 0; i < 256; ++i) slices[k][i] = CrcStep(slices[k - 1][i], 0);
    }
    return slices;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kCrcSlices = MakeCrcSlices();

constexpr uint16_t CrcRegister(std::span<const uint8_t> bytes, uint16_t crc = 0xFFFF) {
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const auto* b = bytes.data() + i;
        const uint16_t x = static_cast<uint16_t>(crc ^ (b[0] | b[1] << 8));
        crc =
            static_cast<uint16_t>(kCrcSlices[7][x & 0xFF] ^ kCrcSlices[6][x >> 8] ^
                                  kCrcSlices[5][b[2]] ^ kCrcSlices[4][b[3]] ^ kCrcSlices[3][b[4]] ^
                                  kCrcSlices[2][b[5]] ^ kCrcSlices[1][b[6]] ^ kCrcSlices[0][b[7]]);
    }
    for (; i < bytes.size(); ++i) crc = CrcStep(crc, bytes[i]);
    return crc;
}

constexpr uint8_t kCheckDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert((CrcRegister(kCheckDigits) ^ 0xFFFF) == 0x906E);
// The eight-byte steps agree with the byte steps at every split of the digits.
constexpr bool SlicesAgree() {
    uint16_t bytewise = 0xFFFF;
    for (uint8_t byte : kCheckDigits) bytewise = CrcStep(bytewise, byte);
    for (size_t split = 0; split <= std::size(kCheckDigits); ++split) {
        const std::span<const uint8_t> all(kCheckDigits);
        if (CrcRegister(all.subspan(split), CrcRegister(all.first(split))) != bytewise)
            return false;
    }
    return true;
}
static_assert(SlicesAgree());

constexpr uint8_t kTerminator = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kLogCommand = 0x10;
constexpr size_t kLogCodeOffset = 6;

// Calls `visit` with the unescaped bytes of `frame` in runs: the bytes between escapes as
// they stand, each escape pair as its one byte (0x7D 0x5D -> 0x7D, 0x7D 0x5E -> 0x7E); a
// 0x7D followed by anything else (or at the end) is passed as it is.
template <typename Visit>
void ForEachUnescapedRun(std::span<const uint8_t> frame, Visit visit) {
    const uint8_t* at = frame.data();
    const uint8_t* const end = at + frame.size();
    while (at < end) {
        const auto* escape =
            static_cast<const uint8_t*>(std::memchr(at, kEscape, static_cast<size_t>(end - at)));
        if (escape == nullptr) {
            visit(std::span<const uint8_t>(at, end));
            return;
        }
        visit(std::span<const uint8_t>(at, escape));
        if (escape + 1 < end && (escape[1] == 0x5D || escape[1] == 0x5E)) {
            const uint8_t byte = static_cast<uint8_t>(escape[1] ^ 0x20);
            visit(std::span<const uint8_t>(&byte, 1));
            at = escape + 2;
        } else {
            visit(std::span<const uint8_t>(escape, 1));
            at = escape + 1;
        }
    }
}

}  // namespace

uint16_t Crc16X25(std::span<const uint8_t> bytes) {
    return static_cast<uint16_t>(CrcRegister(bytes) ^ 0xFFFF);
}

std::vector<uint8_t> UnescapeFrame(std::span<const uint8_t> frame) {
    std::vector<uint8_t> packet;
    packet.reserve(frame.size());
    ForEachUnescapedRun(frame, [&packet](std::span<const uint8_t> run) {
        packet.insert(packet.end(), run.begin(), run.end());
    });
    return packet;
}

bool PacketCrcIsGood(std::span<const uint8_t> packetWithCrc) {
    return packetWithCrc.size() >= 2 && CrcRegister(packetWithCrc) == kGoodResidue;
}

FrameCounts& FrameCounts::operator+=(const FrameCounts& other) {
    frames += other.frames;
    emptyFrames += other.emptyFrames;
    crcFailures += other.crcFailures;
    compactFrames += other.compactFrames;
    oversized += other.oversized;
    trailingBytes += other.trailingBytes;
    goodLogFrames += other.goodLogFrames;
    commandsBeforeFirstLog += other.commandsBeforeFirstLog;
    commandsAfterFirstLog += other.commandsAfterFirstLog;
    return *this;
}

void FrameScanner::Feed(std::span<const uint8_t> bytes) {
    // Mirrors the library's reassembly: a frame that reaches the limit is dropped and
    // collecting starts again with the very next byte, so the rest of a long frame shows up
    // as a frame of its own (which then fails its CRC, as it does in the library).
    // Bytes are taken up to the next terminator or up to the limit, whichever comes first;
    // a frame wholly inside `bytes` is read where it is.
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t* start = bytes.data() + i;
        const size_t room = std::min(bytes.size() - i, kMaxFrameLength - frame_.size());
        const auto* at = static_cast<const uint8_t*>(std::memchr(start, kTerminator, room));
        const size_t take = at != nullptr ? static_cast<size_t>(at - start) + 1 : room;
        position_ += take;
        i += take;
        if (frame_.size() + take >= kMaxFrameLength) {
            ++counts_.oversized;
            frame_.clear();
        } else if (at == nullptr) {
            frame_.insert(frame_.end(), start, start + take);
        } else if (frame_.empty()) {
            CompleteFrame({start, take});
        } else {
            frame_.insert(frame_.end(), start, start + take);
            CompleteFrame(frame_);
            frame_.clear();
        }
    }
}

void FrameScanner::Finish() {
    counts_.trailingBytes += frame_.size();
    frame_.clear();
}

void FrameScanner::CompleteFrame(std::span<const uint8_t> frame) {
    if (frame.size() == 1) {
        ++counts_.emptyFrames;
        return;
    }
    if (handler_) handler_(frame, position_ - frame.size());
    ++counts_.frames;
    if (!check_) return;
    // One pass unescapes, runs the CRC (eight bytes a step between escapes) and keeps the
    // header bytes; the terminator is never part of an escape pair, so it is simply left out.
    uint16_t crc = 0xFFFF;
    std::array<uint8_t, kLogCodeOffset + 2> head{};
    size_t length = 0;
    ForEachUnescapedRun(frame.first(frame.size() - 1), [&](std::span<const uint8_t> run) {
        if (length < head.size()) {
            std::copy_n(run.begin(), std::min(run.size(), head.size() - length),
                        head.begin() + static_cast<std::ptrdiff_t>(length));
        }
        length += run.size();
        crc = CrcRegister(run, crc);
    });
    const bool log = length > kLogCodeOffset + 1 && head[0] == kLogCommand;
    const auto logCode =
        static_cast<uint16_t>(head[kLogCodeOffset] | (head[kLogCodeOffset + 1] << 8));
    if (log && logCode == kCompactLogCode) {
        ++counts_.compactFrames;
    } else if (length < 2 || crc != kGoodResidue) {
        ++counts_.crcFailures;
    } else if (log) {
        sawLog_ = true;
        counts_.goodLogFrames.Add(logCode);
    } else {
        ++(sawLog_ ? counts_.commandsAfterFirstLog : counts_.commandsBeforeFirstLog);
    }
}

}  // namespace tessavo::cli
