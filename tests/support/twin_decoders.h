// Two decoder objects driven by the same calls: the first fills an item's bytes from its
// history only as a host reads them, the second copies the whole item at each append and
// clears blocks over their whole capacity. Everything a host can read of the
// items they hand out is compared; then hosts of several kinds, taking turns item by item,
// write into the items they were handed (zeroing records, reversing structured payloads,
// filling blocks, overwriting the whole item), which must not reach any later item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessavo::test {

// A digest of everything a host can read in an item, the structured records' data words (each
// object's own addresses) excepted.
uint64_t ItemDigest(const void* item);

class TwinDecoders {
  public:
    explicit TwinDecoders(uint32_t moduleType);
    ~TwinDecoders();
    TwinDecoders(const TwinDecoders&) = delete;
    TwinDecoders& operator=(const TwinDecoders&) = delete;

    bool Valid() const { return handles_[0] != nullptr && handles_[1] != nullptr; }
    // The object appending incrementally (0) or by whole copies (1).
    void* Handle(int which) const { return handles_[which]; }
    void Configure(int32_t code);
    // Both objects as fresh ones (switches off, no items, context at its defaults), the
    // mismatch forgotten; the second keeps copying whole items.
    void Reset();

    // Each call goes to both objects; a different result is recorded as a mismatch and the
    // first object's result returned.
    int32_t DecodeNoDynamic(const uint8_t* bytes, int32_t length, int32_t hostSeconds);
    bool Decode(const uint8_t* bytes, int32_t length, int32_t hostSeconds);
    bool DecodeOne(const uint8_t* bytes, int32_t length, int32_t hostSeconds);
    void Clear();

    // Collects on both and compares every item: all 73,232 bytes (the structured records' data
    // words, addresses inside each object, only when both hold one), each accessor's answer,
    // then each structured record as the list accessors hand it out. Returns the count.
    int32_t CollectAndCompare();

    // Digests (ItemDigest) of the first object's items as the library handed them out, before
    // the hosts write into them, are appended to `out` from the next collection on (null: none).
    void KeepDigests(std::vector<uint64_t>* out) { digests_ = out; }

    // The first difference seen, empty while there is none.
    const std::string& Mismatch() const { return mismatch_; }
    int64_t ItemsCompared() const { return compared_; }

  private:
    void Note(const std::string& what);
    void CompareItem(int32_t i);
    void CompareAccessors(int32_t i, const uint8_t* a, const uint8_t* b, const std::string& where);

    void* handles_[2] = {nullptr, nullptr};
    std::string mismatch_;
    std::vector<uint64_t>* digests_ = nullptr;
    int64_t compared_ = 0;
};

}  // namespace tessavo::test
