#include "drive_events.h"

#include <algorithm>
#include <cstring>

#include "drive_records.h"
#include "item_time.h"
#include "param_catalogue.h"
#include "state_params.h"

namespace tessavo::cli {
namespace {

constexpr std::array<EventKindInfo, kEventKindCount> kKinds = {{
    {EventKind::kCallAttempt, Technology::k1x, "call_attempt", "1x call attempts"},
    {EventKind::kChannelAssignment, Technology::k1x, "channel_assignment",
     "1x channel assignments"},
    {EventKind::kCallSetupSuccess, Technology::k1x, "call_setup_success", "1x call setups"},
    {EventKind::kCallSetupFailure, Technology::k1x, "call_setup_failure",
     "1x call setup failures"},
    {EventKind::kCallRelease, Technology::k1x, "call_release", "1x normal releases"},
    {EventKind::kCallDrop, Technology::k1x, "call_drop", "1x dropped calls"},
    {EventKind::kSoftHandoffAdd, Technology::k1x, "soft_handoff_add", "1x soft handoff adds"},
    {EventKind::kSoftHandoffDrop, Technology::k1x, "soft_handoff_drop", "1x soft handoff drops"},
    {EventKind::kHardHandoff, Technology::k1x, "hard_handoff", "1x hard handoffs"},
    {EventKind::kIdleHandoff, Technology::k1x, "idle_handoff", "1x idle handoffs"},
    {EventKind::kRegistration, Technology::k1x, "registration", "1x registrations"},
    {EventKind::kSystemChange, Technology::k1x, "system_change", "1x system (SID/NID) changes"},
    {EventKind::kDoConnectionSuccess, Technology::kEvdo, "do_connection_success",
     "EV-DO connection successes"},
    {EventKind::kDoConnectionFailure, Technology::kEvdo, "do_connection_failure",
     "EV-DO connection failures"},
    {EventKind::kDoConnectionRelease, Technology::kEvdo, "do_connection_release",
     "EV-DO connection releases"},
    {EventKind::kDoStateChange, Technology::kEvdo, "do_state_change", "EV-DO state changes"},
    {EventKind::kDoServingChange, Technology::kEvdo, "do_serving_change",
     "EV-DO serving sector changes"},
}};

constexpr bool KindsInOrder() {
    for (size_t i = 0; i < kKinds.size(); ++i) {
        if (static_cast<size_t>(kKinds[i].kind) != i) return false;
    }
    return true;
}
static_assert(KindsInOrder(), "the kind table is indexed by EventKind");

// Signalling log codes: their message codes carry the log code in the upper half, the
// over-the-air message type in bits 8-15 and an order's sub-code in the low byte.
constexpr uint16_t kAccessChannel = 0x1004;
constexpr uint16_t kReverseTraffic = 0x1005;
constexpr uint16_t kSyncChannel = 0x1006;
constexpr uint16_t kPagingChannel = 0x1007;
constexpr uint16_t kForwardTraffic = 0x1008;

// Message types.
constexpr uint32_t kRegistrationMsg = 1;   // access channel
constexpr uint32_t kOriginationMsg = 4;    // access channel
constexpr uint32_t kPageResponseMsg = 5;   // access channel
constexpr uint32_t kSystemParamsMsg = 1;   // paging channel
constexpr uint32_t kPagingOrderMsg = 7;    // paging channel
constexpr uint32_t kChannelAssignMsg = 8;  // paging channel
constexpr uint32_t kExtChannelAssignMsg = 21;
constexpr uint32_t kTrafficOrderMsg = 1;     // both traffic channels
constexpr uint32_t kServiceConnectMsg = 20;  // forward traffic

// Order sub-codes (order code × 4 + variant) as the message code carries them.
constexpr uint32_t kReorderOrder = 16;
constexpr uint32_t kInterceptOrder = 36;
constexpr uint32_t kBsAckOrder = 64;
constexpr uint32_t kReleaseOrder = 84;

// Parameter IDs the rules read.
constexpr uint32_t kCdmaChannel = 0x7F010012;
constexpr uint32_t kHandoffKind = 0x7F010015;
constexpr uint32_t kSid = 0x7F010301;
constexpr uint32_t kNid = 0x7F010302;
constexpr uint32_t kOriginationSo = 0x7F01031C;
constexpr uint32_t kPageResponseSo = 0x7F01031D;
constexpr uint32_t kDoConnSuccesses = 0x7F01830E;
constexpr uint32_t kDoConnFailures = 0x7F01830F;
constexpr uint32_t kDoConnOutcome = 0x7F018319;
constexpr uint32_t kDoConnPilotPn = 0x7F018317;
constexpr uint32_t kDoReleaseReason = 0x7F01831A;
constexpr int32_t kHardHandoffKind = 9;  // a handoff direction to another CDMA channel
constexpr int32_t kConnectionSucceeded = 1;

std::optional<int32_t> Fresh(const ItemView& item, uint32_t id) {
    for (const DecodeParam& param : item.currentParams) {
        if (param.id == id && param.state == TESSAVO_STATE_FRESH) return param.value;
    }
    return std::nullopt;
}

std::span<const uint8_t> CurrentStruct(const ItemView& item, uint32_t id) {
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.id == id && record.state == TESSAVO_STATE_FRESH) return record.payload;
    }
    return {};
}

