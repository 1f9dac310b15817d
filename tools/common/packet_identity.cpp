#include "packet_identity.h"

#include <array>

namespace tessavo::cli {
namespace {

constexpr uint8_t kLogCommand = 0x10;
constexpr uint16_t kCompactLogCode = 0xFFFE;
constexpr uint32_t kTimeQueryCode = 0xEEAA0001;  // the identity command 0xDD responses get
constexpr size_t kLogHeaderPeek = 8;             // command, one byte, two lengths, log code

// Identities (low half of the message code) that the dispatcher gives command responses.
struct CommandIdentity {
    uint16_t identity;
    uint8_t command;
};
constexpr std::array<CommandIdentity, 8> kCommandIdentities = {{
    {0x3020, 0x20},
    {0x305D, 0x5D},
    {0x3073, 0x73},
    {0x3079, 0x79},
    {0x304B, 0x4B},
    {0xDD3F, 0x3F},
    {0xDD4B, 0x4B},
    {0x1FFB, 0x60},
}};

// The first out.size() bytes of the packet inside an escaped frame; fewer when it ends.
size_t PeekUnescaped(std::span<const uint8_t> frame, std::span<uint8_t> out) {
    size_t produced = 0;
    for (size_t i = 0; i < frame.size() && produced < out.size(); ++i) {
        uint8_t byte = frame[i];
        if (byte == 0x7D && i + 1 < frame.size() &&
            (frame[i + 1] == 0x5D || frame[i + 1] == 0x5E)) {
            byte = static_cast<uint8_t>(frame[i + 1] ^ 0x20);
            ++i;
        }
        out[produced++] = byte;
    }
    return produced;
}

PacketIdentity FromMessageCode(uint32_t msgCode, uint32_t moduleType) {
    PacketIdentity identity;
    if (msgCode == kTimeQueryCode) {
        identity.command = 0xDD;
        return identity;
    }
    uint16_t high = static_cast<uint16_t>(msgCode >> 16);
    uint16_t low = static_cast<uint16_t>(msgCode & 0xFFFF);
    if (high != moduleType) {
        identity.logCode = high;
        return identity;
    }
    for (const CommandIdentity& entry : kCommandIdentities) {
        if (entry.identity == low) {
            identity.command = entry.command;
            return identity;
        }
    }
    identity.logCode = low;
    return identity;
}

}  // namespace

PacketIdentity IdentifyPacket(std::span<const uint8_t> frameAsReceived, uint32_t msgCode,
                              uint32_t moduleType) {
    std::array<uint8_t, kLogHeaderPeek> header{};
    size_t length = PeekUnescaped(frameAsReceived, header);
    if (length >= 2 && header[0] != kLogCommand && header[0] != 0x7E) {
        PacketIdentity identity;
        identity.command = header[0];
        return identity;
    }
    if (length == kLogHeaderPeek && header[0] == kLogCommand) {
        uint16_t logCode = static_cast<uint16_t>(header[6] | (header[7] << 8));
        if (logCode != kCompactLogCode) {
            PacketIdentity identity;
            identity.logCode = logCode;
            return identity;
        }
    }
    return FromMessageCode(msgCode, moduleType);
}

}  // namespace tessavo::cli
