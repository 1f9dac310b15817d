// The bundled drive-test capture: about four minutes of a 1x handset driving past four cell
// sites, idle on the paging channel, answering a voice call, idle again, then a data call with
// soft handoffs and one hard handoff to another frequency, and back to idle; then an EV-DO
// data session (evdo_session.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diag_frame_writer.h"

namespace tessavo::sample {

// What the capture holds, counted while it is written.
struct FrameTally {
    int frames = 0;         // frames with a good check sequence
    int throttled = 0;      // of those, sent inside the sampling interval of the previous one
    int itemsPerFrame = 1;  // packed logs: the whole packet plus one item per record
};

// A call, connection or handoff event the capture holds, at the time of the message that
// completes it, named as the drive analysis names its events.
struct SampleEvent {
    uint64_t ms;
    std::string name;
    std::string details;
};

struct SampleLedger {
    std::map<uint16_t, FrameTally> logs;     // by log code
    std::map<uint8_t, FrameTally> commands;  // by command code
    int damagedFrames = 0;                   // a bit flipped after the check bytes were computed
    int junkRuns = 0;                        // bytes between frames, each run closed by 0x7E
    int bareFlags = 0;                       // a 0x7E with nothing before it
    uint64_t firstTicks = 0;
    uint64_t lastTicks = 0;
    std::vector<SampleEvent> events;  // in time order
};

struct DriveTestCapture {
    Bytes bytes;
    SampleLedger ledger;
};

DriveTestCapture MakeDriveTest();

// Metres the car has driven along the road `ms` milliseconds into the capture.
double DrivePositionM(uint64_t ms);

// The 8-byte DIAG time stamp (as a little-endian u64) of a time in the capture, in
// milliseconds from its start.
uint64_t CaptureStamp(uint64_t ms);

}  // namespace tessavo::sample
