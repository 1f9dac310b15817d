// The sector table of the second air interface and the per-carrier rate values.
//
// The table holds the sectors the handset tracks: rebuilt by the multi-carrier sector log
// (0x12A1) and by the single-carrier sector sets (0x108B), added to by the single-carrier
// strength log (0x108A), and published whole by 0x1295 and 0x108A. A row is keyed by sector
// number and channel. The rate values tie a carrier (0 to 2) to its channel and its receive
// level, so that a sector row can carry the level of the carrier it is heard on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr int kSectorTableCapacity = 512;
// One row in its published form: 14 little-endian 32-bit words, the three levels as f64.
inline constexpr size_t kSectorRowWireSize = 56;
// The published table: u32 row count, then the first 64 rows.
inline constexpr int kSectorRowsPublished = 64;
inline constexpr size_t kSectorTableBlobSize = 4 + kSectorRowsPublished * kSectorRowWireSize;
inline constexpr int kCarrierCount = 3;

// Which list a sector came from.
inline constexpr int32_t kSectorKindActive = 0;     // active set (the serving sectors)
inline constexpr int32_t kSectorKindCandidate = 1;  // candidate set
inline constexpr int32_t kSectorKindNeighbour = 2;  // neighbour set

struct SectorRow {
    int32_t kind = -1;
    int32_t channel = -9999;
    int32_t sector = -9999;
    double carrierLevel = -9999.0;    // receive level of the sector's carrier, dBm
    double convertedLevel = -9999.0;  // share of the sector in the total received, dB
    double level = -9999.0;           // sector strength, dB
    int32_t field10 = 0;              // channel-dependent small field; 0 when not given
    std::array<int32_t, 4> spare = {-9999, -9999, -9999, -9999};  // fields 11 to 14
};

struct SectorTable {
    std::array<SectorRow, kSectorTableCapacity> rows{};
    int32_t count = 0;

    // Zeroes every row, as a fresh table holds them.
    void Clear();
    // Overwrites the row with the same sector number and channel (which keeps its field 10),
    // else appends while there is room; a full table drops the row.
    void Insert(const SectorRow& row);
    // Rows in use (the count kept within the capacity).
    int Used() const;
};

// Per-carrier values of the multi-carrier logs: the channel a carrier was last seen on (0x1295)
// and its receive level x 1000 (dBm, 0x129C).
struct CarrierRateValues {
    std::array<int32_t, kCarrierCount> channel = {-9999, -9999, -9999};
    std::array<double, kCarrierCount> levelX1000 = {-9999.0, -9999.0, -9999.0};
};

void StoreSectorRow(uint8_t* out, const SectorRow& row);
// The published table (kSectorTableBlobSize bytes): u32 count, the first 64 rows, zeros after.
void StoreSectorTable(uint8_t* out, const SectorTable& table);

}  // namespace tessavo
