#include "json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

namespace tessavo::cli {
namespace {

std::string DoubleText(double value) {
    JsonWriter json;
    json.Double(value);
    return std::string(json.Text());
}

TEST(JsonWriter, NumbersReadAsTheyDidFromTheGeneralWriter) {
    // Both layouts and both exponent ends, signs, integral values and non-finite ones.
    const std::pair<double, const char*> cases[] = {
        {0.0, "0.0"},        {100.0, "100.0"},   {-98.581, "-98.581"},        {-0.5, "-0.5"},
        {0.0001, "0.0001"},  {0.00001, "1e-05"}, {1e14, "100000000000000.0"}, {1e15, "1e+15"},
        {1.5e20, "1.5e+20"}, {NAN, "null"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(DoubleText(value), text) << value;
    // A scaled parameter value prints as the general JSON writer prints the same double.
    for (int32_t scale : {3, 10, 100, 1000, 7, 1000000, 100000000}) {
        for (int32_t raw : {1, -1, 7, 12345, -85500, 999999, INT32_MAX, INT32_MIN}) {
            const double value = static_cast<double>(raw) / scale;
            EXPECT_EQ(DoubleText(value), nlohmann::json(value).dump()) << raw << "/" << scale;
        }
    }
}

TEST(JsonWriter, EscapesAndNesting) {
    JsonWriter json;
    json.Key("gone").String(std::string(300, 'x'));  // cleared, its room kept
    json.Clear();
    json.BeginObject();
    json.Key("s").String("q\"b\\n\n\r\b\f\t\x01\x1f\x7f\xc3\xa9");
    json.Key("a").BeginArray();
    json.Int(-5);
    json.BeginObject();
    json.Key("x").Null();
    json.EndObject();
    json.BeginArray();
    json.EndArray();
    json.Raw("{\"r\":1}");
    json.EndArray();
    json.Key("i").Int(INT64_MIN);
    json.Key("e").String({});
    json.EndObject();
    EXPECT_EQ(
        json.Text(),
        "{\"s\":\"q\\\"b\\\\n\\n\\r\\b\\f\\t\\u0001\\u001f\x7f\xc3\xa9\",\"a\":[-5,{\"x\":null},[],"
        "{\"r\":1}],\"i\":-9223372036854775808,\"e\":\"\"}");
}

}  // namespace
}  // namespace tessavo::cli
