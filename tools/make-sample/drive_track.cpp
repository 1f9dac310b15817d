#include "drive_track.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "drive_test.h"

namespace tessavo::sample {
namespace {

// The start of the road (metre 0) and its direction: due east.
constexpr double kStartLatitude = 22.5400000;
constexpr double kStartLongitude = 113.9500000;
constexpr double kMetresPerDegree = 111320.0;  // of latitude; of longitude times cos(latitude)
constexpr double kPi = 3.14159265358979323846;
// The capture starts at 2024-05-14 02:00:00 GPS time, which is 01:59:42 UTC (18 leap seconds).
constexpr int64_t kStartUtc = 1715652000 - 18;
constexpr uint64_t kEndMs = 320000;  // past the last EV-DO record at 319 s

std::string UtcText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &t);
#else
    gmtime_r(&t, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

}  // namespace

RoadPoint RoadPointAt(uint64_t ms) {
    const double metresPerLongitude = kMetresPerDegree * std::cos(kStartLatitude * kPi / 180.0);
    return {kStartLatitude, kStartLongitude + DrivePositionM(ms) / metresPerLongitude};
}

std::string DriveTrackGpx() {
    std::string gpx =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"tessavo-make-sample\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        "  <trk><name>drive_test</name><trkseg>\n";
    for (uint64_t ms = 0; ms <= kEndMs; ms += 1000) {
        char point[160];
        const RoadPoint at = RoadPointAt(ms);
        std::snprintf(point, sizeof point,
                      "    <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>%s</time></trkpt>\n", at.latitude,
                      at.longitude, UtcText(kStartUtc + static_cast<int64_t>(ms / 1000)).c_str());
        gpx += point;
    }
    gpx += "  </trkseg></trk>\n</gpx>\n";
    return gpx;
}

}  // namespace tessavo::sample
