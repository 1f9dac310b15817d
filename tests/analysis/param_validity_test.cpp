// Validity rules in the wide CSV state view: a measurement is shown only within its window
// after the packet that set it, a traffic value only on traffic, an EV-DO value only while
// EV-DO is not inactive; --carry-forward all keeps every last-known value.
#include <algorithm>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "csv_sink.h"
#include "decoder_session.h"

namespace tessavo::test {
namespace {

using Row = std::vector<std::string>;

std::vector<Row> StateView(const std::string& path, const std::vector<std::string>& params,
                           bool carryAll) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << path;
    std::ostringstream out;
    const cli::ItemClock clock;
    cli::CsvSink sink(out, cli::ColumnsFromNames(params), false, clock);
    sink.SetCarryForwardAll(carryAll);
    cli::CliOptions options;
    cli::DecoderSession session(options, cli::ItemSelection{},
                                [&](const cli::ItemView& item) { sink.Consume(item); }, std::cerr);
    EXPECT_TRUE(session.Open());
    session.FeedStream(bytes, path, 0);
    sink.Finish({});
    std::vector<Row> rows;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        Row row;
        std::istringstream cells(line + ',');
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}

// The column of `name` in the header row.
size_t Column(const std::vector<Row>& rows, const std::string& name) {
    const Row& header = rows.at(0);
    return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
}

// Seconds of a row's time ("2024-05-14T02:00:22.500000Z") within its day.
double DaySeconds(const Row& row) {
    const std::string& t = row[1];
    return std::stod(t.substr(11, 2)) * 3600 + std::stod(t.substr(14, 2)) * 60 +
           std::stod(t.substr(17, 9));
}

// The sample's 1x logs end 240 s into the drive (02:00:00 less the 18 leap seconds of 2024,
// so 01:59:42 + 240 s = 02:03:42): the last searcher report is at 239.6 s, and five seconds
// later its receive power is no longer shown. Transmit power is a traffic value: none between
// the calls (88.0-120.6 s on traffic from the first forward message).
TEST(ParamValidity, SampleOneXEnd) {
    constexpr double kStart = 2 * 3600 - 18;
    for (bool carryAll : {false, true}) {
        SCOPED_TRACE(carryAll ? "carry forward all" : "valid only");
        const std::vector<Row> rows =
            StateView(TESSAVO_SAMPLE_FILE, {"rx_power", "tx_power"}, carryAll);
        ASSERT_GT(rows.size(), 2000u);
        const size_t rxAt = Column(rows, "rx_power");
        const size_t txAt = Column(rows, "tx_power");
        ASSERT_LT(txAt, rows[0].size());
        size_t checked = 0;
        for (size_t i = 1; i < rows.size(); ++i) {
            const double s = DaySeconds(rows[i]) - kStart;
            const std::string& rx = rows[i][rxAt];
            if (s > 10 && s < 239.6) {
                EXPECT_FALSE(rx.empty()) << rows[i][0];
            }
            if (s > 244.7) {
                EXPECT_EQ(rx.empty(), !carryAll) << rows[i][0];
                ++checked;
            }
            if (s > 95 && s < 118) {
                EXPECT_TRUE(rows[i][txAt].empty()) << rows[i][0];
            }
            if (s > 45 && s < 85) {
                EXPECT_FALSE(rows[i][txAt].empty()) << rows[i][0];
            }
        }
        EXPECT_GT(checked, 100u);
    }
}

// The sprint capture's EV-DO goes inactive at 19:18:57Z and stays so to its end at 01:47Z:
// serving PN 78 and channel 225 are shown until then, never after.
TEST(ParamValidity, SprintEvdoEnd) {
    const char* captures = std::getenv("TESSAVO_CAPTURES");
    const std::string path =
        std::string(captures != nullptr ? captures : TESSAVO_CAPTURES_DIR) + "/sprint_2015.mi2log";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
    for (bool carryAll : {false, true}) {
        SCOPED_TRACE(carryAll ? "carry forward all" : "valid only");
        const std::vector<Row> rows =
            StateView(path, {"do_state", "do_serving_pn", "do_channel"}, carryAll);
        const size_t stateAt = Column(rows, "do_state");
        const size_t pnAt = Column(rows, "do_serving_pn");
        const size_t channelAt = Column(rows, "do_channel");
        ASSERT_LT(channelAt, rows[0].size());
        const Row& last = rows.back();
        EXPECT_EQ(last[stateAt], "0");  // inactive
        EXPECT_EQ(last[pnAt], carryAll ? "78" : "");
        EXPECT_EQ(last[channelAt], carryAll ? "225" : "");
        size_t inactive = 0;
        for (const Row& row : rows) {
            if (row[1] < "2015-08-16T19:18:57" || row[stateAt] != "0") continue;
            ++inactive;
            if (!carryAll) {
                EXPECT_TRUE(row[pnAt].empty() && row[channelAt].empty()) << row[0];
            }
        }
        EXPECT_GT(inactive, 1000u);
    }
}

}  // namespace
}  // namespace tessavo::test
