#include "dispatch/dispatcher.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "bits/diag_time.h"
#include "bits/packet_view.h"
#include "dispatch/command_decoders.h"
#include "dispatch/direct_params.h"
#include "dispatch/log_routes.h"
#include "dispatch/message_code.h"
#include "dispatch/reencode.h"
#include "dispatch/sampling_throttle.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr uint16_t kCompactForm = 0xFFFE;
constexpr uint16_t kSectorSetLog = 0x108A;
// The state byte value of log code 0x107E under which 0x108A is sampled.
constexpr int32_t kSectorSamplingState = 5;
// Bytes of a log packet that are not payload: the header, the check bytes, the terminator.
constexpr int32_t kLogOverhead = kLogOffsetPayload + kPacketTrailer;
// Item message codes that only direct-parameter packets set; log packets never move their time.
constexpr uint32_t kTimeFixedCodes[] = {0xDD4B0000, 0x01FFB000, 0xDD3F0000, 0x30200000};

// Bytes [from, from + count) of the packet, with count clamped at 0 and to the block.
void CopyPacketBytes(Block& block, DecoderContext& ctx, int32_t from, int64_t count) {
    const int64_t avail = std::max<int64_t>(0, ctx.packetLength - from);
    block.Assign(ctx.packet.data() + from,
                 static_cast<size_t>(std::clamp<int64_t>(count, 0, avail)));
    ctx.MarkBlock(block);
}

// The OutFile block is only ever written from its start up to its length, so its bytes past
// the length are still zero: clearing up to the length empties it.
void ClearOutFile(DecoderContext& ctx) {
    Block& out = ctx.item.outFile;
    const size_t written = ctx.plainWrites ? kBlockCapacity : std::min(out.length, kBlockCapacity);
    // An empty block is all zeros already: no line of it changes (nor has to be copied again).
    if (written == 0 && out.length == 0) return;
    ctx.Mark(&out, sizeof out.length + written);
    out.length = 0;
    std::memset(out.bytes, 0, written);
}

uint32_t Reject(DecoderContext& ctx) {
    ctx.packetLength = 0;
    return 0;
}

// The OutFile record of a command response 0x40 / 0x63: length, the wrapping log code as two
// tag bytes, the last DIAG time stamp, then the packet from byte 1 (check bytes included).
void SynthesizeOutFile(DecoderContext& ctx, uint8_t command) {
    Block& out = ctx.item.outFile;
    const int32_t l = ctx.packetLength;
    uint8_t head[12];
    const auto total = static_cast<uint16_t>(static_cast<uint32_t>(l) + 10);
    StoreLE(head, total);
    head[2] = command;
    head[3] = 0x30;
    std::memcpy(head + 4, ctx.lastDiagStamp.data(), ctx.lastDiagStamp.size());
    out.Assign(head, sizeof head);
    if (l > 2) out.Append(ctx.packet.data() + 1, static_cast<size_t>(l - 2));
    ctx.MarkBlock(out);
}

void RunHandlers(DecoderContext& ctx, const LogRoute& route, int subPacket) {
    const PacketView packet(ctx.packet.data(), ctx.packetLength);
    int32_t extra = 0;
    if (route.extra == ExtraArg::LogCode) extra = route.logCode;
    if (route.extra == ExtraArg::SubPacket) extra = subPacket;
    if (route.param != nullptr) route.param(ctx, packet, extra);
    if (route.structured != nullptr) route.structured(ctx, packet, extra);
}

// Runs the decoder of a command response that a log packet 0x3040 / 0x3063 also carries.
void RunWrappedCommand(DecoderContext& ctx, uint16_t wrappedCode) {
    const LogRoute* route = FindLogRoute(wrappedCode);
    if (route != nullptr) RunHandlers(ctx, *route, 0);
}

// Makes the packet buffer look like the command response itself: the command byte, then the
// log payload (the response without its command byte) with its check bytes and terminator.
void RebuildAsCommand(DecoderContext& ctx, uint8_t command) {
    const int32_t l = ctx.packetLength;
    const int32_t tail = std::max(0, l - kLogOffsetPayload);
    std::memmove(ctx.packet.data() + 1, ctx.packet.data() + kLogOffsetPayload,
                 static_cast<size_t>(tail));
    ctx.packet[0] = command;
    ctx.packetLength = tail + 1;
}

// Payload block of a compact packet: cleared, then the marker and the packet from byte 16.
void RebuildCompactPayload(DecoderContext& ctx) {
    std::memset(ctx.item.payload.bytes, 0, kBlockCapacity);
    AssignCompactPayload(ctx.item.payload, ctx.packet.data(), ctx.packetLength);
    ctx.Mark(&ctx.item.payload, sizeof ctx.item.payload);
}

uint32_t DispatchCommand(DecoderContext& ctx, TimePair host) {
    const int32_t l = ctx.packetLength;
    if (l < 3 || ctx.firstDiagTime.seconds == kNoValue) return Reject(ctx);
    ReportItem& item = ctx.item;
    const uint8_t command = ctx.packet[0];
    item.direction = 2;
    CopyPacketBytes(item.payload, ctx, 1, int64_t{l} - 2);
    const PacketView packet(ctx.packet.data(), l);
    const uint32_t code = CommandMessageCode(ctx.moduleType, command);
    const CommandRoute* route = FindCommandRoute(command);
    if (route == nullptr) return Reject(ctx);
    if (route->hostTimed) {
        const TimePair t = CommandDdItemTime(ctx.firstDiagTime, ctx.firstHostTime, host);
        item.time = ItemTime{t.seconds, t.microseconds};
    } else {
        item.msgCode = code;
    }
    if (l < route->minLength) return Reject(ctx);
    if (route->decode != nullptr) return route->decode(ctx, packet);
    SynthesizeOutFile(ctx, command);
    RunWrappedCommand(ctx, route->wrappedLog);
    return 1;
}

