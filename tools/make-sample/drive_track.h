// The GPS track of the sample's drive: where the car was, once a second, as a GPX 1.1 file
// (samples/drive_test.gpx) that a GPS logger beside the handset would have written, and as
// the handset's own position fixes in the capture. The road runs due east; the car's
// distance along it is the one the radio model uses.
#pragma once

#include <cstdint>
#include <string>

namespace tessavo::sample {

struct RoadPoint {
    double latitude;   // degrees
    double longitude;  // degrees
};

// Where the car is `ms` milliseconds into the capture.
RoadPoint RoadPointAt(uint64_t ms);

std::string DriveTrackGpx();

}  // namespace tessavo::sample
