#include "struct_views.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "drive_records.h"

namespace tessavo::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr uint32_t kSysParams = kSysParamsMsgId;
constexpr uint32_t kPowerReport = 0x7F0107D1;
constexpr uint32_t kAccessParams = 0x7F0107D2;
constexpr uint32_t kPilotSets = 0x7F0107D4;
constexpr uint32_t kFingerList = 0x7F0107D5;
constexpr uint32_t kPilotTable = kPilotTableId;
constexpr uint32_t kSectorTable = 0x7F0107D8;
constexpr uint32_t kConnectionAttempt = 0x7F0107DD;
constexpr uint32_t kConnectionRelease = 0x7F0107DE;
constexpr uint32_t kStatusRecord = 0x7F0107FA;
constexpr uint32_t kPositionFix = 0x7F0107FC;

constexpr double kNoValue = -9999.0;  // the decoders' mark for a value not known

// Set membership of a pilot (the source word of a pilot-table entry, the set kind of a
// sector-table row, the order of the three sets in a pilot sets reply).
constexpr std::array<const char*, 3> kSetNames = {"active", "candidate", "neighbour"};

// Bounds-checked little-endian reads of a payload.
class Payload {
  public:
    explicit Payload(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Has(size_t offset, size_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    template <typename T>
    T Read(size_t offset) const {
        T value{};
        if (Has(offset, sizeof value)) std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }

  private:
    std::span<const uint8_t> bytes_;
};

Json Level(double value) {
    return value == kNoValue ? Json() : Json(value);
}

Json SetName(int64_t kind) {
    return kind >= 0 && kind < 3 ? Json(kSetNames[static_cast<size_t>(kind)]) : Json(kind);
}

enum class FieldType { kU8, kU16, kU32 };
struct Field {
    const char* name;
    FieldType type;
    uint32_t offset;
};

Json Fields(const Payload& p, std::span<const Field> fields) {
    Json object = Json::object();
    for (const Field& field : fields) {
        switch (field.type) {
            case FieldType::kU8:
                object[field.name] = p.Read<uint8_t>(field.offset);
                break;
            case FieldType::kU16:
                object[field.name] = p.Read<uint16_t>(field.offset);
                break;
            case FieldType::kU32:
                object[field.name] = p.Read<uint32_t>(field.offset);
                break;
        }
    }
    return object;
}

constexpr Field kSysParamsFields[] = {
    {"pilot_pn", FieldType::kU16, 0},    {"sid", FieldType::kU16, 2},
    {"nid", FieldType::kU16, 4},         {"base_id", FieldType::kU16, 6},
    {"srch_win_a", FieldType::kU16, 8},  {"srch_win_n", FieldType::kU16, 10},
    {"srch_win_r", FieldType::kU16, 12}, {"nghbr_max_age", FieldType::kU8, 14},
    {"t_add", FieldType::kU8, 15},       {"t_drop", FieldType::kU8, 16},
    {"t_comp", FieldType::kU8, 17},      {"t_tdrop", FieldType::kU8, 18},
};
constexpr Field kPowerReportFields[] = {
    {"pwr_rep_thresh", FieldType::kU8, 0},    {"pwr_rep_frames", FieldType::kU8, 1},
    {"pwr_thresh_enable", FieldType::kU8, 2}, {"pwr_period_enable", FieldType::kU8, 3},
    {"pwr_rep_delay", FieldType::kU8, 4},
};
constexpr Field kAccessParamsFields[] = {
    {"nom_pwr", FieldType::kU16, 0},      {"init_pwr", FieldType::kU16, 2},
    {"pwr_step", FieldType::kU16, 4},     {"num_step", FieldType::kU16, 6},
    {"max_req_seq", FieldType::kU16, 8},  {"max_rsp_seq", FieldType::kU16, 10},
    {"max_cap_sz", FieldType::kU16, 12},  {"pam_sz", FieldType::kU16, 14},
    {"acc_tmo", FieldType::kU16, 16},     {"probe_pn_ran", FieldType::kU16, 18},
    {"probe_bkoff", FieldType::kU16, 20}, {"bkoff", FieldType::kU16, 22},
};
constexpr Field kConnectionAttemptFields[] = {
    {"success_count", FieldType::kU32, 4},   {"failure_count", FieldType::kU32, 8},
    {"attempt_count", FieldType::kU32, 12},  {"duration_ms", FieldType::kU32, 24},
    {"transaction_id", FieldType::kU32, 28}, {"sector_id", FieldType::kU32, 32},
    {"color_code", FieldType::kU32, 36},     {"pilot_pn", FieldType::kU32, 40},
    {"outcome", FieldType::kU32, 48},
};

// Pilot sets reply: u16 word, the three set sizes, then up to 64 pilots (PN u16,
// strength u16 in units of -0.5 dB) of the three sets in order.
constexpr uint32_t kPilotSetsFirst = 5;
constexpr uint32_t kPilotSetsMax = 64;

struct PilotEntry {
    uint16_t pn;
    uint16_t strength;
};

std::array<std::vector<PilotEntry>, 3> PilotSets(const Payload& p) {
    std::array<std::vector<PilotEntry>, 3> sets;
    uint32_t place = 0;
    for (size_t set = 0; set < 3; ++set) {
        uint32_t size = p.Read<uint8_t>(2 + set);
        for (uint32_t i = 0; i < size && place < kPilotSetsMax; ++i, ++place) {
            uint32_t at = kPilotSetsFirst + 4 * place;
            sets[set].push_back({p.Read<uint16_t>(at), p.Read<uint16_t>(at + 2)});
        }
    }
    return sets;
}

double StrengthToEcio(uint16_t strength) {
    return -static_cast<double>(strength) / 2.0;
}

Json PilotSetsJson(const Payload& p) {
    Json object;
    object["header_word"] = p.Read<uint16_t>(0);
    auto sets = PilotSets(p);
    for (size_t set = 0; set < 3; ++set) {
        Json list = Json::array();
        for (const PilotEntry& pilot : sets[set]) {
            list.push_back({{"pn", pilot.pn},
                            {"strength", pilot.strength},
                            {"ecio_db", StrengthToEcio(pilot.strength)}});
        }
        object[kSetNames[set]] = list;
    }
    return object;
}

// Finger list: count, then up to 12 fingers of 14 bytes (PN u16, Ec/Io f64, word u32).
Json FingerListJson(const Payload& p) {
    int32_t count = std::min<int32_t>(std::max<int32_t>(p.Read<int32_t>(0), 0), 12);
    Json list = Json::array();
    for (int32_t i = 0; i < count; ++i) {
        uint32_t at = 4 + 14 * static_cast<uint32_t>(i);
        list.push_back({{"pn", p.Read<uint16_t>(at)},
                        {"ecio_db", Level(p.Read<double>(at + 2))},
                        {"word", p.Read<uint32_t>(at + 10)}});
    }
    return {{"count", count}, {"fingers", list}};
}

// Pilot table copy: count, then up to 64 entries of 40 bytes: source (set), channel, PN,
// receive power, pilot power, Ec/Io.
Json PilotTableJson(const Payload& p) {
    using L = PilotTableLayout;
    uint32_t count = p.Read<uint32_t>(0);
    uint32_t shown = std::min<uint32_t>(count, L::kMaxPilots);
    Json list = Json::array();
    for (uint32_t i = 0; i < shown; ++i) {
        const auto at = static_cast<uint32_t>(L::kHeader + L::kEntry * i);
        int32_t channel = p.Read<int32_t>(at + L::kChannel);
        list.push_back({{"pn", p.Read<uint32_t>(at + L::kPn)},
                        {"set", SetName(p.Read<uint32_t>(at + L::kSet))},
                        {"channel", channel == -9999 ? Json() : Json(channel)},
                        {"ecio_db", Level(p.Read<double>(at + L::kEcio))},
                        {"rx_power_dbm", Level(p.Read<double>(at + L::kRxPower))},
                        {"pilot_power_dbm", Level(p.Read<double>(at + L::kPilotPower))}});
    }
    return {{"count", count}, {"pilots", list}};
}

// EV-DO sector table: count, then up to 64 rows of 56 bytes: set kind, channel, sector
// (pilot PN), receive power, Ec/Io and SINR as f64.
Json SectorTableJson(const Payload& p) {
    uint32_t count = p.Read<uint32_t>(0);
    uint32_t shown = std::min<uint32_t>(count, 64);
    Json list = Json::array();
    for (uint32_t i = 0; i < shown; ++i) {
        uint32_t at = 4 + 56 * i;
        int32_t channel = p.Read<int32_t>(at + 4);
        list.push_back({{"pn", p.Read<int32_t>(at + 8)},
                        {"set", SetName(p.Read<int32_t>(at))},
                        {"channel", channel == -9999 ? Json() : Json(channel)},
                        {"sinr_db", Level(p.Read<double>(at + 28))},
                        {"ecio_db", Level(p.Read<double>(at + 20))},
                        {"rx_power_dbm", Level(p.Read<double>(at + 12))}});
    }
    return {{"count", count}, {"sectors", list}};
}

// Position fix: longitude (9 text characters) and latitude (8) in degrees, then two
// integers the position text carries in 3 characters each.
Json PositionJson(const Payload& p) {
    return {{"latitude_deg", p.Read<double>(8)},
            {"longitude_deg", p.Read<double>(0)},
            {"field_3a", p.Read<int32_t>(16)},
            {"field_3b", p.Read<int32_t>(20)}};
}

// Status reply: status word, country and network codes, subscriber number, IMSI text.
Json StatusJson(std::span<const uint8_t> bytes, const Payload& p) {
    std::string imsi;
    for (size_t i = 15; i < 30 && i < bytes.size() && bytes[i] != 0; ++i) {
        imsi += static_cast<char>(bytes[i]);
    }
    return {{"status_word", p.Read<uint32_t>(0)},
            {"mcc", p.Read<uint16_t>(4)},
            {"mnc", p.Read<uint8_t>(6)},
            {"msin", p.Read<uint64_t>(7)},
            {"imsi", imsi}};
}

std::string Decimal(double value, int digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

constexpr std::array<ViewInfo, kViewCount> kViews = {{
    {"active_set_size", "", "Pilots in the active set (pilot sets reply)", kPilotSets},
    {"active_best_pn", "", "PN offset of the strongest active-set pilot (pilot sets reply)",
     kPilotSets},
    {"active_best_ecio", "dB", "Ec/Io of the strongest active-set pilot (pilot sets reply)",
     kPilotSets},
    {"latitude", "deg", "Latitude of the position fix", kPositionFix},
    {"longitude", "deg", "Longitude of the position fix", kPositionFix},
}};

}  // namespace

Json StructFields(uint32_t id, std::span<const uint8_t> payload) {
    Payload p(payload);
    switch (id) {
        case kSysParams:
            return p.Has(0, 19) ? Fields(p, kSysParamsFields) : Json();
        case kPowerReport:
            return p.Has(0, 5) ? Fields(p, kPowerReportFields) : Json();
        case kAccessParams:
            return p.Has(0, 24) ? Fields(p, kAccessParamsFields) : Json();
        case kPilotSets:
            return p.Has(0, kPilotSetsFirst + 4 * kPilotSetsMax) ? PilotSetsJson(p) : Json();
        case kFingerList:
            return p.Has(0, 4 + 14 * 12) ? FingerListJson(p) : Json();
        case kPilotTable:
            return p.Has(0, PilotTableLayout::kHeader +
                                PilotTableLayout::kEntry * PilotTableLayout::kMaxPilots)
                       ? PilotTableJson(p)
                       : Json();
        case kSectorTable:
            return p.Has(0, 4 + 56 * 64) ? SectorTableJson(p) : Json();
        case kConnectionAttempt:
            return p.Has(0, 52) ? Fields(p, kConnectionAttemptFields) : Json();
        case kConnectionRelease:
            return p.Has(0, 4) ? Json({{"release_reason", p.Read<uint32_t>(0)}}) : Json();
        case kStatusRecord:
            return p.Has(0, 47) ? StatusJson(payload, p) : Json();
        case kPositionFix:
            return p.Has(0, 24) ? PositionJson(p) : Json();
        default:
            return Json();
    }
}

std::span<const ViewInfo, kViewCount> ScalarViews() {
    return kViews;
}

void ComputeViews(uint32_t id, std::span<const uint8_t> payload, ViewValues& values) {
    Payload p(payload);
    if (id == kPilotSets && p.Has(0, kPilotSetsFirst + 4 * kPilotSetsMax)) {
        const std::vector<PilotEntry> active = PilotSets(p)[0];
        values[0] = std::to_string(active.size());
        if (active.empty()) {
            values[1].reset();
            values[2].reset();
            return;
        }
        // The strongest pilot has the smallest strength value (units of -0.5 dB).
        const PilotEntry* best = &active[0];
        for (const PilotEntry& pilot : active) {
            if (pilot.strength < best->strength) best = &pilot;
        }
        values[1] = std::to_string(best->pn);
        values[2] = Decimal(StrengthToEcio(best->strength), 1);
    } else if (id == kPositionFix && p.Has(0, 24)) {
        values[3] = Decimal(p.Read<double>(8), 5);
        values[4] = Decimal(p.Read<double>(0), 5);
    }
}

}  // namespace tessavo::cli
