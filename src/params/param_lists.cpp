#include "params/param_lists.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tessavo {
namespace {

constexpr uint16_t kOffset7F010014 = param::kCallState.offset;

// Inclusive ID spans of a clearing group.
struct IdSpan {
    uint32_t first;
    uint32_t last;
};

constexpr IdSpan kGroupA[] = {{0x7F010002, 0x7F010004},
                              {0x7F010006, 0x7F010006},
                              {0x7F010101, 0x7F01010C},
                              {0x7F010201, 0x7F010206}};
constexpr IdSpan kGroupC[] = {{0x7F01000C, 0x7F01000E}};
constexpr IdSpan kGroupB[] = {{0x7F010101, 0x7F01010C}, {0x7F010201, 0x7F010206}};
constexpr IdSpan kGroupD[] = {
    {0x7F018003, 0x7F018006}, {0x7F018009, 0x7F01800B}, {0x7F018101, 0x7F018107},
    {0x7F018201, 0x7F018207}, {0x7F018401, 0x7F018408}, {0x7F018501, 0x7F018509},
    {0x7F019103, 0x7F019106}, {0x7F019109, 0x7F01910B}, {0x7F019301, 0x7F019307},
    {0x7F019402, 0x7F019409}, {0x7F019501, 0x7F019509}, {0x7F01A103, 0x7F01A106},
    {0x7F01A109, 0x7F01A10B}, {0x7F01A301, 0x7F01A307}, {0x7F01A402, 0x7F01A409},
    {0x7F01A501, 0x7F01A509}, {0x7F01B103, 0x7F01B106}, {0x7F01B109, 0x7F01B10B},
    {0x7F01B301, 0x7F01B307}, {0x7F01B402, 0x7F01B409}, {0x7F01B501, 0x7F01B509}};

constexpr int CountIds(const IdSpan* spans, size_t n) {
    int total = 0;
    for (size_t i = 0; i < n; ++i) total += static_cast<int>(spans[i].last - spans[i].first) + 1;
    return total;
}
static_assert(CountIds(kGroupD, std::size(kGroupD)) == 131);

template <size_t N>
constexpr bool InGroup(const IdSpan (&spans)[N], uint32_t id) {
    for (const IdSpan& s : spans) {
        if (s.first <= id && id <= s.last) return true;
    }
    return false;
}

void ClearIfValid(ParamStore& ctx, DecodeParam& p) {
    if (p.state == TESSAVO_STATE_FRESH || p.state == TESSAVO_STATE_INHERITED) {
        ctx.inheritedParams.NoteCleared();
        p.state = TESSAVO_STATE_CLEARED;
        ctx.Mark(&p.state, sizeof p.state);
    }
}

// A record's state word changes, when it does, through here.
void SetStructState(ParamStore& ctx, StructRecordView rec, int32_t state) {
    rec.SetState(state);
    ctx.Mark(rec.record, sizeof state);
}

// The four list counts of an item, taken before the lists are rebuilt: most packets leave them
// as they were, and then their lines are not stamped (nor copied at the append).
struct ListCounts {
    uint16_t params[2];
    uint16_t structs[2];
    explicit ListCounts(const ReportItem& item)
        : params{item.curParamCount, item.inhParamCount},
          structs{item.curStructCount, item.inhStructCount} {}
};

// Stamps the counts that changed since `before` and the inherited lists that may have.
void MarkLists(ParamStore& ctx, const ListCounts& before, bool paramListChanged,
               bool structListChanged) {
    ReportItem& item = ctx.item;
    if (before.params[0] != item.curParamCount || before.params[1] != item.inhParamCount)
        ctx.Mark(&item.curParamCount, sizeof item.curParamCount + sizeof item.inhParamCount);
    if (paramListChanged)
        ctx.Mark(item.inhParamList, sizeof item.inhParamList[0] * item.inhParamCount);
    if (before.structs[0] != item.curStructCount || before.structs[1] != item.inhStructCount)
        ctx.Mark(&item.curStructCount, sizeof item.curStructCount + sizeof item.inhStructCount);
    if (structListChanged)
        ctx.Mark(item.inhStructList, sizeof item.inhStructList[0] * item.inhStructCount);
}

// Puts the kept list into the item's list; false when the item already held it.
template <size_t N>
bool TakeKeptList(InheritedListCache<N>& cache, uint16_t* itemList, uint16_t& itemCount) {
    if (cache.itemHoldsList) return false;
    cache.itemHoldsList = true;
    const size_t bytes = sizeof cache.list[0] * cache.count;
    if (itemCount == cache.count &&
        (cache.count == 0 || std::memcmp(itemList, cache.list.data(), bytes) == 0))
        return false;
    std::memcpy(itemList, cache.list.data(), bytes);
    itemCount = cache.count;
    return true;
}

// The clearing groups each slot belongs to, one bit per group, so that a clear walks the
// touched records without looking their IDs up.
enum GroupBit : uint8_t { kInGroupA = 1, kInGroupB = 2, kInGroupC = 4, kInGroupD = 8 };
constexpr auto kSlotGroups = [] {
    std::array<uint8_t, kParamCount> groups{};
    for (int slot = 0; slot < kParamCount; ++slot) {
        const uint32_t id = ParamIdOfSlot(slot);
        groups[static_cast<size_t>(slot)] = static_cast<uint8_t>(
            (InGroup(kGroupA, id) ? kInGroupA : 0) | (InGroup(kGroupB, id) ? kInGroupB : 0) |
            (InGroup(kGroupC, id) ? kInGroupC : 0) | (InGroup(kGroupD, id) ? kInGroupD : 0));
    }
    return groups;
}();

void ClearGroup(ParamStore& ctx, GroupBit group) {
    for (int i = 0; i < ctx.touchedParamCount; ++i) {
        const uint16_t offset = ctx.touchedParams[static_cast<size_t>(i)];
        if ((kSlotGroups[offset / kParamRecordSize] & group) != 0) {
            ClearIfValid(ctx, ctx.item.ParamAt(offset));
        }
    }
}

void AppendCurrent(ParamStore& ctx, uint16_t offset) {
    ReportItem& item = ctx.item;
    if (item.curParamCount >= kParamCount) return;
    ctx.Mark(&item.curParamList[item.curParamCount], sizeof offset);
    item.curParamList[item.curParamCount++] = offset;
    ctx.Mark(&item.curParamCount, sizeof item.curParamCount);
}

}  // namespace

