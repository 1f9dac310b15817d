// The reader-style parse of a log record: a BitReader over the payload (packet byte 16 on) and
// the field temporaries of one parse, for the parsers that read their record LSB-first.
#pragma once

#include <utility>

#include "bits/bit_reader.h"
#include "bits/packet_view.h"

namespace tessavo {

// Runs `read(FieldTemps&)` over the payload of `packet` and returns 1; returns 0 without
// reading when there is no packet (null or a length below 1), leaving the record untouched.
template <typename Read>
int ReadLogRecord(PacketView packet, Read&& read) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    BitReader reader;
    AttachLogPayload(reader, packet);
    FieldTemps fields(reader);
    std::forward<Read>(read)(fields);
    return 1;
}

// Reads up to `count` entries of a counted group with `readEntry(i)`, stopping at the first
// entry that would start after the last payload byte: such an entry holds no byte of the
// packet (only the last field values again), so a count byte cannot make a short packet cost
// more than the bytes it holds. Returns the number of entries read.
template <typename ReadEntry>
int ReadEntries(FieldTemps& t, int count, ReadEntry&& readEntry) {
    int i = 0;
    for (; i < count && !t.Reader().IsExhausted(); ++i) readEntry(i);
    return i;
}

}  // namespace tessavo
