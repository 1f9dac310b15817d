// When a parameter's last value still describes the handset: its validity rule.
//
// A rule names the technology state that must hold for the value to mean anything (1x
// traffic-channel values only on traffic; EV-DO values only while the EV-DO state is not
// inactive) and how long a value stays good after the packet that set it (fast radio
// measurements a few seconds; configuration and identities without limit). Parameters
// without a rule are always valid. The rules are a table keyed by parameter ID
// (param_validity.cpp), beside the catalogue.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "report_item_reader.h"

namespace tessavo::cli {

enum class ValidWhile : uint8_t {
    kAlways,
    k1xTraffic,  // the 1x channel state is traffic (or was never reported)
    kDoActive,   // the EV-DO state is not inactive (or was never reported)
};

struct ValidityRule {
    ValidWhile state = ValidWhile::kAlways;
    double staleSeconds = 0;  // 0: no limit
};

// The rule of a scalar parameter; the default rule for IDs without one.
ValidityRule ValidityOf(uint32_t id);

// Follows the states the rules need and when each scalar was last set, item by item.
class ValidityTracker {
  public:
    ValidityTracker();

    // Notes the item's fresh values; call once per item, in order, before Valid().
    void Observe(const ItemView& item);
    // Whether scalar `index` (into ScalarParams()) holds a valid value at `now`; false when it
    // was never set.
    bool Valid(uint16_t index, const ItemTime& now) const;
    // Whether the scalar has a rule at all (the others are valid whenever set).
    bool Ruled(uint16_t index) const { return rules_[index].state != ValidWhile::kAlways ||
                                              rules_[index].staleSeconds > 0; }

  private:
    std::vector<ValidityRule> rules_;             // by scalar index
    std::vector<std::optional<ItemTime>> fresh_;  // by scalar index: last set
    std::optional<int32_t> channelState_;
    std::optional<int32_t> doState_;
};

}  // namespace tessavo::cli
