// The parameter catalogue against the tables of scalar and structured parameters, and
// against the records of a report item that the library hands out.
#include "param_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "diag_frames.h"
#include "tessavo/tessavo.h"

namespace tessavo::cli {
namespace {

struct ScaleRun {
    uint32_t firstId;
    uint32_t lastId;
    int32_t scale;
};

// The 31 ID ranges in slot order, with their runs of constant scale.
struct RangeCase {
    int firstSlot;
    std::vector<ScaleRun> runs;
};

const std::vector<RangeCase> kRanges = {
    {0,
     {{0x7F010001, 0x7F010004, 1000},
      {0x7F010005, 0x7F010006, 100},
      {0x7F010007, 0x7F01000B, 1},
      {0x7F01000C, 0x7F010011, 1000},
      {0x7F010012, 0x7F01001A, 1}}},
    {26, {{0x7F010101, 0x7F01010C, 1000}}},
    {38, {{0x7F010201, 0x7F010202, 1}, {0x7F010203, 0x7F010204, 100}, {0x7F010205, 0x7F010206, 1}}},
    {44, {{0x7F010301, 0x7F01031F, 1}}},
    {75, {{0x7F010401, 0x7F010412, 1}}},
    {93, {{0x7F010191, 0x7F01019B, 1}}},
    {104, {{0x7F018001, 0x7F018008, 1000}, {0x7F018009, 0x7F018012, 1}}},
    {122, {{0x7F018101, 0x7F018104, 1}, {0x7F018105, 0x7F018107, 100}}},
    {129,
     {{0x7F018201, 0x7F018205, 1}, {0x7F018206, 0x7F018207, 100}, {0x7F018208, 0x7F01820B, 1}}},
    {140, {{0x7F018301, 0x7F01832F, 1}}},
    {187, {{0x7F018401, 0x7F018406, 1}, {0x7F018407, 0x7F018408, 100}}},
    {195,
     {{0x7F018501, 0x7F018501, 1},
      {0x7F018502, 0x7F018506, 1000},
      {0x7F018507, 0x7F01850E, 1},
      {0x7F01850F, 0x7F01850F, 1000}}},
    {210, {{0x7F019101, 0x7F019108, 1000}, {0x7F019109, 0x7F01910E, 1}}},
    {224, {{0x7F019201, 0x7F019204, 1}, {0x7F019205, 0x7F019207, 100}}},
    {231, {{0x7F019301, 0x7F019305, 1}, {0x7F019306, 0x7F019307, 100}}},
    {238, {{0x7F019401, 0x7F019407, 1}, {0x7F019408, 0x7F019409, 100}}},
    {247,
     {{0x7F019501, 0x7F019501, 1}, {0x7F019502, 0x7F019506, 1000}, {0x7F019507, 0x7F01950F, 1}}},
    {262, {{0x7F01A101, 0x7F01A108, 1000}, {0x7F01A109, 0x7F01A10E, 1}}},
    {276, {{0x7F01A201, 0x7F01A204, 1}, {0x7F01A205, 0x7F01A207, 100}}},
    {283, {{0x7F01A301, 0x7F01A305, 1}, {0x7F01A306, 0x7F01A307, 100}}},
    {290, {{0x7F01A401, 0x7F01A407, 1}, {0x7F01A408, 0x7F01A409, 100}}},
    {299,
     {{0x7F01A501, 0x7F01A501, 1}, {0x7F01A502, 0x7F01A506, 1000}, {0x7F01A507, 0x7F01A50F, 1}}},
    {314, {{0x7F01B101, 0x7F01B108, 1000}, {0x7F01B109, 0x7F01B10E, 1}}},
    {328, {{0x7F01B201, 0x7F01B207, 1}}},
    {335, {{0x7F01B301, 0x7F01B307, 1}}},
    {342, {{0x7F01B401, 0x7F01B409, 1}}},
    {351,
     {{0x7F01B501, 0x7F01B501, 1}, {0x7F01B502, 0x7F01B506, 1000}, {0x7F01B507, 0x7F01B50F, 1}}},
    {366, {{0x7F01C101, 0x7F01C103, 1}}},
    {369, {{0x7F1C0001, 0x7F1C0001, 1}}},
    {370, {{0x7F01D101, 0x7F01D10D, 1}}},
    {383, {{0x7F1C8001, 0x7F1C8001, 1}}},
};

// Structured parameters: byte offset of the record in the report item's structured area
// and payload length.
struct StructCase {
    uint32_t id;
    uint32_t offset;
    uint32_t payload;
};

const std::vector<StructCase> kStructs = {
    {0x7F0107D0, 0, 19},       {0x7F0107D1, 35, 5},       {0x7F0107D2, 56, 24},
    {0x7F0107D3, 96, 4},       {0x7F0107D4, 116, 261},    {0x7F0107D5, 393, 172},
    {0x7F0107D6, 581, 2564},   {0x7F0107D7, 3808, 229},   {0x7F0107D8, 4053, 3588},
    {0x7F0107D9, 7657, 1165},  {0x7F0107DA, 8838, 899},   {0x7F0107DB, 9753, 1796},
    {0x7F0107DC, 11565, 28},   {0x7F0107DD, 11609, 52},   {0x7F0107DE, 11677, 4},
    {0x7F0107DF, 11697, 40},   {0x7F0107E0, 11753, 288},  {0x7F0107E1, 12057, 12},
    {0x7F0107E2, 12085, 20},   {0x7F0107E3, 12121, 12},   {0x7F0107E4, 12149, 1344},
    {0x7F0107E5, 13509, 156},  {0x7F0107E6, 13681, 2472}, {0x7F0107E7, 16169, 66},
    {0x7F0107E8, 16251, 59},   {0x7F0107E9, 16326, 146},  {0x7F0107EA, 16488, 1375},
    {0x7F0107EB, 17879, 3588}, {0x7F0107EC, 21483, 2823}, {0x7F0107ED, 24322, 1155},
    {0x7F0107EE, 25493, 2306}, {0x7F0107EF, 27815, 1356}, {0x7F0107F0, 29187, 168},
    {0x7F0107F1, 29371, 2484}, {0x7F0107F2, 31871, 167},  {0x7F0107F3, 32054, 174},
    {0x7F0107F4, 32244, 478},  {0x7F0107F5, 3161, 200},   {0x7F0107F6, 3377, 273},
    {0x7F0107F7, 3666, 17},    {0x7F0107F8, 3699, 12},    {0x7F0107F9, 3727, 2},
    {0x7F0107FA, 3745, 47},    {0x7F0107FB, 32738, 1804}, {0x7F0107FC, 34558, 24},
};

TEST(ParamCatalogue, HoldsEveryScalarAndStructuredIdOnce) {
    EXPECT_EQ(ScalarParams().size(), 384u);
    EXPECT_EQ(StructParams().size(), 45u);
    EXPECT_EQ(ParamCatalogue().size(), 429u);
    std::set<uint32_t> ids;
    for (const ParamInfo& info : ParamCatalogue()) ids.insert(info.id);
    EXPECT_EQ(ids.size(), 429u);
}

TEST(ParamCatalogue, NamesAreUniqueSnakeCase) {
    std::set<std::string> names;
    const std::regex snakeCase("[a-z][a-z0-9]*(_[a-z0-9]+)*");
    for (const ParamInfo& info : ParamCatalogue()) {
        std::string name(info.name);
        EXPECT_TRUE(std::regex_match(name, snakeCase)) << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
    }
}

TEST(ParamCatalogue, ScalarSlotsAndScalesFollowTheRanges) {
    int expectedTotal = 0;
    for (const RangeCase& range : kRanges) {
        int slot = range.firstSlot;
        EXPECT_EQ(slot, expectedTotal) << "range starting at " << std::hex << range.runs[0].firstId;
        for (const ScaleRun& run : range.runs) {
            for (uint32_t id = run.firstId; id <= run.lastId; ++id, ++slot) {
                ASSERT_LT(slot, 384);
                const ParamInfo& info = ScalarParams()[static_cast<size_t>(slot)];
                EXPECT_EQ(info.id, id) << "slot " << slot;
                EXPECT_EQ(info.scale, run.scale) << std::hex << "id 0x" << id;
                EXPECT_EQ(info.kind, ParamKind::kScalar);
            }
        }
        expectedTotal = slot;
    }
    EXPECT_EQ(expectedTotal, 384);
}

TEST(ParamCatalogue, StructuredPayloadLengthsFollowTheTable) {
    ASSERT_EQ(kStructs.size(), 45u);
    for (size_t i = 0; i < kStructs.size(); ++i) {
        const ParamInfo& info = StructParams()[i];
        EXPECT_EQ(info.id, kStructs[i].id);
        EXPECT_EQ(info.kind, ParamKind::kStruct);
        EXPECT_EQ(info.payloadLength, kStructs[i].payload) << std::hex << info.id;
        EXPECT_EQ(info.scale, 0);
    }
}

struct NamedCase {
    uint32_t id;
    const char* name;
    const char* unit;
    int32_t scale;
    const char* writer;  // one of the writers, or "" for an ID no decoder writes
};

TEST(ParamCatalogue, KnownEntries) {
    const std::vector<NamedCase> cases = {
        {0x7F010001, "rx_power", "dBm", 1000, "0x102D"},
        {0x7F01000C, "total_ecio", "dB", 1000, "0x119A"},
        {0x7F010014, "signalling_active", "", 1, "cmd:0x60"},
        {0x7F010205, "entry_mean_1025", "", 1, "0x1025"},
        {0x7F018328, "rec1062_word1", "", 1, "0x1062"},
        {0x7F01832C, "rec1062_word5", "", 1, "0x1062"},
        {0x7F018206, "fwd_total_share", "%", 100, "0x9068"},
        {0x7F01850F, "do_norm_value", "", 1000, "0x127F"},
        {0x7F01950F, "c0_norm_value", "", 1, "0x1299"},
        {0x7F01B408, "c2_fwd_pkt_b_share", "%", 1, "0x12A2"},
        {0x7F01C102, "channel_state", "", 1, "0x1007"},
        {0x7F1C0001, "cmd_mode", "", 1, "cmd:0x3F"},
        {0x7F1C8001, "cmd_flag", "", 1, "cmd:0x73"},
        {0x7F010007, "param_7f010007", "", 1, ""},
        {0x7F018320, "param_7f018320", "", 1, ""},
        {0x7F01019B, "param_7f01019b", "", 1, ""},
        {0x7F0107E2, "rec1062", "", 0, "0x1062"},
        {0x7F0107E0, "param_7f0107e0", "", 0, ""},
        {0x7F0107EB, "param_7f0107eb", "", 0, ""},
        {0x7F0107F0, "param_7f0107f0", "", 0, ""},
        {0x7F0107FA, "status_record", "", 0, "cmd:0x63"},
    };
    for (const NamedCase& c : cases) {
        const ParamInfo* info = FindParam(c.id);
        ASSERT_NE(info, nullptr) << std::hex << c.id;
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->unit, c.unit) << c.name;
        EXPECT_EQ(info->scale, c.scale) << c.name;
        std::string writers(info->writers);
        if (c.writer[0] == '\0') {
            EXPECT_TRUE(writers.empty()) << c.name;
            EXPECT_EQ(info->name, GenericParamName(c.id));
        } else {
            EXPECT_NE((" " + writers + " ").find(std::string(" ") + c.writer + " "),
                      std::string::npos)
                << c.name << ": " << writers;
        }
    }
}

TEST(ParamCatalogue, WritersAreLogCodesOrCommands) {
    const std::regex token("0x[0-9A-F]{4}|cmd:0x[0-9A-F]{2}");
    for (const ParamInfo& info : ParamCatalogue()) {
        std::string writers(info.writers);
        size_t start = 0;
        while (start < writers.size()) {
            size_t end = writers.find(' ', start);
            if (end == std::string::npos) end = writers.size();
            std::string word = writers.substr(start, end - start);
            EXPECT_TRUE(std::regex_match(word, token)) << info.name << ": '" << word << "'";
            start = end + 1;
        }
        // Only a writer-less ID keeps the generic name.
        EXPECT_EQ(writers.empty(), info.name == GenericParamName(info.id)) << info.name;
    }
}

TEST(ParamCatalogue, UnknownIdsGetTheGenericName) {
    EXPECT_EQ(FindParam(0x7F01001B), nullptr);
    EXPECT_EQ(FindParam(0x7F0107FD), nullptr);
    EXPECT_EQ(FindParam(0), nullptr);
    EXPECT_EQ(ParamName(0x7F01001B), "param_7f01001b");
    EXPECT_EQ(ParamName(0x7F018328), "rec1062_word1");
}

// The library's own tables, as every report item carries them: the record in each scalar
// slot has the catalogue's ID and scale, and each structured record sits at its offset with
// its ID.
TEST(ParamCatalogue, MatchesTheTablesInALibraryReportItem) {
    void* handle = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    ASSERT_NE(handle, nullptr);
    test::Bytes frame = test::LogFrame(0x1062, 800, test::Words({1, 2, 3, 4, 5}));
    ASSERT_EQ(
        DecodeMsgProc_NoDynamic(handle, frame.data(), static_cast<int32_t>(frame.size()), 0, 0), 0);
    ASSERT_EQ(GetReportItemCountProc(handle), 1);
    const auto* item = static_cast<const uint8_t*>(GetReportItemProc(handle, 0));
    ASSERT_NE(item, nullptr);
    for (size_t slot = 0; slot < ScalarParams().size(); ++slot) {
        DecodeParam record;
        std::memcpy(&record, item + TESSAVO_OFFSET_PARAM_TABLE + slot * sizeof record,
                    sizeof record);
        EXPECT_EQ(record.id, ScalarParams()[slot].id) << "slot " << slot;
        EXPECT_EQ(record.scale, ScalarParams()[slot].scale) << "slot " << slot;
    }
    for (const StructCase& c : kStructs) {
        DecodeStructParam header;
        std::memcpy(&header, item + TESSAVO_OFFSET_SPARAM_TABLE + c.offset, sizeof header);
        EXPECT_EQ(header.id, c.id) << "offset " << c.offset;
    }
    FreeDecoderObjectProc(&handle);
    EXPECT_EQ(handle, nullptr);
}

}  // namespace
}  // namespace tessavo::cli