std::string Number(int64_t value) {
    return std::to_string(value);
}

std::string PnList(const std::vector<uint32_t>& pns) {
    std::string text;
    for (uint32_t pn : pns) text += (text.empty() ? "" : " ") + Number(pn);
    return text;
}

std::string DoStateName(int32_t value) {
    const ParamInfo* info = FindParam(kDoStateId);
    std::string_view label = info != nullptr ? ValueLabelOf(*info, value) : std::string_view();
    return label.empty() ? "state " + Number(value) : std::string(label);
}

}  // namespace

std::span<const EventKindInfo, kEventKindCount> EventKinds() {
    return kKinds;
}

const EventKindInfo& InfoOf(EventKind kind) {
    return kKinds[static_cast<size_t>(kind)];
}

std::string_view TechnologyName(Technology technology) {
    return technology == Technology::k1x ? "1x" : "EV-DO";
}

EventEngine::EventEngine(EventOptions options, Callback onEvent)
    : options_(options), onEvent_(std::move(onEvent)) {}

void EventEngine::Emit(const ItemView& item, EventKind kind, std::string details) {
    onEvent_(DriveEvent{item.time, item.index, kind, std::move(details)});
}

void EventEngine::EndAttempt(const ItemView& item, std::string reason) {
    Emit(item, EventKind::kCallSetupFailure, std::move(reason));
    state_ = CallState::kIdle;
    activeSet_.reset();
}

void EventEngine::AccessChannel(const ItemView& item, uint32_t type) {
    if (type == kRegistrationMsg) {
        Emit(item, EventKind::kRegistration, "");
        return;
    }
    if (type != kOriginationMsg && type != kPageResponseMsg) return;
    if (state_ == CallState::kAccess || state_ == CallState::kTraffic) {
        EndAttempt(item, "new attempt before service connect");
    } else if (state_ == CallState::kConnected) {
        Emit(item, EventKind::kCallDrop, "new attempt without a release");
    }
    const bool origination = type == kOriginationMsg;
    std::string details = origination ? "origination" : "page response";
    if (auto so = Fresh(item, origination ? kOriginationSo : kPageResponseSo)) {
        details += ", service option " + Number(*so);
    }
    Emit(item, EventKind::kCallAttempt, std::move(details));
    state_ = CallState::kAccess;
    attemptTime_ = item.time;
    assigned_ = false;
    acknowledged_ = false;
    idlePn_.reset();
    activeSet_.reset();
}

