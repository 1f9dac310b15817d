// The capture's own position fixes: which position records are fixes, and the map placed by
// them (points waiting for the next fix, none across a gap) or, given, by a GPS track instead.
#include "position_fix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "analysis_fixture.h"
#include "log_records.h"
#include "map_sink.h"

namespace tessavo::test {
namespace {

using sample::Bytes;

// 0x1014: six bytes, longitude text (9 characters) and latitude text (8) in 1e-5 degree, two
// 3-character fields and two bytes.
Bytes Position(const std::string& longitude, const std::string& latitude) {
    Bytes b(6, 0);
    b.insert(b.end(), longitude.begin(), longitude.end());
    b.insert(b.end(), latitude.begin(), latitude.end());
    b.insert(b.end(), {'0', '0', '7', '0', '0', '1', 0, 0});
    return b;
}

std::vector<std::optional<cli::GpsFix>> FixesOf(const Bytes& capture) {
    const cli::ItemClock clock;
    std::vector<std::optional<cli::GpsFix>> fixes;
    Decode(capture,
           [&](const cli::ItemView& item) { fixes.push_back(cli::CaptureFix(item, clock)); });
    return fixes;
}

// The capture starts at 02:00:00 GPS time on 2024-05-14, 01:59:42 UTC.
constexpr int64_t kStartUtc = (1715652000LL - 18) * 1000000;

TEST(PositionFix, RecordsThatHoldAPosition) {
    const struct {
        const char* lon;
        const char* lat;
        std::optional<std::pair<double, double>> fix;  // latitude, longitude
    } cases[] = {
        {"011395000", "02254000", std::pair(22.54, 113.95)},
        {"-12212345", "03745678", std::pair(37.45678, -122.12345)},
        {"011395000", "-3352120", std::pair(-33.5212, 113.95)},
        {"000000000", "00000000", std::nullopt},  // no fix yet: 0/0
        {"999999999", "02254000", std::nullopt},  // longitude beyond 180 degrees
        {"011395000", "09500000", std::nullopt},  // latitude beyond 90 degrees
        {"abcdefghi", "xxxxxxxx", std::nullopt},  // no number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.lon) + " " + c.lat);
        const auto fixes = FixesOf(Capture({{1500, 0x1014, Position(c.lon, c.lat)}}));
        ASSERT_EQ(fixes.size(), 1u);
        ASSERT_EQ(fixes[0].has_value(), c.fix.has_value());
        if (!c.fix) continue;
        EXPECT_EQ(fixes[0]->utcMicroseconds, kStartUtc + 1500000);
        EXPECT_NEAR(fixes[0]->latitude, c.fix->first, 1e-9);
        EXPECT_NEAR(fixes[0]->longitude, c.fix->second, 1e-9);
    }
}

// Searcher reports at `seconds`, each a measurement point of the map.
std::vector<TimedRecord> Reports(std::initializer_list<double> seconds) {
    std::vector<TimedRecord> records;
    for (double s : seconds) {
        sample::SearcherReport r;
        r.channel = 283;
        r.rxDbm = -80;
        r.fingers = {{168, -6}};
        records.push_back({static_cast<uint64_t>(s * 1000), 0x119A, sample::SearcherRecord119A(r)});
    }
    return records;
}

// (longitude, latitude) of each measurement point of the GeoJSON the map sink writes.
std::vector<std::pair<double, double>> MapPoints(const std::vector<TimedRecord>& records,
                                                 std::optional<cli::GpsTrack> track) {
    std::vector<TimedRecord> sorted = records;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TimedRecord& a, const TimedRecord& b) { return a.ms < b.ms; });
    std::ostringstream out;
    const cli::ItemClock clock;
    cli::MapSink sink(out, clock, std::move(track), cli::MapFormat::kGeoJson);
    Decode(Capture(sorted), [&](const cli::ItemView& item) { sink.Consume(item); });
    sink.Finish({});
    const nlohmann::json map = nlohmann::json::parse(out.str());
    std::vector<std::pair<double, double>> points;
    for (const auto& feature : map["features"]) {
        if (feature["properties"]["kind"] != "measurement") continue;
        const auto& at = feature["geometry"]["coordinates"];
        points.emplace_back(at[0].get<double>(), at[1].get<double>());
    }
    return points;
}

TEST(PositionFix, MapPlacedByTheCaptureOrByATrack) {
    // Fixes at 1 s (10 N 100 E), 3 s (11 N 102 E) and 20 s (12 N 103 E); reports before the
    // first fix, between the first two, on the second, across the 17 s gap and after the last.
    std::vector<TimedRecord> records = Reports({0.5, 2, 3, 10, 21});
    records.push_back({1000, 0x1014, Position("010000000", "01000000")});
    records.push_back({3000, 0x1014, Position("010200000", "01100000")});
    records.push_back({20000, 0x1014, Position("010300000", "01200000")});
    const std::vector<std::pair<double, double>> fromCapture = {{101, 10.5}, {102, 11}};
    const auto placed = MapPoints(records, std::nullopt);
    ASSERT_EQ(placed.size(), fromCapture.size());
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_NEAR(placed[i].first, fromCapture[i].first, 1e-9);
        EXPECT_NEAR(placed[i].second, fromCapture[i].second, 1e-9);
    }

    // A track given replaces the capture's fixes: 50 N 5 E at 1 s, 52 N 7 E at 3 s.
    cli::GpsTrack track;
    ASSERT_TRUE(
        track.Parse("<gpx><trkpt lat=\"50\" lon=\"5\"><time>2024-05-14T01:59:43Z</time></trkpt>"
                    "<trkpt lat=\"52\" lon=\"7\"><time>2024-05-14T01:59:45Z</time></trkpt></gpx>"));
    const auto byTrack = MapPoints(records, track);
    ASSERT_EQ(byTrack.size(), 2u);
    EXPECT_NEAR(byTrack[0].first, 6, 1e-9);
    EXPECT_NEAR(byTrack[0].second, 51, 1e-9);
    EXPECT_NEAR(byTrack[1].first, 7, 1e-9);
}

}  // namespace
}  // namespace tessavo::test
