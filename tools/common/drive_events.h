// Drive-test events: what happened to calls, connections and handoffs, derived from the
// decoded items in arrival order.
//
// One set of rules serves every output: tessavo-decode's `--format events` and summary
// counts, the KPIs (drive_kpis.h) and, through the Python extension, tessavo.analysis.
//
// 1x calls follow the signalling the handset logged: an Origination or Page Response on the
// access channel starts an attempt; a channel assignment on the paging channel (or, when none
// was logged, the first traffic channel message) assigns it; a Service Connect on the forward
// traffic channel sets it up. A release order ends a connected call normally. Back on the
// sync or paging channel without a release order, a connected call has dropped and a call
// not yet connected has failed; so has an attempt that sees no traffic channel within the
// access timeout. Soft handoffs are the changes of the active set in the pilot tables on
// traffic, hard handoffs the handoff directions that move the call to another CDMA channel,
// idle handoffs the changes of the paging channel's PILOT_PN between System Parameters
// messages of one idle period.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report_item_reader.h"

namespace tessavo::cli {

enum class Technology : uint8_t { k1x, kEvdo };

enum class EventKind : uint8_t {
    kCallAttempt,
    kChannelAssignment,
    kCallSetupSuccess,
    kCallSetupFailure,
    kCallRelease,
    kCallDrop,
    kSoftHandoffAdd,
    kSoftHandoffDrop,
    kHardHandoff,
    kIdleHandoff,
    kRegistration,
    kSystemChange,
    kDoConnectionSuccess,
    kDoConnectionFailure,
    kDoConnectionRelease,
    kDoStateChange,
    kDoServingChange,
};
inline constexpr size_t kEventKindCount = 17;

struct EventKindInfo {
    EventKind kind;
    Technology technology;
    std::string_view name;   // snake_case key: "call_drop"
    std::string_view label;  // what the summary prints
};
std::span<const EventKindInfo, kEventKindCount> EventKinds();
const EventKindInfo& InfoOf(EventKind kind);
std::string_view TechnologyName(Technology technology);  // "1x", "EV-DO"

struct DriveEvent {
    ItemTime time{};
    int64_t item = 0;  // index of the item that showed it
    EventKind kind{};
    std::string details;
};

struct EventOptions {
    // An attempt that reaches no traffic channel within this time has failed (seconds).
    double accessTimeoutSeconds = 15.0;
};

// The state of the 1x call the rules follow; KPIs weigh time by it.
enum class CallState : uint8_t { kIdle, kAccess, kTraffic, kConnected, kReleased };

class EventEngine {
  public:
    using Callback = std::function<void(const DriveEvent&)>;
    EventEngine(EventOptions options, Callback onEvent);

    // Items in arrival order; the item's current scalars and structured parameters are read.
    void Consume(const ItemView& item);

    CallState State() const { return state_; }
    bool OnTraffic() const { return state_ == CallState::kTraffic || state_ == CallState::kConnected; }

  private:
    void Emit(const ItemView& item, EventKind kind, std::string details);
    void AccessChannel(const ItemView& item, uint32_t type);
    void IdleChannel(const ItemView& item, uint16_t logCode, uint32_t type, uint32_t order);
    void TrafficChannel(const ItemView& item, uint16_t logCode, uint32_t type, uint32_t order);
    void EndAttempt(const ItemView& item, std::string reason);
    void ActiveSet(const ItemView& item, std::span<const uint8_t> pilotTable);
    void Evdo(const ItemView& item);

    EventOptions options_;
    Callback onEvent_;
    CallState state_ = CallState::kIdle;
    ItemTime attemptTime_{};
    bool assigned_ = false;
    bool acknowledged_ = false;  // a base station acknowledgement came after the attempt
    std::optional<int32_t> channel_;
    std::optional<int32_t> idlePn_;  // PILOT_PN of the current idle period
    std::optional<int32_t> sid_;
    std::optional<int32_t> nid_;
    std::optional<std::vector<uint32_t>> activeSet_;  // sorted PNs; unset off traffic
    std::optional<std::pair<int32_t, int32_t>> doCounts_;  // connection successes, failures
    std::optional<int32_t> doState_;
    std::array<std::optional<int32_t>, 4> servingPn_{};  // carrier-independent, carriers 0-2
};

}  // namespace tessavo::cli
