// Two decoder objects driven by the same calls: the first appends items by copying only what
// changed (into fresh zero pages the first time a node is used), the second by copying the
// whole item and clearing blocks over their whole capacity. Everything a host can read of the
// items they hand out is compared; then hosts of several kinds, taking turns item by item,
// write into the items they were handed (zeroing records, reversing structured payloads,
// filling blocks, overwriting the whole item), which must not reach any later item.
#pragma once

#include <cstdint>
#include <string>

namespace tessavo::test {

class TwinDecoders {
  public:
    explicit TwinDecoders(uint32_t moduleType);
    ~TwinDecoders();
    TwinDecoders(const TwinDecoders&) = delete;
    TwinDecoders& operator=(const TwinDecoders&) = delete;

    bool Valid() const { return handles_[0] != nullptr && handles_[1] != nullptr; }
    void Configure(int32_t code);

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

    // The first difference seen, empty while there is none.
    const std::string& Mismatch() const { return mismatch_; }
    int64_t ItemsCompared() const { return compared_; }

  private:
    void Note(const std::string& what);
    void CompareItem(int32_t i);
    void CompareAccessors(int32_t i, const uint8_t* a, const uint8_t* b, const std::string& where);

    void* handles_[2] = {nullptr, nullptr};
    std::string mismatch_;
    int64_t compared_ = 0;
};

}  // namespace tessavo::test
