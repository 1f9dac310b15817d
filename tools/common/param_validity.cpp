#include "param_validity.h"

#include <array>

#include "item_time.h"
#include "param_catalogue.h"
#include "state_params.h"

namespace tessavo::cli {
namespace {

// Fast measurements are reported every second or faster: five seconds without a new one
// means the logging of that technology stopped.
constexpr double kMeasurement = 5.0;
constexpr double kNoLimit = 0.0;

struct RuleRow {
    uint32_t first, last;  // a range of IDs, inclusive
    ValidityRule rule;
};

// By ID; IDs not listed are valid whenever set (configuration, identities, counters).
constexpr std::array<RuleRow, 19> kRules = {{
    {0x7F010001, 0x7F010001, {ValidWhile::kAlways, kMeasurement}},      // rx_power
    {0x7F010002, 0x7F010004, {ValidWhile::k1xTraffic, kMeasurement}},   // transmit power
    {0x7F010005, 0x7F010006, {ValidWhile::k1xTraffic, 2 * kMeasurement}},  // frame categories
    {0x7F010008, 0x7F010011, {ValidWhile::kAlways, kMeasurement}},      // fingers, pilots, Ec/Io
    {0x7F010101, 0x7F01010C, {ValidWhile::k1xTraffic, kMeasurement}},   // frame statistics
    {0x7F010201, 0x7F010206, {ValidWhile::k1xTraffic, kMeasurement}},   // data link, frame means
    {0x7F018001, 0x7F01800B, {ValidWhile::kDoActive, kMeasurement}},    // EV-DO power, SINR, DRC
    {0x7F01800C, 0x7F01800F, {ValidWhile::kDoActive, kNoLimit}},        // active set, channel, PN
    {0x7F018101, 0x7F018107, {ValidWhile::kDoActive, kMeasurement}},    // data rates
    {0x7F018201, 0x7F018209, {ValidWhile::kDoActive, kMeasurement}},    // packet rates
    {0x7F01830A, 0x7F01830A, {ValidWhile::kDoActive, kNoLimit}},        // carrier mode
    {0x7F018401, 0x7F01850F, {ValidWhile::kDoActive, kMeasurement}},    // rates, ratios
    {0x7F019101, 0x7F01910B, {ValidWhile::kDoActive, kMeasurement}},    // carrier 0
    {0x7F01910C, 0x7F01910E, {ValidWhile::kDoActive, kNoLimit}},
    {0x7F019201, 0x7F01A10B, {ValidWhile::kDoActive, kMeasurement}},    // carrier 0 to 1
    {0x7F01A10C, 0x7F01A10E, {ValidWhile::kDoActive, kNoLimit}},
    {0x7F01A201, 0x7F01B10B, {ValidWhile::kDoActive, kMeasurement}},    // carrier 1 to 2
    {0x7F01B10C, 0x7F01B10E, {ValidWhile::kDoActive, kNoLimit}},
    {0x7F01B201, 0x7F01B50F, {ValidWhile::kDoActive, kMeasurement}},    // carrier 2
}};

constexpr bool SortedApart() {
    for (size_t i = 1; i < kRules.size(); ++i) {
        if (kRules[i].first <= kRules[i - 1].last) return false;
    }
    return true;
}
static_assert(SortedApart(), "rules sorted by ID, ranges apart");


}  // namespace

ValidityRule ValidityOf(uint32_t id) {
    for (const RuleRow& row : kRules) {
        if (id >= row.first && id <= row.last) return row.rule;
    }
    return {};
}

ValidityTracker::ValidityTracker() : fresh_(ScalarParams().size()) {
    for (const ParamInfo& info : ScalarParams()) rules_.push_back(ValidityOf(info.id));
}

void ValidityTracker::Observe(const ItemView& item) {
    const ParamInfo* first = ScalarParams().data();
    for (const DecodeParam& param : item.currentParams) {
        if (param.state != TESSAVO_STATE_FRESH) continue;
        if (param.id == kChannelStateId) channelState_ = param.value;
        if (param.id == kDoStateId) doState_ = param.value;
        if (const ParamInfo* info = FindParam(param.id); info != nullptr &&
                                                        info->kind == ParamKind::kScalar) {
            fresh_[static_cast<size_t>(info - first)] = item.time;
        }
    }
}

bool ValidityTracker::Valid(uint16_t index, const ItemTime& now) const {
    const std::optional<ItemTime>& set = fresh_[index];
    if (!set) return false;
    const ValidityRule& rule = rules_[index];
    if (rule.state == ValidWhile::k1xTraffic && channelState_ && *channelState_ != k1xTraffic) {
        return false;
    }
    if (rule.state == ValidWhile::kDoActive && doState_ == kDoInactive) return false;
    return rule.staleSeconds <= 0 || SecondsBetween(*set, now) <= rule.staleSeconds;
}

}  // namespace tessavo::cli
