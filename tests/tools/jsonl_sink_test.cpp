// What the end-to-end tests cannot reach: scaled values, every state, unknown IDs, the side
// blocks, and fields left out unless asked for.
#include "jsonl_sink.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

namespace tessavo::cli {
namespace {

using Json = nlohmann::json;

Json Write(const ItemView& item, JsonlFields fields) {
    std::ostringstream out;
    ItemClock clock;
    ItemFilter all;
    JsonlSink sink(out, fields, clock, all);
    sink.Consume(item);
    sink.Finish(RunStats{});
    return Json::parse(out.str());
}

TEST(JsonlSink, StatesScalesUnknownIdsAndSideBlocks) {
    EXPECT_EQ(ParamStateName(-2), "retired");
    EXPECT_EQ(ParamStateName(7), "7");
    const std::vector<uint8_t> blob = {0x01, 0x00, 0x7E, 0xFF};
    // Text that is not UTF-8 still gives valid JSON.
    const std::vector<uint8_t> dtlog = {'U', 'I', '\t', 0xFF, 0xC3, '\n'};
    const std::vector<uint8_t> outFile = {0x20, 0x00};
    ItemView item;
    // An enumeration carries the label of its value, or null for a value without one.
    item.currentParams = {{1, 0x7F010001, -85500, 1000},
                          {-1, 0x7F010008, 3, 1},
                          {1, 0x7F018302, 5, 1},
                          {1, 0x7F01C102, 9, 1}};
    // An ID the tables do not have keeps a generic name and an empty unit.
    item.inheritedParams = {{0, 0x7F01001B, 5, 1}};
    // The length shown is the record's; the hex is the bytes the reader handed over.
    item.currentStructs = {{1, 0x7F0107E2, 20, blob}};
    item.inheritedStructs = {{0, 0x7F0107D5, 172, {}}};
    item.dtlog = dtlog;
    item.outFile = outFile;
    Json json = Write(item, JsonlFields{true, true, true, true});

    EXPECT_EQ(json["params"][0], Json::parse(R"({"id": "0x7f010001", "name": "rx_power",
        "unit": "dBm", "value": -85.5, "raw": -85500, "scale": 1000, "state": "fresh"})"));
    EXPECT_TRUE(json["params"][1]["value"].is_number_integer());
    EXPECT_EQ(json["params"][1]["state"], "cleared");
    EXPECT_FALSE(json["params"][1].contains("label"));
    EXPECT_EQ(json["params"][2]["label"], "connected");
    EXPECT_TRUE(json["params"][3]["label"].is_null());
    EXPECT_EQ(json["inherited_params"][0]["name"], "param_7f01001b");
    EXPECT_EQ(json["inherited_params"][0]["unit"], "");
    EXPECT_EQ(json["struct_params"][0]["length"], 20);
    EXPECT_EQ(json["struct_params"][0]["hex"], "01007eff");
    EXPECT_EQ(json["inherited_struct_params"][0]["name"], "finger_list");
    EXPECT_EQ(json["dtlog"].get<std::string>().substr(0, 3), "UI\t");
    EXPECT_EQ(json["outfile"], "2000");
    EXPECT_EQ(json["compact"], "");
}

TEST(JsonlSink, OptionalFieldsOnlyWhenAsked) {
    ItemView item;
    item.msgCode = 0xEEAA0001;
    item.identity.command = 0xDD;
    Json json = Write(item, JsonlFields{});
    EXPECT_TRUE(json["log_code"].is_null());
    EXPECT_EQ(json["command"], "0xdd");
    for (const char* key :
         {"inherited_params", "inherited_struct_params", "dtlog", "outfile", "compact"}) {
        EXPECT_FALSE(json.contains(key)) << key;
    }
}

}  // namespace
}  // namespace tessavo::cli
