// A host as tests drive the library: through the exported functions only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/packet_builder.h"
#include "tessavo/tessavo.h"

namespace tessavo::test {

struct ParamValue {
    uint32_t id;
    int32_t value, state;
    bool operator==(const ParamValue&) const = default;
};

struct StructValue {
    uint32_t id;
    int32_t state;
    Bytes payload;
};

class TestHost {
  public:
    explicit TestHost(uint32_t moduleType = TESSAVO_MODULE_B101);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void* Handle() const { return handle_; }
    bool Configure(int32_t code) { return SetDecoderConfiguration(handle_, code); }

    // DecodeMsgProc over the bytes, then a collection; returns the collected count.
    int32_t FeedAndCollect(const Bytes& bytes, int32_t hostSeconds = 0, int32_t hostMicros = 0) {
        Feed(bytes, hostSeconds, hostMicros);
        return Collect();
    }
    bool Feed(const Bytes& bytes, int32_t hostSeconds = 0, int32_t hostMicros = 0);
    int32_t Collect() { return GetReportItemCountProc(handle_); }

    uint32_t MsgCode(int32_t i) const { return GetReportItemMsgCode(handle_, i); }
    uint32_t Direction(int32_t i) const { return GetReportItemMsgDirection(handle_, i); }
    ItemTime Time(int32_t i) const;
    Bytes BlockBytes(void* block) const;
    std::vector<ParamValue> Current(int32_t i) const { return Scalars(handle_, i, true); }
    std::vector<ParamValue> Inherited(int32_t i) const { return Scalars(handle_, i, false); }
    std::vector<StructValue> CurrentStructs(int32_t i) const { return Structs(handle_, i, true); }
    std::vector<StructValue> InheritedStructs(int32_t i) const {
        return Structs(handle_, i, false);
    }

  private:
    static std::vector<ParamValue> Scalars(void* h, int32_t i, bool current);
    static std::vector<StructValue> Structs(void* h, int32_t i, bool current);

    void* handle_ = nullptr;
};

}  // namespace tessavo::test
