// The few structured payloads the drive analysis reads: the pilot table (set, PN and Ec/Io
// of each pilot the searcher reports) and the PILOT_PN of a System Parameters message.
// Reads are bounds-checked: a short payload yields the pilots it holds whole.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

namespace tessavo::cli {

inline constexpr uint32_t kPilotTableId = 0x7F0107D6;
inline constexpr uint32_t kSysParamsMsgId = 0x7F0107D0;
inline constexpr size_t kSysParamsPilotPnEnd = 2;  // PILOT_PN is the u16 at 0

// Pilot table: u32 count, then up to 64 entries of 40 bytes: set (0 active, 1 candidate,
// 2 neighbour) u32 at 0, channel i32 at 4, PN u32 at 8, receive power, pilot power and Ec/Io
// as f64 at 12, 20 and 28 (-9999 where unknown).
struct PilotTableLayout {
    static constexpr size_t kHeader = 4;
    static constexpr size_t kEntry = 40;
    static constexpr uint32_t kMaxPilots = 64;
    static constexpr size_t kSet = 0;
    static constexpr size_t kChannel = 4;
    static constexpr size_t kPn = 8;
    static constexpr size_t kRxPower = 12;
    static constexpr size_t kPilotPower = 20;
    static constexpr size_t kEcio = 28;
};
inline constexpr uint32_t kActiveSet = 0;
inline constexpr double kNoLevel = -9999.0;

struct PilotRow {
    uint32_t set;
    uint32_t pn;
    double ecio;  // dB, kNoLevel when unknown
};

template <typename T>
T LoadLittle(std::span<const uint8_t> bytes, size_t offset) {
    T value{};
    if (offset <= bytes.size() && sizeof value <= bytes.size() - offset) {
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    }
    return value;
}

template <typename Visit>
void ForEachPilot(std::span<const uint8_t> table, Visit visit) {
    using L = PilotTableLayout;
    if (table.size() < L::kHeader) return;
    const uint32_t count = std::min(LoadLittle<uint32_t>(table, 0), L::kMaxPilots);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = L::kHeader + L::kEntry * i;
        if (at + L::kEntry > table.size()) return;
        visit(PilotRow{LoadLittle<uint32_t>(table, at + L::kSet),
                       LoadLittle<uint32_t>(table, at + L::kPn),
                       LoadLittle<double>(table, at + L::kEcio)});
    }
}

inline int32_t SysParamsPilotPn(std::span<const uint8_t> sysParams) {
    return LoadLittle<uint16_t>(sysParams, 0);
}

}  // namespace tessavo::cli
