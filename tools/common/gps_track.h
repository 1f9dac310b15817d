// A GPS track read from a GPX 1.1 file (track points with a time) or NMEA 0183 sentences
// (RMC with its date, GGA with a fix taking the last RMC date), to place items on a map.
// Fixes may also be added one at a time (the capture's own, position_fix.h). Positions between
// two fixes are interpolated linearly; there is none across a gap between fixes longer than
// `maxGapSeconds`, before the first fix or after the last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessavo::cli {

// No position is given across a longer gap between two fixes.
inline constexpr double kMaxFixGapSeconds = 10.0;

struct GpsFix {
    int64_t utcMicroseconds;  // since 1970-01-01T00:00:00Z
    double latitude;
    double longitude;
};

struct Position {
    double latitude;
    double longitude;
};

class GpsTrack {
  public:
    // The content decides the format: GPX when it starts with '<', else NMEA. False with
    // `error` set when nothing could be read.
    bool Read(const std::string& path, std::string& error);
    bool Parse(std::string_view text);
    // Keeps the time order; a second fix at a time already held is left out, as Parse does.
    void Add(const GpsFix& fix);

    std::optional<Position> Locate(int64_t utcMicroseconds,
                                   double maxGapSeconds = kMaxFixGapSeconds) const;
    const std::vector<GpsFix>& Fixes() const { return fixes_; }

  private:
    void ParseGpx(std::string_view text);
    void ParseNmea(std::string_view text);

    std::vector<GpsFix> fixes_;  // in time order, one per time
};

}  // namespace tessavo::cli
