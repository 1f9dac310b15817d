// DTLog number styles, list fields and the block limit.
#include <gtest/gtest.h>
#include <locale.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "dtlog/dtlog_builder.h"
#include "dtlog/dtlog_number.h"

namespace tessavo {
namespace {

struct NumberCase {
    float value;
    DtLogStyle style;
    const char* text;
};

TEST(DtLogNumber, Styles) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const NumberCase cases[] = {
        {12.345f, DtLogStyle::kFixed, "12.35"},       // the float is 12.3450003
        {0.125f, DtLogStyle::kFixed, "0.12"},         // exact tie: to even, as "%0.2f" prints
        {-2.9f, DtLogStyle::kDecimal, "-2"},          // truncated toward zero
        {3e9f, DtLogStyle::kDecimal, "-2147483648"},  // out of range: INT32_MIN
        {kNaN, DtLogStyle::kDecimal, "-2147483648"},
        {5.0f, DtLogStyle::kHex, "05"},  // one digit gets a leading zero
        {255.0f, DtLogStyle::kHex, "ff"},
        {-1.0f, DtLogStyle::kHex, "ffffffff"},
        {1e10f, DtLogStyle::kHex, "80000000"},
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(FormatDtLogNumber(c.value, c.style).View(), c.text) << c.text;
    }
    EXPECT_TRUE(std::isinf(NarrowToFloat(1e40)));
    EXPECT_EQ(NarrowToFloat(-1e40), -std::numeric_limits<float>::infinity());
}

TEST(DtLogNumber, FixedStyleIgnoresACommaLocale) {
    locale_t comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        comma = newlocale(LC_NUMERIC_MASK, name, nullptr);
        if (comma != nullptr) break;
    }
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    const locale_t previous = uselocale(comma);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%0.2f", 1.5);
    const std::string text(FormatDtLogNumber(12.345f, DtLogStyle::kFixed).View());
    uselocale(previous);
    freelocale(comma);
    ASSERT_EQ(std::string(probe), "1,50");  // the locale is in force
    EXPECT_EQ(text, "12.35");
}

std::string Text(const Block& b) {
    return std::string(b.bytes, b.bytes + b.length);
}

TEST(DtLogBuilder, ListsStopBetweenItemsAndTheBlockStopsAt5120) {
    auto builder = std::make_unique<DtLogBuilder>();
    builder->Reset();
    {
        // 170 items of six bytes fill 1020; the 171st would pass 1024 and ends the list,
        // so the short item after it is dropped too.
        DtListWriter list(*builder, DtRecord::kCl3, 2);
        for (int i = 0; i < 171; ++i) list.Add("12345");
        list.Add("1");
    }
    Block block{};
    builder->Serialize(block);
    std::string items;
    for (int i = 0; i < 170; ++i) items += "12345 ";
    EXPECT_EQ(Text(block), "CL3\t\t\t" + items + "\n");

    // Six full fields: 6 x 1024 bytes of text pass the 5120-byte block.
    const std::string full(kDtFieldCapacity, 'x');
    builder->Reset();
    for (int f = 0; f < 6; ++f) builder->Store(DtRecord::kDm, f, full);
    builder->Serialize(block);
    std::string expected = "DM";
    for (int f = 0; f < 22; ++f) expected += "\t" + (f < 6 ? full : std::string());
    ASSERT_EQ(block.length, kBlockCapacity);
    EXPECT_EQ(Text(block), expected.substr(0, kBlockCapacity));
}

}  // namespace
}  // namespace tessavo
