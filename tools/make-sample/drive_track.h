// The GPS track of the sample's drive: where the car was, once a second, as a GPX 1.1 file
// (samples/drive_test.gpx) that a GPS logger beside the handset would have written. The road
// runs due east; the car's distance along it is the one the radio model uses.
#pragma once

#include <string>

namespace tessavo::sample {

std::string DriveTrackGpx();

}  // namespace tessavo::sample
