// Reads one collected report item through the library's exports into plain values.
//
// Scalar records are copied. Blocks and structured payloads are views into the library's
// ring node: they stay valid only until the next decode call on the same object, so an
// item is read and written out right after each collection.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "packet_identity.h"
#include "tessavo/tessavo.h"

namespace tessavo::cli {

struct StructParamRecord {
    int32_t state;
    uint32_t id;
    uint32_t length;                   // the length word of the record
    std::span<const uint8_t> payload;  // at most the catalogue's payload length
};

struct ItemView {
    int64_t index = 0;  // running index over the whole run
    uint32_t msgCode = 0;
    uint32_t direction = 0;
    ItemTime time{};
    PacketIdentity identity;
    std::vector<DecodeParam> currentParams;
    std::vector<DecodeParam> inheritedParams;
    std::vector<StructParamRecord> currentStructs;
    std::vector<StructParamRecord> inheritedStructs;
    // Empty unless selected (and, for DTLog and OutFile, switched on in the library).
    std::span<const uint8_t> dtlog;
    std::span<const uint8_t> outFile;
    std::span<const uint8_t> compact;  // the Zel simple block
    std::span<const uint8_t> frame;    // the frame as received (Zel filter block), always read
    std::span<const uint8_t> payload;  // the log record after its header, when selected
    // An item the host loop made at the end of the input to obtain the last packet's DTLog
    // text: only `dtlog` is real (decoder_session.h).
    bool dtlogOnly = false;
};

// What is read of each item besides its message code, time, identity and current scalars.
struct ItemSelection {
    bool direction = true;
    bool structs = true;  // the current structured parameters
    bool inherited = false;
    bool dtlog = false;
    bool outFile = false;
    bool compact = false;
    bool payload = false;
};

// The bytes of a block (u32 length, then the bytes) at `block`; empty for null. The length
// is cut to the block's 5120-byte capacity.
std::span<const uint8_t> BlockBytes(const void* block);

// Fills `item` (reusing its vectors) from collected item `i` of `handle`.
void ReadReportItem(void* handle, int32_t i, uint32_t moduleType, const ItemSelection& selection,
                    ItemView& item);

}  // namespace tessavo::cli
