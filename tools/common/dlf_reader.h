// DLF captures: a sequence of log records, each the log packet's record without the command
// prefix (u16 record length counting itself, u16 log code, u64 time stamp, then the
// payload). Each record is rebuilt into the framed log packet a handset would have sent, so
// that every item, code and time the library gives is its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessavo::cli {

// Length, log code and time stamp.
inline constexpr size_t kDlfRecordHeader = 12;

class DlfReader {
  public:
    // Appends the frames of the records `in` completes to `frames`; false with `error` at a
    // record whose length cannot be (shorter than its header).
    bool Feed(std::span<const uint8_t> in, std::vector<uint8_t>& frames, std::string& error);
    // False with `error` when the input ends inside a record.
    bool Finish(std::string& error) const;
    uint64_t Records() const { return records_; }

  private:
    std::vector<uint8_t> partial_;  // the start of a record a later Feed completes
    uint64_t records_ = 0;
    uint64_t offset_ = 0;  // of the next record, in the DLF stream
};

// Whether `head`, the first bytes of a stream (all of it when `complete`), is a chain of DLF
// records: each length from the header's 12 bytes to the longest frame the library takes
// (7168), at least kDlfProbeRecords whole records (or, in a complete head, records that end
// exactly at its end), the last one cut only by the end of an incomplete head. Random bytes
// pass the length test one time in nine per record.
inline constexpr uint64_t kDlfProbeRecords = 4;
bool LooksLikeDlf(std::span<const uint8_t> head, bool complete);

}  // namespace tessavo::cli