void SetParam(ParamStore& ctx, uint16_t offset, uint32_t id, int32_t value, uint16_t& runCount) {
    DecodeParam& p = ctx.item.ParamAt(offset);
    ctx.inheritedParams.NoteFresh(offset, p.state);
    p.state = TESSAVO_STATE_FRESH;
    p.id = id;
    p.value = value;
    ctx.Mark(&p, sizeof p);
    if (runCount < kParamCount) {
        ctx.item.curParamList[runCount] = offset;
        ctx.Mark(&ctx.item.curParamList[runCount], sizeof offset);
    }
    if (!IsParamTouched(ctx, offset) && ctx.touchedParamCount < kParamCount) {
        ctx.touchedParams[ctx.touchedParamCount++] = offset;
    }
    if (runCount < UINT16_MAX) ++runCount;
}

void SetStructParam(ParamStore& ctx, uint16_t offset, uint32_t id, const uint8_t* payload,
                    size_t payloadLength, uint16_t& runCount) {
    const uint32_t capacity = StructCapacityAtOffset(offset);
    StructRecordView rec = ctx.item.StructAt(offset);
    ctx.inheritedStructs.NoteFresh(offset, rec.State());
    rec.SetState(TESSAVO_STATE_FRESH);
    rec.SetId(id);
    rec.SetLength(capacity);
    const size_t take = std::min<size_t>(payloadLength, capacity);
    if (take != 0) std::memcpy(rec.Payload(), payload, take);
    if (take < capacity) std::memset(rec.Payload() + take, 0, capacity - take);
    ctx.Mark(rec.record, kStructHeaderSize + capacity);
    if (runCount < kStructParamCount) {
        ctx.item.curStructList[runCount] = offset;
        ctx.Mark(&ctx.item.curStructList[runCount], sizeof offset);
    }
    ctx.touchedStructParams.Insert(offset);
    if (runCount < UINT16_MAX) ++runCount;
}

