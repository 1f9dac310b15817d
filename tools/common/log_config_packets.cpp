#include "log_config_packets.h"

#include <algorithm>

namespace tessavo::cli {
namespace {

constexpr size_t kLogConfigHeader = 4;  // 73 00 00 00
constexpr size_t kWord = 4;

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t GetU32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < kWord; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

std::vector<uint8_t> LogConfigHeader(LogConfigOp op) {
    std::vector<uint8_t> out{kCmdLogConfig, 0, 0, 0};
    PutU32(out, static_cast<uint32_t>(op));
    return out;
}

// Equipment ID, last item and mask bytes at `offset`; nothing when they do not fit.
std::optional<LogMask> ReadMask(std::span<const uint8_t> packet, size_t offset, bool withBits) {
    if (packet.size() < offset + 2 * kWord) return std::nullopt;
    LogMask mask;
    mask.equipment = GetU32(packet, offset);
    mask.lastItem = GetU32(packet, offset + kWord);
    if (mask.equipment >= kEquipmentIds || mask.lastItem > kMaxLastItem) return std::nullopt;
    if (!withBits) return mask;
    const size_t begin = offset + 2 * kWord;
    if (packet.size() < begin + LogMaskBytes(mask.lastItem)) return std::nullopt;
    mask.bits.assign(
        packet.begin() + static_cast<std::ptrdiff_t>(begin),
        packet.begin() + static_cast<std::ptrdiff_t>(begin + LogMaskBytes(mask.lastItem)));
    return mask;
}

void WriteMask(std::vector<uint8_t>& out, const LogMask& mask) {
    PutU32(out, mask.equipment);
    PutU32(out, mask.lastItem);
    out.insert(out.end(), mask.bits.begin(), mask.bits.end());
}

}  // namespace

bool LogMask::Enabled(uint32_t item) const {
    return item <= lastItem && item / 8 < bits.size() && (bits[item / 8] >> (item % 8) & 1) != 0;
}

void LogMask::Enable(uint32_t item) {
    if (item > lastItem) return;
    bits.resize(LogMaskBytes(lastItem));
    bits[item / 8] = static_cast<uint8_t>(bits[item / 8] | (1u << (item % 8)));
}

bool LogMask::Empty() const {
    return std::all_of(bits.begin(), bits.end(), [](uint8_t b) { return b == 0; });
}

LogMask EmptyLogMask(uint32_t equipment, uint32_t lastItem) {
    LogMask mask;
    mask.equipment = equipment;
    mask.lastItem = lastItem;
    mask.bits.assign(LogMaskBytes(lastItem), 0);
    return mask;
}

std::vector<uint8_t> VersionRequest() {
    return {kCmdVersion};
}

std::vector<uint8_t> LogConfigRequest(LogConfigOp op) {
    return LogConfigHeader(op);
}

std::vector<uint8_t> SetLogMaskRequest(const LogMask& mask) {
    std::vector<uint8_t> out = LogConfigHeader(LogConfigOp::kSetMask);
    WriteMask(out, mask);
    return out;
}

std::vector<uint8_t> GetLogMaskRequest(uint32_t equipment) {
    std::vector<uint8_t> out = LogConfigHeader(LogConfigOp::kGetMask);
    PutU32(out, equipment);
    return out;
}

std::vector<uint8_t> EventReportRequest(bool on) {
    return {kCmdEventReport, static_cast<uint8_t>(on ? 1 : 0)};
}

std::optional<LogConfigCommand> ParseLogConfigRequest(std::span<const uint8_t> packet) {
    if (packet.size() < kLogConfigHeader + kWord || packet[0] != kCmdLogConfig) return std::nullopt;
    LogConfigCommand command;
    command.op = static_cast<LogConfigOp>(GetU32(packet, kLogConfigHeader));
    const size_t body = kLogConfigHeader + kWord;
    if (command.op == LogConfigOp::kSetMask) {
        auto mask = ReadMask(packet, body, true);
        if (!mask) return std::nullopt;
        command.mask = *mask;
    } else if (command.op == LogConfigOp::kGetMask) {
        if (packet.size() < body + kWord) return std::nullopt;
        command.mask.equipment = GetU32(packet, body);
        if (command.mask.equipment >= kEquipmentIds) return std::nullopt;
    }
    return command;
}

std::vector<uint8_t> LogConfigReplyPacket(const LogConfigReply& reply) {
    std::vector<uint8_t> out = LogConfigHeader(reply.op);
    PutU32(out, reply.status);
    if (reply.op == LogConfigOp::kRetrieveRanges) {
        for (uint32_t last : reply.lastItems) PutU32(out, last);
    } else if (reply.mask) {
        WriteMask(out, *reply.mask);
    }
    return out;
}

std::optional<LogConfigReply> ParseLogConfigReply(std::span<const uint8_t> packet) {
    const size_t body = kLogConfigHeader + 2 * kWord;
    if (packet.size() < body || packet[0] != kCmdLogConfig) return std::nullopt;
    LogConfigReply reply;
    reply.op = static_cast<LogConfigOp>(GetU32(packet, kLogConfigHeader));
    reply.status = GetU32(packet, kLogConfigHeader + kWord);
    if (reply.status != 0) return reply;  // a refusal carries nothing more
    if (reply.op == LogConfigOp::kRetrieveRanges) {
        if (packet.size() < body + kEquipmentIds * kWord) return std::nullopt;
        for (size_t i = 0; i < kEquipmentIds; ++i)
            reply.lastItems[i] = GetU32(packet, body + i * kWord);
    } else if (reply.op == LogConfigOp::kSetMask || reply.op == LogConfigOp::kGetMask) {
        reply.mask = ReadMask(packet, body, true);
    }
    return reply;
}

bool IsErrorReply(std::span<const uint8_t> reply) {
    return !reply.empty() && (reply[0] == kCmdBadCommand || reply[0] == kCmdBadParameters ||
                              reply[0] == kCmdBadLength);
}

bool AnswersCommand(std::span<const uint8_t> reply, std::span<const uint8_t> request) {
    if (reply.empty() || request.empty()) return false;
    if (IsErrorReply(reply)) return reply.size() > 1 && reply[1] == request[0];
    if (reply[0] != request[0] ||
        std::equal(reply.begin(), reply.end(), request.begin(), request.end())) {
        return false;
    }
    // Log configuration replies repeat the operation they answer.
    const size_t opEnd = kLogConfigHeader + kWord;
    if (request[0] == kCmdLogConfig && request.size() >= opEnd) {
        return reply.size() >= opEnd &&
               GetU32(reply, kLogConfigHeader) == GetU32(request, kLogConfigHeader);
    }
    return true;
}

std::string HexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) text.push_back(' ');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0xF]);
    }
    return text;
}

}  // namespace tessavo::cli