bool IsTimeFixed(uint32_t msgCode) {
    return std::find(std::begin(kTimeFixedCodes), std::end(kTimeFixedCodes), msgCode) !=
           std::end(kTimeFixedCodes);
}

uint32_t DispatchLog(DecoderContext& ctx, TimePair host, int subPacket) {
    ReportItem& item = ctx.item;
    const PacketView header(ctx.packet.data(), ctx.packetLength);
    const uint16_t logCode = header.LogCode();
    item.msgCode = LogMessageCode(ctx.moduleType, header);
    header.Copy(kLogOffsetTimeStamp, ctx.lastDiagStamp.data(), ctx.lastDiagStamp.size());
    TimePair t = DiagTimeToPair(ctx.lastDiagStamp.data());
    if (logCode == kPilotSetsWrapped || logCode == kStatusWrapped) {
        t = TimePair{item.time.seconds, item.time.microseconds};
    }
    if (ctx.firstDiagTime.seconds == kNoValue) {
        ctx.firstDiagTime = t;
        ctx.firstHostTime = host;
    }
    item.direction = LogDirection(logCode);
    const int32_t l = ctx.packetLength;
    if (l < kLogOverhead) return Reject(ctx);
    CopyPacketBytes(item.payload, ctx, kLogOffsetPayload, int64_t{l} - kLogOverhead);
    CopyPacketBytes(item.outFile, ctx, kLogOffsetRecordLength,
                    int64_t{l} - kLogOffsetRecordLength - kPacketTrailer);

    uint32_t result = 1;
    if (const LogRoute* route = FindLogRoute(logCode)) {
        bool sampled = route->sampling != kNotSampled;
        if (logCode == kSectorSetLog) sampled = ctx.lastValue018302 == kSectorSamplingState;
        if (route->kind == RouteKind::Ignore) {
            result = 0;
        } else if (sampled && !ThrottleAccepts(ctx.sampling[static_cast<size_t>(route->sampling)], t)) {
            result = 0;
        } else if (route->kind == RouteKind::CommandWrapped) {
            RebuildAsCommand(ctx, static_cast<uint8_t>(logCode & 0xFF));
            RunHandlers(ctx, *route, 0);
        } else if (route->kind == RouteKind::DirectParams) {
            RebuildCompactPayload(ctx);
            result = DecodeDirectParams(ctx, PacketView(ctx.packet.data(), ctx.packetLength));
        } else {
            RunHandlers(ctx, *route, subPacket);
        }
    }
    if (result != 0 && !IsTimeFixed(item.msgCode)) {
        const TimePair now{item.time.seconds, item.time.microseconds};
        if (PairDifference(t, now) > 0) item.time = ItemTime{t.seconds, t.microseconds};
    }
    return result;
}

uint32_t DispatchFrame(DecoderContext& ctx, const uint8_t* frame, uint32_t frameLength,
                       TimePair host, int subPacket) {
    ReportItem& item = ctx.item;
    // Time and message code are set by many steps of a packet, and change from one to the
    // next: always taken.
    ctx.Mark(&item, offsetof(ReportItem, payload));
    item.zelFilter.Assign(frame, frameLength);
    ctx.MarkBlock(item.zelFilter);

    if (ctx.rawPacketMode) {
        const size_t n = std::min<size_t>(frameLength, kFrameCapacity);
        std::memcpy(ctx.packet.data(), frame, n);
        ctx.packetLength = static_cast<int32_t>(n);
    } else {
        ctx.packetLength = 0;
        Unescape(frame, frameLength, ctx.packet.data(), ctx.packetLength);
    }
    CopyPacketBytes(item.packetCopy, ctx, 0, ctx.packetLength);
    if (ctx.firstHostTime.seconds == kNoValue) ctx.firstHostTime = host;
    ClearOutFile(ctx);
    ResetParamLists(ctx);

    const int32_t l = ctx.packetLength;
    const bool isLog = l > 0 && ctx.packet[0] == kLogCommand;
    const bool crcGood = l >= 1 && VerifyCrc16(ctx.packet.data(), static_cast<size_t>(l - 1)) != 0;
    if (!crcGood && !ctx.rawPacketMode) {
        const bool compact = isLog && PacketView(ctx.packet.data(), l).LogCode() == kCompactForm;
        if (!compact) return Reject(ctx);
    }

    const uint32_t result =
        isLog ? DispatchLog(ctx, host, subPacket) : DispatchCommand(ctx, host);
    if (result != 0 && ctx.reencodeEnabled && subPacket == 0) Reencode(ctx, frame, frameLength);
    ctx.packetLength = 0;
    return result;
}

}  // namespace

uint32_t Dispatch(DecoderContext& ctx, const uint8_t* frame, uint32_t frameLength, TimePair host,
                  int subPacket) {
    // The direction is set by several steps of a packet, nearly always to what it was: its
    // line is stamped only when it changed.
    const uint16_t direction = ctx.item.direction;
    const uint32_t result = DispatchFrame(ctx, frame, frameLength, host, subPacket);
    if (ctx.item.direction != direction) ctx.Mark(&ctx.item.direction, sizeof direction);
    return result;
}

}  // namespace tessavo
