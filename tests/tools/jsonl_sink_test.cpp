#include "jsonl_sink.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

namespace tessavo::cli {
namespace {

using Json = nlohmann::json;

TEST(JsonlSink, StateNames) {
    EXPECT_EQ(ParamStateName(1), "fresh");
    EXPECT_EQ(ParamStateName(0), "inherited");
    EXPECT_EQ(ParamStateName(-1), "cleared");
    EXPECT_EQ(ParamStateName(-2), "retired");
    EXPECT_EQ(ParamStateName(7), "7");
}

TEST(JsonlSink, OneObjectPerItemWithEveryField) {
    const std::vector<uint8_t> blob = {0x01, 0x00, 0x7E, 0xFF};
    const std::vector<uint8_t> dtlog = {'D', 'M', '\t', '1', '\n'};
    const std::vector<uint8_t> outFile = {0x20, 0x00};
    ItemView item;
    item.index = 7;
    item.msgCode = 0xB101102D;
    item.direction = 2;
    item.time = {315964801, 1250};
    item.identity.logCode = 0x102D;
    item.currentParams = {{1, 0x7F010001, -85500, 1000}, {-1, 0x7F010008, 3, 1}};
    item.inheritedParams = {{0, 0x7F010018, 28, 1}};
    // An ID the tables do not have keeps a generic name and an empty unit.
    item.inheritedParams.push_back({0, 0x7F01001B, 5, 1});
    item.currentStructs = {{1, 0x7F0107E2, 20, blob}};
    item.inheritedStructs = {{0, 0x7F0107D5, 172, {}}};
    item.dtlog = dtlog;
    item.outFile = outFile;

    std::ostringstream out;
    JsonlSink sink(out, JsonlFields{true, true, true, true});
    sink.Consume(item);
    sink.Consume(item);
    sink.Finish(RunStats{});

    std::istringstream lines(out.str());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        Json json = Json::parse(line);
        EXPECT_EQ(json["index"], 7);
        EXPECT_EQ(json["time"], "1980-01-06T08:00:01.001250+08:00");
        EXPECT_EQ(json["time_raw"], Json::array({315964801, 1250}));
        EXPECT_EQ(json["msg_code"], "0xb101102d");
        EXPECT_EQ(json["log_code"], "0x102d");
        EXPECT_TRUE(json["command"].is_null());
        EXPECT_EQ(json["direction"], 2);
        ASSERT_EQ(json["params"].size(), 2u);
        const Json& rx = json["params"][0];
        EXPECT_EQ(rx["id"], "0x7f010001");
        EXPECT_EQ(rx["name"], "rx_power");
        EXPECT_EQ(rx["unit"], "dBm");
        EXPECT_DOUBLE_EQ(rx["value"].get<double>(), -85.5);
        EXPECT_EQ(rx["raw"], -85500);
        EXPECT_EQ(rx["scale"], 1000);
        EXPECT_EQ(rx["state"], "fresh");
        const Json& fingers = json["params"][1];
        EXPECT_EQ(fingers["name"], "finger_count");
        EXPECT_TRUE(fingers["value"].is_number_integer());
        EXPECT_EQ(fingers["value"], 3);
        EXPECT_EQ(fingers["state"], "cleared");
        ASSERT_EQ(json["struct_params"].size(), 1u);
        EXPECT_EQ(json["struct_params"][0]["id"], "0x7f0107e2");
        EXPECT_EQ(json["struct_params"][0]["name"], "rec1062");
        EXPECT_EQ(json["struct_params"][0]["length"], 20);
        EXPECT_EQ(json["struct_params"][0]["hex"], "01007eff");
        ASSERT_EQ(json["inherited_params"].size(), 2u);
        EXPECT_EQ(json["inherited_params"][0]["name"], "t_add");
        EXPECT_EQ(json["inherited_params"][0]["state"], "inherited");
        EXPECT_EQ(json["inherited_params"][1]["name"], "param_7f01001b");
        EXPECT_EQ(json["inherited_params"][1]["unit"], "");
        ASSERT_EQ(json["inherited_struct_params"].size(), 1u);
        EXPECT_EQ(json["inherited_struct_params"][0]["name"], "finger_list");
        EXPECT_EQ(json["dtlog"], "DM\t1\n");
        EXPECT_EQ(json["outfile"], "2000");
        EXPECT_EQ(json["compact"], "");
    }
    EXPECT_EQ(count, 2);
}

TEST(JsonlSink, OptionalFieldsOnlyWhenAsked) {
    ItemView item;
    item.msgCode = 0xEEAA0001;
    item.identity.command = 0xDD;
    std::ostringstream out;
    JsonlSink sink(out, JsonlFields{});
    sink.Consume(item);
    Json json = Json::parse(out.str());
    EXPECT_TRUE(json["log_code"].is_null());
    EXPECT_EQ(json["command"], "0xdd");
    EXPECT_EQ(json["params"], Json::array());
    for (const char* key :
         {"inherited_params", "inherited_struct_params", "dtlog", "outfile", "compact"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }
}

TEST(JsonlSink, TextThatIsNotUtf8StillGivesValidJson) {
    const std::vector<uint8_t> dtlog = {'U', 'I', '\t', 0xFF, 0xC3, '\n'};
    ItemView item;
    item.dtlog = dtlog;
    std::ostringstream out;
    JsonlSink sink(out, JsonlFields{false, true, false, false});
    sink.Consume(item);
    Json json = Json::parse(out.str());
    EXPECT_EQ(json["dtlog"].get<std::string>().substr(0, 3), "UI\t");
}

}  // namespace
}  // namespace tessavo::cli
