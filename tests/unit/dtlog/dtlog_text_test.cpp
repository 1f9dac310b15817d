// DTLog number styles, list fields and the block limit.
#include <gtest/gtest.h>
#include <locale.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>

#include "dtlog/dtlog_builder.h"
#include "dtlog/dtlog_number.h"

namespace tessavo {
namespace {

TEST(DtLog, NumberStylesListsAndTheBlockLimit) {
    // clang-format off
    const struct { float value; DtLogStyle style; const char* text; } cases[] = {
        {0.125f, DtLogStyle::kFixed, "0.12"},  // an exact tie goes to even, as "%0.2f" does
        {-2.9f, DtLogStyle::kDecimal, "-2"},
        {std::numeric_limits<float>::quiet_NaN(), DtLogStyle::kDecimal, "-2147483648"},
        {5.0f, DtLogStyle::kHex, "05"}, {-1.0f, DtLogStyle::kHex, "ffffffff"},
        {1e10f, DtLogStyle::kHex, "80000000"},  // out of range: INT32_MIN
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(FormatDtLogNumber(c.value, c.style).View(), c.text);
    auto builder = std::make_unique<DtLogBuilder>();
    Block block{};
    auto text = [&] { return std::string(block.bytes, block.bytes + block.length); };
    // 170 items of six bytes fill 1020; the 171st would pass 1024 and ends the list, so the
    // short item after it is dropped too.
    builder->Reset();
    DtListWriter list(*builder, DtRecord::kCl3, 2);
    std::string items;
    for (int i = 0; i < 171; ++i) list.Add("12345");
    list.Add("1");
    for (int i = 0; i < 170; ++i) items += "12345 ";
    builder->Serialize(block);
    EXPECT_EQ(text(), "CL3\t\t\t" + items + "\n");

    // Six full fields of 1024 bytes pass the block.
    const std::string full(kDtFieldCapacity, 'x');
    builder->Reset();
    for (int f = 0; f < 6; ++f) builder->Store(DtRecord::kDm, f, full);
    builder->Serialize(block);
    ASSERT_EQ(block.length, kBlockCapacity);
    EXPECT_EQ(text(),
              ("DM\t" + full + "\t" + full + "\t" + full + "\t" + full + "\t" + full + "\t" + full)
                  .substr(0, kBlockCapacity));
}

TEST(DtLogNumber, FixedStyleIgnoresACommaLocale) {
    char probe[16];
#if defined(_WIN32)
    // The Windows C library has no per-thread locale objects: the process's is switched.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de-DE", "German_Germany.1252", "fr-FR"}) {
        if (comma == nullptr) comma = std::setlocale(LC_NUMERIC, name);
    }
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    std::snprintf(probe, sizeof probe, "%0.2f", 1.5);
    const std::string text(FormatDtLogNumber(12.345f, DtLogStyle::kFixed).View());
    std::setlocale(LC_NUMERIC, previous.c_str());
#else
    locale_t comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (comma == nullptr) comma = newlocale(LC_NUMERIC_MASK, name, nullptr);
    }
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    const locale_t previous = uselocale(comma);
    std::snprintf(probe, sizeof probe, "%0.2f", 1.5);
    const std::string text(FormatDtLogNumber(12.345f, DtLogStyle::kFixed).View());
    uselocale(previous);
    freelocale(comma);
#endif
    ASSERT_EQ(std::string(probe), "1,50");  // the locale was in force
    EXPECT_EQ(text, "12.35");
}

}  // namespace
}  // namespace tessavo
