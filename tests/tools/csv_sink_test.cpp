// The CSV table: columns for the parameters the input sets (found by a first pass over the
// same items), values carried forward; item times are UTC (TZ=CST-8: 315964801 is one
// second after the GPS epoch).
#include "csv_sink.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace tessavo::cli {
namespace {

ItemView Item(int64_t index, std::vector<DecodeParam> current) {
    ItemView item;
    item.index = index;
    item.msgCode = 0xB101102D;
    item.direction = 2;
    item.time = {static_cast<int32_t>(315964801 + index), 0};
    item.identity.logCode = 0x102D;
    item.currentParams = std::move(current);
    return item;
}

TEST(CsvSink, CarriesLastKnownValuesForwardAndEmptiesClearedOnes) {
    constexpr int32_t kFresh = TESSAVO_STATE_FRESH;
    constexpr int32_t kCleared = TESSAVO_STATE_CLEARED;
    // rx_power (0x7F010001, scale 1000), finger_count (0x7F010008) and the command flag
    // (0x7F1C8001, the last slot); the columns follow the catalogue order, not the order
    // of first appearance. 0x7F010002 is only ever cleared: it gets no column.
    std::vector<ItemView> items = {
        Item(0, {{kFresh, 0x7F010008, 3, 1},
                 {kFresh, 0x7F010001, -85500, 1000},
                 {kCleared, 0x7F010002, 0, 1000}}),
        Item(1, {}), Item(2, {{kCleared, 0x7F010001, -85500, 1000}, {kFresh, 0x7F010008, 4, 1}}),
        Item(3, {{kFresh, 0x7F1C8001, 1, 1}}), Item(4, {{kFresh, 0x7F010001, -90125, 1000}})};
    items[4].identity = PacketIdentity{{}, 0x73};
    items[4].msgCode = 0xB1013073;
    ColumnDiscovery discovery;
    for (const ItemView& item : items) discovery.Consume(item);
    std::ostringstream out;
    ItemClock clock;
    CsvSink sink(out, discovery.Columns(), false, clock);
    for (const ItemView& item : items) sink.Consume(item);
    sink.Finish(RunStats{});

    EXPECT_EQ(out.str(),
              "index,time,msg_code,log_code,direction,rx_power,finger_count,cmd_flag\n"
              "0,1980-01-06T00:00:01.000000Z,0xb101102d,0x102d,2,-85.5,3,\n"
              "1,1980-01-06T00:00:02.000000Z,0xb101102d,0x102d,2,-85.5,3,\n"
              "2,1980-01-06T00:00:03.000000Z,0xb101102d,0x102d,2,,4,\n"
              "3,1980-01-06T00:00:04.000000Z,0xb101102d,0x102d,2,,4,1\n"
              "4,1980-01-06T00:00:05.000000Z,0xb1013073,cmd:0x73,2,-90.125,4,1\n");
}

}  // namespace
}  // namespace tessavo::cli
