#include "hdlc_codec.h"

#include "crc16_x25.h"

namespace tessavo::cli {
namespace {

constexpr uint8_t kTerminator = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kEscapeXor = 0x20;

void AppendEscaped(uint8_t byte, std::vector<uint8_t>& out) {
    if (byte == kTerminator || byte == kEscape) {
        out.push_back(kEscape);
        out.push_back(static_cast<uint8_t>(byte ^ kEscapeXor));
    } else {
        out.push_back(byte);
    }
}

}  // namespace

void AppendHdlcFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out) {
    const uint16_t check = static_cast<uint16_t>(CrcRegister(packet) ^ 0xFFFF);
    out.reserve(out.size() + packet.size() * 2 + 5);
    for (uint8_t byte : packet) AppendEscaped(byte, out);
    AppendEscaped(static_cast<uint8_t>(check & 0xFF), out);
    AppendEscaped(static_cast<uint8_t>(check >> 8), out);
    out.push_back(kTerminator);
}

std::vector<uint8_t> HdlcFrame(std::span<const uint8_t> packet) {
    std::vector<uint8_t> out;
    AppendHdlcFrame(packet, out);
    return out;
}

std::optional<std::vector<uint8_t>> OpenHdlcFrame(std::span<const uint8_t> frame) {
    if (!frame.empty() && frame.back() == kTerminator) frame = frame.first(frame.size() - 1);
    std::vector<uint8_t> packet;
    packet.reserve(frame.size());
    for (size_t i = 0; i < frame.size(); ++i) {
        // Only the two escape pairs a sender makes are undone; any other 0x7D stays as it is.
        if (frame[i] == kEscape && i + 1 < frame.size() &&
            (frame[i + 1] == (kEscape ^ kEscapeXor) ||
             frame[i + 1] == (kTerminator ^ kEscapeXor))) {
            packet.push_back(static_cast<uint8_t>(frame[++i] ^ kEscapeXor));
        } else {
            packet.push_back(frame[i]);
        }
    }
    if (packet.size() < 2 || CrcRegister(packet) != kCrcGoodResidue) return std::nullopt;
    packet.resize(packet.size() - 2);
    return packet;
}

}  // namespace tessavo::cli
