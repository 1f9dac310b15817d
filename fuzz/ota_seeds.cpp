#include "fuzz/ota_seeds.h"

#include <cstdio>

#include "bits/packet_view.h"
#include "decoders/cdma1x/access_traffic.h"
#include "decoders/cdma1x/forward_traffic.h"
#include "decoders/cdma1x/sync_paging.h"
#include "dispatch/log_routes.h"
#include "dispatch/message_code.h"
#include "fuzz/seed_bytes.h"
#include "tessavo/tessavo.h"

namespace tessavo::fuzz {
namespace {

using test::Bytes;

// The message codes the over-the-air decoders branch on: log code, message type, order code.
constexpr uint32_t kMessageCodes[] = {
    kMsgOrigination,
    kMsgPageResponse,
    kMsgPilotStrengthMeasurement,
    kMsgHandoffCompletion,
    kMsgReverseOrder21,
    kMsgSystemParameters,
    kMsgAccessParameters,
    kMsgExtendedSystemParameters,
    kMsgForwardOrder21,
    kMsgAlertWithInformation,
    kMsgExtendedHandoffDirection,
    kMsgForward19,
    kMsgGeneralHandoffDirection,
    kMsgUniversalHandoffDirection,
    kMsgSupplementalChannelAssignment,
    kMsgMeidUniversalHandoffDirection,
};

// Body sizes: short enough to end inside the fixed fields, and long enough for counted lists.
constexpr size_t kBodySizes[] = {12, 40, 120};
constexpr int kVariants = 4;  // bit patterns per message and size
constexpr int kMaxTries = 1 << 14;

// A message: its length byte, its type byte, then `size` bytes from the generator.
Bytes Message(uint8_t type, size_t size, uint32_t& state) {
    return test::Concat({{static_cast<uint8_t>(size + 2), type}, SeedBytes(state, size)});
}

// The log code routed to the sync channel's handler, which reads the protocol revision, not a
// message type.
uint16_t SyncChannelLog() {
    const LogRouteSpan routes = AllLogRoutes();
    for (const LogRoute* r = routes.begin; r != routes.end; ++r) {
        if (r->param == HandleSyncChannel) return r->logCode;
    }
    return 0;
}

uint32_t CodeOf(uint16_t logCode, const Bytes& payload) {
    const Bytes packet = test::Dispatched(test::LogPacket(logCode, payload, 800));
    return LogMessageCode(TESSAVO_MODULE_B20A,
                          PacketView(packet.data(), static_cast<int32_t>(packet.size())));
}

}  // namespace

std::vector<SeedStream> OtaSeedStreams() {
    std::vector<SeedStream> out;
    char name[48];
    for (uint32_t code : kMessageCodes) {
        const auto logCode = static_cast<uint16_t>(code >> 16);
        const auto type = static_cast<uint8_t>(code >> 8);
        for (int v = 0; v < kVariants; ++v) {
            Bytes stream;
            uint32_t state = code + static_cast<uint32_t>(v) * 7919u;
            for (size_t size : kBodySizes) {
                // Bodies are drawn until the dispatcher reads the wanted code (the order
                // messages need their order field to match).
                for (int t = 0; t < kMaxTries; ++t) {
                    const Bytes payload = Message(type, size, state);
                    if (CodeOf(logCode, payload) != code) continue;
                    stream = test::Concat(
                        {stream, test::Frame(test::LogPacket(logCode, payload, 800 + size))});
                    break;
                }
            }
            std::snprintf(name, sizeof name, "ota_%08x_%d", code, v);
            if (!stream.empty()) out.push_back({name, stream});
        }
    }
    // The sync channel message at every protocol revision up to the channel-carrying one and
    // past it (the revision is the byte after the type).
    const uint16_t sync = SyncChannelLog();
    for (uint8_t revision = 1; sync != 0 && revision <= 8; ++revision) {
        uint32_t state = revision;
        Bytes payload = Message(/*type=*/1, 40, state);
        payload[2] = revision;
        std::snprintf(name, sizeof name, "ota_sync_rev%u", revision);
        out.push_back({name, test::Frame(test::LogPacket(sync, payload, 800))});
    }
    return out;
}

}  // namespace tessavo::fuzz
