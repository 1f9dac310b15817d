// The structured payloads the end-to-end tests do not reach, laid out as their decoders
// write them: the pilot table (u32 count, 40-byte entries), the EV-DO sector table (u32
// count, 56-byte rows) and the finger list (count, 14-byte fingers); -9999 marks a value
// not known.
#include "struct_views.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tessavo::cli {
namespace {

using Json = nlohmann::ordered_json;

class Blob {
  public:
    explicit Blob(size_t size) : bytes_(size, 0) {}
    template <typename T>
    Blob& At(size_t offset, T value) {
        std::memcpy(bytes_.data() + offset, &value, sizeof value);
        return *this;
    }
    std::span<const uint8_t> Bytes() const { return bytes_; }
    std::span<const uint8_t> Short() const { return std::span(bytes_).first(bytes_.size() - 1); }

  private:
    std::vector<uint8_t> bytes_;
};

TEST(StructViews, TablesAsFields) {
    Blob pilots(2564);
    pilots.At<uint32_t>(0, 2)
        .At<uint32_t>(4, 0)
        .At<int32_t>(8, 283)
        .At<uint32_t>(12, 168)
        .At<double>(16, -80.5)
        .At<double>(24, -86.5)
        .At<double>(32, -6.0)
        .At<uint32_t>(44, 2)
        .At<int32_t>(48, -9999)
        .At<uint32_t>(52, 252)
        .At<double>(56, -80.5)
        .At<double>(64, -9999.0)
        .At<double>(72, -9999.0);
    Blob sectors(3588);
    sectors.At<uint32_t>(0, 1)
        .At<int32_t>(4, 1)
        .At<int32_t>(8, 50)
        .At<int32_t>(12, 78)
        .At<double>(16, -70.25)
        .At<double>(24, -3.0)
        .At<double>(32, 0.5);
    Blob fingers(172);
    fingers.At<int32_t>(0, 1).At<uint16_t>(4, 168).At<double>(6, -7.5).At<uint32_t>(14, 5);
    struct Case {
        uint32_t id;
        const Blob& blob;
        const char* json;
    };
    const std::vector<Case> cases = {
        {0x7F0107D6, pilots, R"({"count": 2, "pilots": [
            {"pn": 168, "set": "active", "channel": 283, "ecio_db": -6.0,
             "rx_power_dbm": -80.5, "pilot_power_dbm": -86.5},
            {"pn": 252, "set": "neighbour", "channel": null, "ecio_db": null,
             "rx_power_dbm": -80.5, "pilot_power_dbm": null}]})"},
        {0x7F0107D8, sectors, R"({"count": 1, "sectors": [{"pn": 78, "set": "candidate",
            "channel": 50, "sinr_db": 0.5, "ecio_db": -3.0, "rx_power_dbm": -70.25}]})"},
        {0x7F0107D5, fingers, R"({"count": 1, "fingers": [
            {"pn": 168, "ecio_db": -7.5, "word": 5}]})"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StructFields(c.id, c.blob.Bytes()), Json::parse(c.json)) << std::hex << c.id;
        // A payload shorter than the layout, or a layout not decoded, stays hex.
        EXPECT_TRUE(StructFields(c.id, c.blob.Short()).is_null()) << std::hex << c.id;
    }
    EXPECT_TRUE(StructFields(0x7F0107E2, fingers.Bytes()).is_null());
}

TEST(StructViews, AnEmptyActiveSetHasNoBestPilot) {
    ViewValues values;
    values[1] = "168";  // left from an earlier reply
    ComputeViews(0x7F0107D4, Blob(261).Bytes(), values);
    EXPECT_EQ(values[0], "0");
    EXPECT_FALSE(values[1].has_value());
    EXPECT_FALSE(values[2].has_value());
}

}  // namespace
}  // namespace tessavo::cli
