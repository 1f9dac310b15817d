// The pilot table: every pilot the handset has reported recently, keyed by PN offset.
//
// Filled by the pilot-set logs (fingers), the pilot sets status response (active, candidate
// and neighbour sets) and the handoff completion message; lives as long as the decoder object.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr int kPilotTableCapacity = 512;
// Size of one entry in its published (packed, little-endian) form.
inline constexpr size_t kPilotEntryWireSize = 40;

// Which list a pilot came from: 0 for fingers and the active set, 1 candidate, 2 neighbour.
inline constexpr uint32_t kPilotSourceActive = 0;
inline constexpr uint32_t kPilotSourceCandidate = 1;
inline constexpr uint32_t kPilotSourceNeighbour = 2;

struct PilotEntry {
    uint32_t source = 0;
    int32_t channel = 0;      // CDMA channel of the pilot; -9999 when unknown
    uint32_t pn = 0;          // PN offset, 0..511; the key
    double rxPower = 0.0;     // receive power at the update, dBm
    double pilotPower = 0.0;  // rxPower + ecio, dBm; -9999.0 when ecio is unknown
    double ecio = 0.0;        // pilot Ec/Io, dB; -9999.0 when unknown
    int32_t reserved = 0;
};

struct PilotTable {
    std::array<PilotEntry, kPilotTableCapacity> entries{};
    int32_t count = 0;

    void Clear() { count = 0; }
    // Overwrites the first entry with the same PN (whatever its source), else appends while
    // there is room; a full table drops the pilot.
    void Update(const PilotEntry& entry);
    // Index of the first entry with this PN, or -1.
    int Find(uint32_t pn) const;
    // Index of the first active-source entry with this PN, or -1.
    int FindActive(uint32_t pn) const;
};

// Writes `entry` in its 40-byte published form: u32 source, u32 channel, u32 PN, f64 receive
// power, f64 pilot power, f64 Ec/Io, u32 reserved, all little-endian.
void StorePilotEntry(uint8_t* out, const PilotEntry& entry);

}  // namespace tessavo
