#include "dtlog/dtlog_signalling.h"

#include <algorithm>
#include <array>
#include <optional>

#include "bits/packet_view.h"

namespace tessavo {
namespace {

struct SignallingLog {
    uint16_t logCode;
    std::string_view direction;               // "1" sent by the handset, "0" received
    std::optional<std::string_view> channel;  // 1x channels only
};

constexpr std::array<SignallingLog, 10> kSignallingLogs = {{
    {0x1004, "1", "0"},  // access channel
    {0x1005, "1", "2"},  // reverse traffic channel
    {0x1006, "0", "4"},  // sync channel
    {0x1007, "0", "1"},  // paging channel
    {0x1008, "0", "3"},  // forward traffic channel
    {0x1076, "1", std::nullopt},
    {0x1077, "1", std::nullopt},
    {0x1078, "0", std::nullopt},
    {0x1079, "0", std::nullopt},
    {0x107C, "0", std::nullopt},
}};

constexpr int kDirectionField = 0;
constexpr int kChannelField = 1;
constexpr int kRecordField = 2;

// The dump runs from the log record length word to the last payload byte: the packet copy
// without its first four bytes, its check bytes and its terminator.
constexpr int kDumpSkipFront = kLogOffsetRecordLength;
constexpr int kDumpSkipBack = kPacketTrailer;
constexpr int kDumpMinPacket = 8;  // a shorter copy has no record to dump

}  // namespace

void RenderSignalling(const ReportItem& item, DtLogBuilder& builder) {
    const auto logCode = static_cast<uint16_t>(item.msgCode >> 16);
    const auto log = std::find_if(kSignallingLogs.begin(), kSignallingLogs.end(),
                                  [&](const SignallingLog& s) { return s.logCode == logCode; });
    if (log == kSignallingLogs.end()) return;

    builder.Store(DtRecord::kCl3, kDirectionField, log->direction);
    if (log->channel) builder.Store(DtRecord::kCl3, kChannelField, *log->channel);

    const int length = static_cast<int>(std::min<uint32_t>(item.packetCopy.length, kBlockCapacity));
    if (length < kDumpMinPacket) return;
    // Two hex digits per byte; bytes that would pass the field capacity are left out.
    const int bytes = std::min(length - kDumpSkipFront - kDumpSkipBack, kDtFieldCapacity / 2);
    std::array<char, kDtFieldCapacity> hex{};
    constexpr std::string_view kDigits = "0123456789abcdef";
    for (int i = 0; i < bytes; ++i) {
        const uint8_t b = item.packetCopy.bytes[kDumpSkipFront + i];
        hex[static_cast<size_t>(2 * i)] = kDigits[b >> 4];
        hex[static_cast<size_t>(2 * i + 1)] = kDigits[b & 0x0F];
    }
    builder.Store(DtRecord::kCl3, kRecordField,
                  std::string_view(hex.data(), static_cast<size_t>(2 * bytes)));
}

}  // namespace tessavo
