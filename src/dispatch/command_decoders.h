// Decoders of the command responses that are not log packets, and the routes of every command
// the dispatcher takes (kCommandRoutes).
//
// Each receives the unescaped packet from its command byte on (CRC and 0x7E included, so the
// view's length is the packet length L) after the dispatcher has set the message code, the
// direction and the payload block and reset the lists. Each returns the dispatcher's result:
// 1 accepts the packet (a report item follows), 0 refuses it. Each publishes at most one
// parameter; a decoder that publishes nothing leaves the lists as the reset left them.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/decoder_context.h"

namespace tessavo {

// Module type whose 0x3F responses carry the radio configuration.
inline constexpr uint32_t kModuleTypeB101 = 0xB101;
// The one debug message text that yields a report item for command 0x79.
inline constexpr char kPlayoutText[] = "Voice:: Media Start Playout";
// Event of a 0x60 report whose 4-byte payload tells the voice state.
inline constexpr uint16_t kVoiceStateEvent = 0x1A2;

// Publishes the two bytes after the command byte as structured parameter 0x7F0107F9.
uint32_t DecodeCommand20(DecoderContext& ctx, PacketView packet);
// Module type 0xB101 only: the low nibble of byte 1 mapped to 0x7F1C0001.
uint32_t DecodeCommand3F(DecoderContext& ctx, PacketView packet);
// Subsystem responses: the 0x0F form maps a u32 to 0x7F1C0001; the 0x0D/100 form renames the
// message code to 0x304B and publishes a 12-byte blob as 0x7F0107F8. Other forms: nothing.
uint32_t DecodeCommand4B(DecoderContext& ctx, PacketView packet);
// Publishes 0x7F1C8001 = 1.
uint32_t DecodeCommand5D(DecoderContext& ctx, PacketView packet);
// Event report: the voice-state event 0x1A2 sets 0x7F010014. Always rebuilds the lists.
uint32_t DecodeCommand60(DecoderContext& ctx, PacketView packet);
// Publishes 0x7F1C8001 = 1 when the u32 at offset 8 is 0, else 0.
uint32_t DecodeCommand73(DecoderContext& ctx, PacketView packet);
// Extended debug message: accepted (1) only when its text is the playout text.
uint32_t DecodeCommand79(DecoderContext& ctx, PacketView packet);
// Sets message code 0xEEAA0001; the item time comes from the host time (set by the caller).
uint32_t DecodeCommandDD(DecoderContext& ctx, PacketView packet);

// Log codes that wrap a command response: 0x40 as 0x3040, 0x63 as 0x3063.
inline constexpr uint16_t kPilotSetsWrapped = 0x3040;
inline constexpr uint16_t kStatusWrapped = 0x3063;
// A command 0x63 response shorter than this is refused.
inline constexpr int32_t kMinStatusLength = 39;

// A command, other than log packets (0x10), whose responses the dispatcher routes, and how.
struct CommandRoute {
    uint8_t command;
    // The response's decoder; null for a response that runs the decoders of the log code
    // wrapping it instead (after its OutFile record is built).
    uint32_t (*decode)(DecoderContext&, PacketView);
    uint16_t wrappedLog = 0;     // that log code
    int32_t minLength = 0;       // shorter responses are refused
    bool hostTimed = false;      // the item time is the host's; the decoder sets the message code
};

// The one list of routed commands: the dispatcher's, the tests' and the fuzzers'.
inline constexpr CommandRoute kCommandRoutes[] = {
    {.command = 0x20, .decode = DecodeCommand20},
    {.command = 0x3F, .decode = DecodeCommand3F},
    {.command = 0x40, .decode = nullptr, .wrappedLog = kPilotSetsWrapped},
    {.command = 0x4B, .decode = DecodeCommand4B},
    {.command = 0x5D, .decode = DecodeCommand5D},
    {.command = 0x60, .decode = DecodeCommand60},
    {.command = 0x63, .decode = nullptr, .wrappedLog = kStatusWrapped,
     .minLength = kMinStatusLength},
    {.command = 0x73, .decode = DecodeCommand73},
    {.command = 0x79, .decode = DecodeCommand79},
    {.command = 0xDD, .decode = DecodeCommandDD, .hostTimed = true},
};

// The route of `command`, or null when its responses are refused.
inline const CommandRoute* FindCommandRoute(uint8_t command) {
    for (const CommandRoute& r : kCommandRoutes) {
        if (r.command == command) return &r;
    }
    return nullptr;
}

}  // namespace tessavo