bool IsParamTouched(const ParamStore& ctx, uint16_t offset) {
    for (int i = 0; i < ctx.touchedParamCount; ++i) {
        if (ctx.touchedParams[static_cast<size_t>(i)] == offset) return true;
    }
    return false;
}

namespace {

// The full walk of a packet start over every record ever written.
void WalkParams(ParamStore& ctx) {
    ReportItem& item = ctx.item;
    item.inhParamCount = 0;
    for (int i = 0; i < ctx.touchedParamCount; ++i) {
        const uint16_t off = ctx.touchedParams[static_cast<size_t>(i)];
        DecodeParam& p = item.ParamAt(off);
        if (p.state == TESSAVO_STATE_FRESH) {
            p.state = TESSAVO_STATE_INHERITED;
            ctx.Mark(&p.state, sizeof p.state);
        }
        if (p.state == TESSAVO_STATE_INHERITED) {
            item.inhParamList[item.inhParamCount++] = off;
        } else if (p.state == TESSAVO_STATE_CLEARED) {
            p.state = TESSAVO_STATE_RETIRED;
            ctx.Mark(&p.state, sizeof p.state);
        }
    }
}

void WalkStructs(ParamStore& ctx) {
    ReportItem& item = ctx.item;
    item.inhStructCount = 0;
    for (int i = 0; i < ctx.touchedStructParams.Size(); ++i) {
        const uint16_t off = ctx.touchedStructParams[i];
        StructRecordView rec = item.StructAt(off);
        int32_t state = rec.State();
        if (state == TESSAVO_STATE_FRESH) {
            state = TESSAVO_STATE_INHERITED;
            SetStructState(ctx, rec, state);
        }
        if (state == TESSAVO_STATE_INHERITED) {
            item.inhStructList[item.inhStructCount++] = off;
        } else if (state == TESSAVO_STATE_CLEARED) {
            SetStructState(ctx, rec, TESSAVO_STATE_RETIRED);
        }
    }
}

// Only the records written in the last packet change, and all of them are still fresh (a
// clear makes the kept list stale); the list is the kept one. True when the list changed.
bool RestartParams(ParamStore& ctx) {
    auto& cache = ctx.inheritedParams;
    ReportItem& item = ctx.item;
    for (uint16_t i = 0; i < cache.writtenCount; ++i) {
        DecodeParam& p = item.ParamAt(cache.written[i]);
        p.state = TESSAVO_STATE_INHERITED;
        ctx.Mark(&p.state, sizeof p.state);
    }
    return TakeKeptList(cache, item.inhParamList, item.inhParamCount);
}

bool RestartStructs(ParamStore& ctx) {
    auto& cache = ctx.inheritedStructs;
    ReportItem& item = ctx.item;
    for (uint16_t i = 0; i < cache.writtenCount; ++i) {
        SetStructState(ctx, item.StructAt(cache.written[i]), TESSAVO_STATE_INHERITED);
    }
    return TakeKeptList(cache, item.inhStructList, item.inhStructCount);
}

// One kind's list at a packet start: the full walk when the kept list is stale (or the plain
// path is asked for), whose result is kept; otherwise the restart from the kept list. True
// when the item's list may have changed.
template <size_t N>
bool StartList(ParamStore& ctx, InheritedListCache<N>& cache, const uint16_t* itemList,
               const uint16_t& itemCount, void (*walk)(ParamStore&), bool (*restart)(ParamStore&)) {
    bool changed = true;
    if (cache.stale || ctx.plainWrites) {
        walk(ctx);
        std::copy_n(itemList, itemCount, cache.list.begin());
        cache.count = itemCount;
        cache.stale = false;
        cache.itemHoldsList = true;
    } else {
        changed = restart(ctx);
    }
    cache.writtenCount = 0;
    return changed;
}

}  // namespace

