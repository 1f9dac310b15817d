// The tool's small GPS track reader: GPX points and NMEA sentences as a logger writes them,
// the sentences it must skip, and positions between fixes.
#include <gtest/gtest.h>

#include <cmath>

#include "gps_track.h"

namespace tessavo::test {
namespace {

// 2020-01-01T12:00:00Z in microseconds since 1970.
constexpr int64_t kNoon = 1577880000LL * 1000000;

struct TrackCase {
    const char* name;
    const char* text;
    std::vector<cli::GpsFix> fixes;
};

TEST(GpsTrack, ReadsGpxAndNmea) {
    const std::vector<TrackCase> cases = {
        {"GPX: attributes in either order and quoting, fraction of a second",
         "<?xml version=\"1.0\"?><gpx><trk><trkseg>"
         "<trkpt lat=\"22.5\" lon=\"113.9\"><ele>3</ele><time>2020-01-01T12:00:00Z</time></trkpt>"
         "<trkpt lon='-0.25' lat='-1.5'><time>2020-01-01T12:00:01.5Z</time></trkpt>"
         "<trkpt lat=\"1\" lon=\"2\"></trkpt>"  // no time: not a fix
         "</trkseg></trk></gpx>",
         {{kNoon, 22.5, 113.9}, {kNoon + 1500000, -1.5, -0.25}}},
        {"NMEA: southern and western hemispheres; GGA takes the RMC date",
         "$GPGGA,115959.00,3352.0000,S,15112.0000,E,1,08,0.9,10.0,M,0.0,M,,*70\n"  // before a date
         "$GPRMC,120000.00,A,3352.1200,S,15112.6000,W,0.0,0.0,010120,,,A*54\r\n"
         "$GPRMC,120001.00,V,,,,,,,010120,,,N*7D\n"                                 // no fix
         "$GPGGA,120002.00,3352.1800,S,15112.6600,W,0,08,0.9,10.0,M,0.0,M,,*6B\n"  // quality 0
         "$GPGGA,120003.00,3352.2400,S,15112.7200,W,1,08,0.9,10.0,M,0.0,M,,*61\n"
         "$GPGGA,120004.00,3352.3000,S,15112.7800,W,1,08,0.9,10.0,M,0.0,M,,*00\n",  // bad sum
         {{kNoon, -(33 + 52.12 / 60), -(151 + 12.6 / 60)},
          {kNoon + 3000000, -(33 + 52.24 / 60), -(151 + 12.72 / 60)}}},
    };
    for (const TrackCase& c : cases) {
        SCOPED_TRACE(c.name);
        cli::GpsTrack track;
        EXPECT_TRUE(track.Parse(c.text));
        ASSERT_EQ(track.Fixes().size(), c.fixes.size());
        for (size_t i = 0; i < c.fixes.size(); ++i) {
            EXPECT_EQ(track.Fixes()[i].utcMicroseconds, c.fixes[i].utcMicroseconds);
            EXPECT_NEAR(track.Fixes()[i].latitude, c.fixes[i].latitude, 1e-9);
            EXPECT_NEAR(track.Fixes()[i].longitude, c.fixes[i].longitude, 1e-9);
        }
    }
    cli::GpsTrack empty;
    EXPECT_FALSE(empty.Parse("no fixes here\n$GPRMC,garbage*00\n<gpx></gpx>"));
}

TEST(GpsTrack, LocatesBetweenFixesNotAcrossGaps) {
    cli::GpsTrack track;
    ASSERT_TRUE(track.Parse(
        "<gpx><trkpt lat=\"10\" lon=\"100\"><time>2020-01-01T12:00:00Z</time></trkpt>"
        "<trkpt lat=\"11\" lon=\"101\"><time>2020-01-01T12:00:05Z</time></trkpt>"
        "<trkpt lat=\"12\" lon=\"102\"><time>2020-01-01T12:00:20Z</time></trkpt></gpx>"));
    const std::vector<std::pair<double, double>> cases = {
        {-1, NAN}, {0, 10}, {2.5, 10.5}, {5, 11}, {12, NAN}, {20, 12}, {21, NAN}};
    for (const auto& [seconds, latitude] : cases) {
        SCOPED_TRACE(seconds);
        auto at = track.Locate(kNoon + static_cast<int64_t>(seconds * 1e6));
        EXPECT_EQ(at.has_value(), !std::isnan(latitude));
        if (at) {
            EXPECT_DOUBLE_EQ(at->latitude, latitude);
        }
    }
}

}  // namespace
}  // namespace tessavo::test
