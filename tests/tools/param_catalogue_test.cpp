// The parameter catalogue: its names are the tool's column names and JSON keys, and its
// slots, scales and payload lengths must agree with the records the library hands out.
// Every entry has a meaning; an ID no decoder writes is named reserved_<id>.
#include "param_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "diag_frames.h"
#include "tessavo/tessavo.h"

namespace tessavo::cli {
namespace {

TEST(ParamCatalogue, IdsNamesUnitsAndMeaningsAreWellFormed) {
    ASSERT_EQ(ParamCatalogue().size(), 429u);
    std::set<uint32_t> ids;
    std::set<std::string> names;
    const std::regex snakeCase("[a-z][a-z0-9]*(_[a-z0-9]+)*");
    const std::regex writerList("((0x[0-9A-F]{4}|cmd:0x[0-9A-F]{2})( |$))*");
    const std::set<std::string> units = {"",   "dBm",  "dB",     "%",      "bit/s",
                                         "ms", "bits", "0.5 dB", "-0.5 dB"};
    for (const ParamInfo& info : ParamCatalogue()) {
        const std::string name(info.name);
        const std::string writers(info.writers);
        EXPECT_TRUE(ids.insert(info.id).second) << std::hex << info.id;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        EXPECT_TRUE(std::regex_match(name, snakeCase)) << name;
        EXPECT_TRUE(std::regex_match(writers, writerList)) << name << ": '" << writers << "'";
        EXPECT_EQ(writers.empty(), name == "reserved_" + GenericParamName(info.id).substr(6))
            << name;
        EXPECT_TRUE(units.count(std::string(info.unit))) << name << ": " << info.unit;
        EXPECT_FALSE(info.description.empty()) << name;
        EXPECT_EQ(FindParamByName(name), &info);
    }
}

TEST(ParamCatalogue, IdsOutsideTheTablesGetTheGenericName) {
    EXPECT_EQ(FindParam(0x7F01001B), nullptr);
    EXPECT_EQ(FindParam(0x7F0107FD), nullptr);
    EXPECT_EQ(ParamName(0x7F01001B), "param_7f01001b");
}

// Every report item carries the library's tables: the record in each scalar slot has the
// catalogue's ID and scale, and walking the structured area record by record with the
// catalogue's payload lengths meets each structured ID once and ends exactly at its end.
TEST(ParamCatalogue, MatchesTheTablesInALibraryReportItem) {
    void* handle = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    ASSERT_NE(handle, nullptr);
    test::Bytes frame = test::LogFrame(0x1062, 800, test::Words({1, 2, 3, 4, 5}));
    ASSERT_EQ(
        DecodeMsgProc_NoDynamic(handle, frame.data(), static_cast<int32_t>(frame.size()), 0, 0), 0);
    ASSERT_EQ(GetReportItemCountProc(handle), 1);
    const auto* item = static_cast<const uint8_t*>(GetReportItemProc(handle, 0));
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(ScalarParams().size(), 384u);
    for (size_t slot = 0; slot < ScalarParams().size(); ++slot) {
        DecodeParam record;
        std::memcpy(&record, item + TESSAVO_OFFSET_PARAM_TABLE + slot * sizeof record,
                    sizeof record);
        EXPECT_EQ(record.id, ScalarParams()[slot].id) << "slot " << slot;
        EXPECT_EQ(record.scale, ScalarParams()[slot].scale) << "slot " << slot;
    }
    std::set<uint32_t> seen;
    uint32_t offset = 0;
    while (offset < TESSAVO_SPARAM_TABLE_SIZE) {
        DecodeStructParam header;
        std::memcpy(&header, item + TESSAVO_OFFSET_SPARAM_TABLE + offset, sizeof header);
        const ParamInfo* info = FindParam(header.id);
        ASSERT_TRUE(info != nullptr && info->kind == ParamKind::kStruct)
            << std::hex << "0x" << header.id << " at offset " << std::dec << offset;
        EXPECT_TRUE(seen.insert(header.id).second) << std::hex << header.id;
        offset += sizeof header + info->payloadLength;
    }
    EXPECT_EQ(offset, uint32_t{TESSAVO_SPARAM_TABLE_SIZE});
    EXPECT_EQ(seen.size(), StructParams().size());
    FreeDecoderObjectProc(&handle);
}

}  // namespace
}  // namespace tessavo::cli
