// The documented host loop, shared by the benchmark programs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <vector>

#include "tessavo/tessavo.h"

namespace tessavo::bench {

inline volatile uint32_t gSink;

// CPU seconds this process has used.
inline double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The documented host loop: 64 KB pieces through DecodeMsgProc_NoDynamic, collect after every
// call, re-feed the tail; each item's message code, time and current scalar list are read.
inline int64_t HostLoop(void* h, const std::vector<uint8_t>& bytes) {
    int64_t items = 0;
    for (size_t at = 0; at < bytes.size();) {
        const auto n = static_cast<int32_t>(std::min<size_t>(65536, bytes.size() - at));
        const int32_t left = DecodeMsgProc_NoDynamic(h, bytes.data() + at, n, 0, 0);
        const int32_t count = GetReportItemCountProc(h);
        for (int32_t i = 0; i < count; ++i) {
            uint32_t sum = GetReportItemMsgCode(h, i);
            if (const auto* time = static_cast<const ItemTime*>(GetReportItemMsgTime(h, i))) {
                sum += static_cast<uint32_t>(time->seconds);
            }
            const uint32_t params = GetReportItemCurDecodeParamCount(h, i);
            for (uint32_t k = 0; k < params && params != 0xFFFFFFFFu; ++k) {
                const DecodeParam* p =
                    GetReportItemCurDecodeParamList(h, i, static_cast<int32_t>(k));
                if (p != nullptr) sum += p->id + static_cast<uint32_t>(p->value);
            }
            gSink = sum;
        }
        items += count;
        if (left < 0 || (left >= n && count == 0)) break;
        at += static_cast<size_t>(n - left);
    }
    return items;
}

}  // namespace tessavo::bench