void EventEngine::IdleChannel(const ItemView& item, uint16_t logCode, uint32_t type,
                              uint32_t order) {
    const bool paging = logCode == kPagingChannel;
    if (state_ == CallState::kAccess && paging) {
        if (type == kChannelAssignMsg || type == kExtChannelAssignMsg) {
            if (!assigned_) Emit(item, EventKind::kChannelAssignment, "paging channel assignment");
            assigned_ = true;
            return;
        }
        if (type == kPagingOrderMsg) {
            switch (order) {
                case kBsAckOrder:
                    acknowledged_ = true;
                    return;
                case kReorderOrder:
                    return EndAttempt(item, "reorder");
                case kInterceptOrder:
                    return EndAttempt(item, "intercept");
                case kReleaseOrder:
                    return EndAttempt(item, "release before service connect");
                default:
                    break;
            }
        }
    }
    switch (state_) {
        case CallState::kAccess:
            // The handset listens to the paging channel while it waits; a sync channel
            // message (acquisition again) or the timeout ends the attempt.
            if (!paging || SecondsBetween(attemptTime_, item.time) > options_.accessTimeoutSeconds) {
                EndAttempt(item, assigned_       ? "no traffic channel after the assignment"
                                 : acknowledged_ ? "no channel assignment"
                                                 : "access failure (no acknowledgement)");
            }
            break;
        case CallState::kTraffic:
            EndAttempt(item, "traffic channel lost before service connect");
            break;
        case CallState::kConnected:
            Emit(item, EventKind::kCallDrop, "back on the idle channels without a release");
            state_ = CallState::kIdle;
            activeSet_.reset();
            break;
        case CallState::kReleased:
            state_ = CallState::kIdle;
            break;
        case CallState::kIdle:
            break;
    }
    if (!paging) {
        idlePn_.reset();  // acquisition: a new idle period
        return;
    }
    if (type == kSystemParamsMsg && state_ == CallState::kIdle) {
        std::span<const uint8_t> sysParams = CurrentStruct(item, kSysParamsMsgId);
        if (sysParams.size() >= kSysParamsPilotPnEnd) {
            const int32_t pn = SysParamsPilotPn(sysParams);
            if (idlePn_ && *idlePn_ != pn) {
                Emit(item, EventKind::kIdleHandoff, "PN " + Number(*idlePn_) + " -> " + Number(pn));
            }
            idlePn_ = pn;
        }
    }
}

void EventEngine::TrafficChannel(const ItemView& item, uint16_t logCode, uint32_t type,
                                 uint32_t order) {
    if (state_ == CallState::kReleased) return;  // the rest of the release exchange
    if (state_ == CallState::kIdle || state_ == CallState::kAccess) {
        if (state_ == CallState::kAccess && !assigned_) {
            Emit(item, EventKind::kChannelAssignment, "traffic channel (no assignment logged)");
        }
        // A capture that starts during a call shows it connected from its first message.
        state_ = state_ == CallState::kAccess ? CallState::kTraffic : CallState::kConnected;
    }
    const bool forward = logCode == kForwardTraffic;
    if (type == kTrafficOrderMsg && order == kReleaseOrder) {
        if (state_ == CallState::kConnected) {
            Emit(item, EventKind::kCallRelease,
                 forward ? "release order from the network" : "release order from the handset");
        } else {
            Emit(item, EventKind::kCallSetupFailure, "release before service connect");
        }
        state_ = CallState::kReleased;
        activeSet_.reset();
        return;
    }
    if (!forward || state_ != CallState::kTraffic) return;
    if (type == kServiceConnectMsg) {
        Emit(item, EventKind::kCallSetupSuccess, "service connect");
        state_ = CallState::kConnected;
    } else if (type == kTrafficOrderMsg && (order == kReorderOrder || order == kInterceptOrder)) {
        EndAttempt(item, order == kReorderOrder ? "reorder" : "intercept");
    }
}

void EventEngine::ActiveSet(const ItemView& item, std::span<const uint8_t> pilotTable) {
    std::vector<uint32_t> active;
    ForEachPilot(pilotTable, [&](const PilotRow& pilot) {
        if (pilot.set == kActiveSet) active.push_back(pilot.pn);
    });
    std::sort(active.begin(), active.end());
    active.erase(std::unique(active.begin(), active.end()), active.end());
    if (active.empty()) return;
    if (activeSet_ && *activeSet_ != active) {
        const std::vector<uint32_t>& before = *activeSet_;
        for (uint32_t pn : active) {
            if (!std::binary_search(before.begin(), before.end(), pn)) {
                Emit(item, EventKind::kSoftHandoffAdd,
                     "PN " + Number(pn) + " added; active set " + PnList(active));
            }
        }
        for (uint32_t pn : before) {
            if (!std::binary_search(active.begin(), active.end(), pn)) {
                Emit(item, EventKind::kSoftHandoffDrop,
                     "PN " + Number(pn) + " dropped; active set " + PnList(active));
            }
        }
    }
    activeSet_ = std::move(active);
}