void ResetParamLists(ParamStore& ctx) {
    ReportItem& item = ctx.item;
    const ListCounts before(item);
    item.curParamCount = 0;
    const bool params = StartList(ctx, ctx.inheritedParams, item.inhParamList,
                                  item.inhParamCount, WalkParams, RestartParams);
    item.curStructCount = 0;
    const bool structs = StartList(ctx, ctx.inheritedStructs, item.inhStructList,
                                   item.inhStructCount, WalkStructs, RestartStructs);
    MarkLists(ctx, before, params, structs);
}

void BuildParamLists(ParamStore& ctx) {
    ReportItem& item = ctx.item;
    const ListCounts before(item);
    item.inhParamCount = 0;
    ctx.inheritedParams.itemHoldsList = false;
    for (int i = 0; i < ctx.touchedParamCount; ++i) {
        const uint16_t off = ctx.touchedParams[static_cast<size_t>(i)];
        const int32_t state = item.ParamAt(off).state;
        if (state == TESSAVO_STATE_INHERITED) {
            item.inhParamList[item.inhParamCount++] = off;
        } else if (state == TESSAVO_STATE_CLEARED) {
            AppendCurrent(ctx, off);
        }
    }
    if (item.ParamAt(kOffset7F010014).state == TESSAVO_STATE_FRESH) {
        const uint16_t* begin = item.curParamList;
        const uint16_t* end = begin + item.curParamCount;
        if (std::find(begin, end, kOffset7F010014) == end) AppendCurrent(ctx, kOffset7F010014);
    }
    MarkLists(ctx, before, true, true);
}

void BuildStructParamLists(ParamStore& ctx) {
    ReportItem& item = ctx.item;
    const ListCounts before(item);
    item.inhStructCount = 0;
    ctx.inheritedStructs.itemHoldsList = false;
    for (int i = 0; i < ctx.touchedStructParams.Size(); ++i) {
        const uint16_t off = ctx.touchedStructParams[i];
        const int32_t state = item.StructAt(off).State();
        if (state == TESSAVO_STATE_INHERITED) {
            item.inhStructList[item.inhStructCount++] = off;
        } else if (state == TESSAVO_STATE_CLEARED && item.curStructCount < kStructParamCount) {
            ctx.Mark(&item.curStructList[item.curStructCount], sizeof off);
            item.curStructList[item.curStructCount++] = off;
        }
    }
    MarkLists(ctx, before, true, true);
}

void ClearParam(ParamStore& ctx, uint16_t offset) {
    if (IsParamTouched(ctx, offset)) ClearIfValid(ctx, ctx.item.ParamAt(offset));
}

void ClearParamGroupA(ParamStore& ctx) {
    ClearGroup(ctx, kInGroupA);
}

void ClearParamGroupC(ParamStore& ctx) {
    if (ctx.lastValue018309 == 0) ClearGroup(ctx, kInGroupC);
}

void ClearParamGroupB(ParamStore& ctx) {
    ClearParamGroupC(ctx);
    ClearGroup(ctx, kInGroupB);
}

void ClearParamGroupD(ParamStore& ctx) {
    ClearParamGroupC(ctx);
    ClearGroup(ctx, kInGroupD);
}

void PublishModeParams(ParamStore& ctx, int selector, uint16_t& runCount) {
    constexpr ParamRef kChannelState = param::kChannelState;
    constexpr ParamRef kMode = param::kModeC103;
    if (selector == 0 || selector == 2) {
        SetParam(ctx, kChannelState.offset, kChannelState.id, ctx.channelState, runCount);
    }
    if (selector == 1 || selector == 2) {
        SetParam(ctx, kMode.offset, kMode.id, ctx.modeC103, runCount);
    }
}

void ParamRun::Finish() {
    if (finished_) return;
    finished_ = true;
    ctx_.item.curParamCount = std::min<uint16_t>(runCount_, kParamCount);
    ctx_.Mark(&ctx_.item.curParamCount, sizeof ctx_.item.curParamCount);
    BuildParamLists(ctx_);
}

void StructRun::Finish() {
    if (finished_) return;
    finished_ = true;
    ctx_.item.curStructCount = std::min<uint16_t>(runCount_, kStructParamCount);
    ctx_.Mark(&ctx_.item.curStructCount, sizeof ctx_.item.curStructCount);
    BuildStructParamLists(ctx_);
}

}  // namespace tessavo
