// The CSV table: columns for the parameters the input sets, values carried forward.
#include "csv_sink.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tessavo::cli {
namespace {

ItemView Item(int64_t index, int32_t seconds, std::vector<DecodeParam> current) {
    ItemView item;
    item.index = index;
    item.msgCode = 0xB101102D;
    item.direction = 2;
    item.time = {seconds, 0};
    item.identity.logCode = 0x102D;
    item.currentParams = std::move(current);
    return item;
}

DecodeParam Fresh(uint32_t id, int32_t value, int32_t scale) {
    return {TESSAVO_STATE_FRESH, id, value, scale};
}

TEST(CsvSink, CarriesLastKnownValuesForwardAndEmptiesClearedOnes) {
    std::ostringstream out;
    CsvSink sink(out);
    // rx_power (0x7F010001, scale 1000), finger_count (0x7F010008) and the command flag
    // (0x7F1C8001, the last slot); the columns follow the catalogue order, not the order
    // of first appearance.
    sink.Consume(Item(0, 315964801, {Fresh(0x7F010008, 3, 1), Fresh(0x7F010001, -85500, 1000)}));
    sink.Consume(Item(1, 315964802, {}));
    sink.Consume(
        Item(2, 315964803,
             {{TESSAVO_STATE_CLEARED, 0x7F010001, -85500, 1000}, Fresh(0x7F010008, 4, 1)}));
    sink.Consume(Item(3, 315964804, {Fresh(0x7F1C8001, 1, 1)}));
    ItemView command = Item(4, 315964805, {Fresh(0x7F010001, -90125, 1000)});
    command.identity = PacketIdentity{{}, 0x73};
    command.msgCode = 0xB1013073;
    sink.Consume(command);
    sink.Finish(RunStats{});

    EXPECT_EQ(out.str(),
              "index,time,msg_code,log_code,direction,rx_power,finger_count,cmd_flag\n"
              "0,1980-01-06T08:00:01.000000+08:00,0xb101102d,0x102d,2,-85.5,3,\n"
              "1,1980-01-06T08:00:02.000000+08:00,0xb101102d,0x102d,2,-85.5,3,\n"
              "2,1980-01-06T08:00:03.000000+08:00,0xb101102d,0x102d,2,,4,\n"
              "3,1980-01-06T08:00:04.000000+08:00,0xb101102d,0x102d,2,,4,1\n"
              "4,1980-01-06T08:00:05.000000+08:00,0xb1013073,cmd:0x73,2,-90.125,4,1\n");
}

TEST(CsvSink, NoItemsGiveTheHeaderOnly) {
    std::ostringstream out;
    CsvSink sink(out);
    sink.Finish(RunStats{});
    EXPECT_EQ(out.str(), "index,time,msg_code,log_code,direction\n");
}

TEST(CsvSink, AClearedParameterNeverSetIsNoColumn) {
    std::ostringstream out;
    CsvSink sink(out);
    sink.Consume(Item(0, 315964801, {{TESSAVO_STATE_CLEARED, 0x7F010002, 0, 1000}}));
    sink.Finish(RunStats{});
    EXPECT_EQ(out.str(),
              "index,time,msg_code,log_code,direction\n"
              "0,1980-01-06T08:00:01.000000+08:00,0xb101102d,0x102d,2\n");
}

}  // namespace
}  // namespace tessavo::cli