void EventEngine::Evdo(const ItemView& item) {
    if (auto outcome = Fresh(item, kDoConnOutcome)) {
        // The record's counters since power-up tell the outcome: the one that moved since the
        // previous record (on the first, the only one above 0). The outcome field decides
        // only when they do not tell.
        const auto successes = Fresh(item, kDoConnSuccesses);
        const auto failures = Fresh(item, kDoConnFailures);
        bool success = *outcome == kConnectionSucceeded;
        if (successes && failures) {
            if (doCounts_) {
                if (*successes > doCounts_->first) {
                    success = true;
                } else if (*failures > doCounts_->second) {
                    success = false;
                }
            } else if ((*successes == 0) != (*failures == 0)) {
                success = *failures == 0;  // the first record: only one count has moved
            }
            doCounts_ = std::make_pair(*successes, *failures);
        }
        std::string details;
        if (auto pn = Fresh(item, kDoConnPilotPn)) details = "PN " + Number(*pn);
        if (success) {
            Emit(item, EventKind::kDoConnectionSuccess, std::move(details));
        } else {
            Emit(item, EventKind::kDoConnectionFailure,
                 "outcome " + Number(*outcome) + (details.empty() ? "" : ", " + details));
        }
    }
    if (auto reason = Fresh(item, kDoReleaseReason)) {
        Emit(item, EventKind::kDoConnectionRelease, "reason " + Number(*reason));
    }
    if (auto state = Fresh(item, kDoStateId)) {
        if (doState_ && *doState_ != *state) {
            Emit(item, EventKind::kDoStateChange,
                 DoStateName(*doState_) + " -> " + DoStateName(*state));
        }
        doState_ = state;
    }
    // One event per item however many carriers moved with the serving sector.
    std::string moves;
    for (size_t i = 0; i < kDoServingPnIds.size(); ++i) {
        auto pn = Fresh(item, kDoServingPnIds[i]);
        if (!pn) continue;
        if (servingPn_[i] && *servingPn_[i] != *pn) {
            moves += moves.empty() ? "" : "; ";
            if (i > 0) moves += "carrier " + Number(static_cast<int64_t>(i) - 1) + ": ";
            moves += "PN " + Number(*servingPn_[i]) + " -> " + Number(*pn);
        }
        servingPn_[i] = pn;
    }
    if (!moves.empty()) Emit(item, EventKind::kDoServingChange, std::move(moves));
}

void EventEngine::Consume(const ItemView& item) {
    const uint16_t logCode = item.identity.logCode.value_or(0);
    const bool signalling =
        logCode >= kAccessChannel && logCode <= kForwardTraffic && (item.msgCode >> 16) == logCode;
    if (signalling) {
        const uint32_t type = (item.msgCode >> 8) & 0xFFu;
        const uint32_t order = item.msgCode & 0xFFu;
        switch (logCode) {
            case kAccessChannel:
                AccessChannel(item, type);
                break;
            case kSyncChannel:
            case kPagingChannel:
                IdleChannel(item, logCode, type, order);
                break;
            default:
                TrafficChannel(item, logCode, type, order);
                break;
        }
    }
    auto channel = Fresh(item, kCdmaChannel);
    if (channel && OnTraffic() && channel_ && *channel_ != *channel &&
        (logCode == kForwardTraffic || Fresh(item, kHandoffKind) == kHardHandoffKind)) {
        Emit(item, EventKind::kHardHandoff,
             "channel " + Number(*channel_) + " -> " + Number(*channel));
    }
    if (channel) channel_ = channel;
    auto sid = Fresh(item, kSid);
    auto nid = Fresh(item, kNid);
    if ((sid && sid_ && *sid != *sid_) || (nid && nid_ && *nid != *nid_)) {
        Emit(item, EventKind::kSystemChange,
             "SID " + Number(sid_.value_or(-1)) + " NID " + Number(nid_.value_or(-1)) + " -> SID " +
                 Number(sid.value_or(sid_.value_or(-1))) + " NID " +
                 Number(nid.value_or(nid_.value_or(-1))));
    }
    if (sid) sid_ = sid;
    if (nid) nid_ = nid;
    if (OnTraffic()) {
        std::span<const uint8_t> table = CurrentStruct(item, kPilotTableId);
        if (!table.empty()) ActiveSet(item, table);
    }
    Evdo(item);
}

}  // namespace tessavo::cli
