// Over-the-air signalling messages of the second air interface received by the handset: log
// codes 0x1078, 0x1079 and 0x107C.
//
// Every message log starts with the same 13-byte header, read LSB-first:
//
//   byte 0      band class (published by 0x107C as 0x7F01800E)
//   bytes 1-2   channel number (0x7F01800D, the reference value)
//   bytes 3-4   pilot PN of the sector (0x7F01800F, the reference sector); 65535 when unknown
//   bytes 5-6   a 16-bit field
//   byte 7      three 1-bit fields; the byte's top 3 bits also enter the message code
//   bytes 8-10  three bytes (8 and 9 are copied into the pilot assignment blob)
//   byte 11     message identifier
//   byte 12     message sub-kind
//
// The report item's message code (log code, identifier with protocol, sub-kind) selects what
// the message body carries. Receiving any of these messages means the handset is not on a 1x
// traffic channel: the channel state goes back to idle and the traffic-only parameters are
// cleared.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

struct MessageHeader {
    uint8_t bandClass = 0;
    uint16_t channel = 0;
    uint16_t sector = 0;
    uint16_t sequence = 0;
    uint8_t flag0 = 0, flag1 = 0, flag2 = 0;
    std::array<uint8_t, 3> bytes8{};  // header bytes 8, 9, 10
    uint8_t identifier = 0;
    uint8_t subKind = 0;
};

// The overhead message (identifier 15, sub-kind 0) whose flag bits mark the forward traffic
// channels in use: 0x7F01830B counts the set ones.
struct TrafficValidRecord {
    uint16_t word0 = 0;
    std::array<uint16_t, 3> bigEndianWords{};
    uint8_t m = 0;         // first flag count
    uint8_t g = 0;         // whether a second group follows
    uint8_t m2 = 0;        // second flag count
    int32_t setFlags = 0;  // flag bits read that are 1
    bool parsed = false;
};

// Multi-pilot assignment (message codes 0x1E01 of these logs), as published in 0x7F0107FB.
inline constexpr int kMaxSubActiveSets = 16;
inline constexpr int kPilotSlotsPerSet = 6;
inline constexpr int kMaxAssignedPilots = 6;  // slots filled in the whole blob
struct AssignedPilot {
    uint16_t pn = 0;
    uint8_t softerHandoff = 0;
    uint8_t macIndex = 0;
    uint8_t drcCover = 0;
    uint8_t rabLength = 0;
    uint8_t rabOffset = 0;
};
struct SubActiveSet {
    uint16_t channel = 0;
    uint8_t bandClass = 0;
    uint8_t pilotCount = 0;   // pilots the message lists for this set
    uint8_t storedCount = 0;  // of them, stored in the slots
    std::array<AssignedPilot, kPilotSlotsPerSet> pilots{};
};
struct PilotAssignmentRecord {
    uint8_t sequence = 0;
    uint8_t frameOffset = 0;
    uint8_t setCount = 0;  // sub-active sets read, at most 16
    std::array<SubActiveSet, kMaxSubActiveSets> sets{};
    uint8_t header8 = 0, header9 = 0;
};
inline constexpr size_t kPilotAssignmentBlobSize = 1804;

// Returns 1 when it ran, 0 for an empty packet.
int ParseMessageHeader(PacketView packet, MessageHeader& header);
int ParseTrafficValid(PacketView packet, TrafficValidRecord& rec);
int ParsePilotAssignment(PacketView packet, PilotAssignmentRecord& rec);
// The blob of 0x7F0107FB.
std::array<uint8_t, kPilotAssignmentBlobSize> PilotAssignmentBlob(const PilotAssignmentRecord& rec);

void HandleSignalling1078(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSignalling1079(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSignalling107C(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo
