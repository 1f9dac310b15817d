// Tessavo for C++17 hosts: a header-only wrapper over the C functions of tessavo.h.
//
//     tessavo::Decoder decoder(TESSAVO_MODULE_B101);
//     decoder.configure(TESSAVO_CFG_OUTFILE_ON);
//     auto onItem = [](const tessavo::Item& item) { ... item.code(), item.current() ... };
//     decoder.feed(chunk, onItem);   // any number of times, chunks of any size
//     decoder.finish(onItem);        // end of input: decodes what the object still holds
//
// feed() runs the documented host loop (decode, collect, pass the tail again when the ring
// filled) and calls onItem once per item, in order. An Item and every view taken from it read
// the library's records in place: they are valid inside the callback (until the next
// collection), not after it; copy what must outlive it.
//
// Failures throw tessavo::Error: creation, a refused configuration code, a frame whose
// decoding failed (the items before it have been handed out; the rest of that input is
// dropped, and the decoder may be fed again), an accessor refusing an index.
#ifndef TESSAVO_TESSAVO_HPP
#define TESSAVO_TESSAVO_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "tessavo/tessavo.h"

namespace tessavo {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A block of an item: a u32 length and that many bytes. Empty (and false) when the item has
// no such block (DTLog or OutFile output off).
class Block {
  public:
    Block() = default;
    explicit Block(const void* block) {
        if (block == nullptr) return;
        uint32_t n = 0;
        std::memcpy(&n, block, sizeof n);
        data_ = static_cast<const uint8_t*>(block) + sizeof n;
        size_ = n;
    }
    const uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    const uint8_t* begin() const { return data_; }
    const uint8_t* end() const { return data_ + size_; }
    bool empty() const { return size_ == 0; }
    explicit operator bool() const { return data_ != nullptr; }

  private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// A structured parameter: header fields read from the unaligned record, the payload after it.
class StructParam {
  public:
    explicit StructParam(const DecodeStructParam* record) : record_(record) {}
    int32_t state() const { return Field<int32_t>(0); }
    uint32_t id() const { return Field<uint32_t>(4); }
    uint32_t length() const { return Field<uint32_t>(8); }
    const uint8_t* data() const { return TESSAVO_STRUCT_PARAM_DATA(record_); }
    const DecodeStructParam* record() const { return record_; }

  private:
    template <typename T>
    T Field(std::size_t offset) const {
        T v;
        std::memcpy(&v, reinterpret_cast<const uint8_t*>(record_) + offset, sizeof v);
        return v;
    }
    const DecodeStructParam* record_;
};

namespace detail {

inline void Check(bool ok, const char* what) {
    if (!ok) throw Error(what);
}

// One of an item's four parameter lists, read through its count and entry accessors.
template <typename Value, typename Record, uint32_t (*CountOf)(void*, int32_t),
          Record* (*EntryOf)(void*, int32_t, int32_t)>
class ParamList {
  public:
    ParamList(void* h, int32_t item) : h_(h), item_(item), size_(CountOf(h, item)) {
        Check(size_ != 0xFFFFFFFFu, "tessavo: no such item");
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Value operator[](std::size_t k) const {
        Record* r = EntryOf(h_, item_, static_cast<int32_t>(k));
        Check(r != nullptr, "tessavo: no such parameter");
        return Value(r);
    }

    class iterator {
      public:
        iterator(const ParamList* list, std::size_t k) : list_(list), k_(k) {}
        Value operator*() const { return (*list_)[k_]; }
        iterator& operator++() {
            ++k_;
            return *this;
        }
        bool operator!=(const iterator& other) const { return k_ != other.k_; }
        bool operator==(const iterator& other) const { return k_ == other.k_; }

      private:
        const ParamList* list_;
        std::size_t k_;
    };
    iterator begin() const { return iterator(this, 0); }
    iterator end() const { return iterator(this, size_); }

  private:
    void* h_;
    int32_t item_;
    uint32_t size_;
};

// A scalar entry handed out by the lists: a reference to the packed 16-byte record.
struct ScalarRef {
    explicit ScalarRef(const DecodeParam* record) : record(record) {}
    const DecodeParam* record;
    int32_t state() const { return record->state; }
    uint32_t id() const { return record->id; }
    int32_t value() const { return record->value; }
    int32_t scale() const { return record->scale; }
    double real() const { return static_cast<double>(record->value) / record->scale; }
};

// The exports take and return mutable pointers; the views hand out const ones.
inline uint32_t CurCount(void* h, int32_t i) {
    return GetReportItemCurDecodeParamCount(h, i);
}
inline uint32_t InhCount(void* h, int32_t i) {
    return GetReportItemInheritDecodeParamCount(h, i);
}
inline uint32_t CurStructCount(void* h, int32_t i) {
    return GetReportItemCurDecodeStructParamCount(h, i);
}
inline uint32_t InhStructCount(void* h, int32_t i) {
    return GetReportItemInheritDecodeStructParamCount(h, i);
}
inline DecodeParam* CurEntry(void* h, int32_t i, int32_t k) {
    return GetReportItemCurDecodeParamList(h, i, k);
}
inline DecodeParam* InhEntry(void* h, int32_t i, int32_t k) {
    return GetReportItemInheritDecodeParamList(h, i, k);
}
inline DecodeStructParam* CurStructEntry(void* h, int32_t i, int32_t k) {
    return GetReportItemCurDecodeStructParamList(h, i, k);
}
inline DecodeStructParam* InhStructEntry(void* h, int32_t i, int32_t k) {
    return GetReportItemInheritDecodeStructParamList(h, i, k);
}

}  // namespace detail

using Scalar = detail::ScalarRef;
using ScalarList = detail::ParamList<Scalar, DecodeParam, detail::CurCount, detail::CurEntry>;
using InheritedScalarList =
    detail::ParamList<Scalar, DecodeParam, detail::InhCount, detail::InhEntry>;
using StructList = detail::ParamList<StructParam, DecodeStructParam, detail::CurStructCount,
                                     detail::CurStructEntry>;
using InheritedStructList = detail::ParamList<StructParam, DecodeStructParam,
                                              detail::InhStructCount, detail::InhStructEntry>;

// One collected report item (see the header tessavo.h for the meaning of each part).
class Item {
  public:
    Item(void* h, int32_t index) : h_(h), index_(index) {}
    int32_t index() const { return index_; }

    uint32_t code() const { return Word(GetReportItemMsgCode(h_, index_)); }
    uint32_t direction() const { return Word(GetReportItemMsgDirection(h_, index_)); }
    ItemTime time() const {
        const void* t = GetReportItemMsgTime(h_, index_);
        detail::Check(t != nullptr, "tessavo: no such item");
        ItemTime out;
        std::memcpy(&out, t, sizeof out);
        return out;
    }
    // The whole 73232-byte record (TESSAVO_OFFSET_*).
    const uint8_t* record() const {
        const void* r = GetReportItemProc(h_, index_);
        detail::Check(r != nullptr, "tessavo: no such item");
        return static_cast<const uint8_t*>(r);
    }

    Block payload() const { return Required(GetReportItemBinary(h_, index_)); }
    Block frame() const { return Required(GetReportItemBinaryToZelFilter(h_, index_)); }
    Block compact() const { return Required(GetReportItemBinaryToZelSimple(h_, index_)); }
    Block dtlog() const { return Block(GetReportItemDTLogBinary(h_, index_)); }
    Block outFile() const { return Block(GetReportItemOutFileBinary(h_, nullptr, index_)); }

    ScalarList current() const { return ScalarList(h_, index_); }
    InheritedScalarList inherited() const { return InheritedScalarList(h_, index_); }
    StructList currentStructs() const { return StructList(h_, index_); }
    InheritedStructList inheritedStructs() const { return InheritedStructList(h_, index_); }

  private:
    static uint32_t Word(uint32_t v) {
        detail::Check(v != 0xFFFFFFFFu, "tessavo: no such item");
        return v;
    }
    static Block Required(const void* block) {
        detail::Check(block != nullptr, "tessavo: no such item");
        return Block(block);
    }
    void* h_;
    int32_t index_;
};

// Owns one decoder object. Move-only; the object is freed with the Decoder.
class Decoder {
  public:
    explicit Decoder(uint32_t moduleType = TESSAVO_MODULE_B101)
        : h_(CreateDecoderObjectProc(moduleType)) {
        detail::Check(h_ != nullptr, "tessavo: cannot create a decoder object");
    }
    ~Decoder() { Free(); }
    Decoder(Decoder&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Decoder& operator=(Decoder&& other) noexcept {
        if (this != &other) {
            Free();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    void* handle() const { return h_; }

    // A TESSAVO_CFG_* code; throws for a code the library refuses (<= 0).
    void configure(int32_t code) {
        detail::Check(SetDecoderConfiguration(Live(), code), "tessavo: configuration refused");
    }

    // Decodes stream bytes (anything with data() and size() over bytes: std::vector<uint8_t>,
    // std::string, std::array, std::span) and calls onItem(const Item&) for every item.
    template <typename Bytes, typename OnItem>
    void feed(const Bytes& bytes, OnItem&& onItem, int32_t hostSeconds = 0,
              int32_t hostMicroseconds = 0) {
        static_assert(sizeof(*bytes.data()) == 1, "feed takes bytes");
        Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), onItem, hostSeconds,
             hostMicroseconds);
    }
    template <typename OnItem>
    void feed(const uint8_t* bytes, std::size_t size, OnItem&& onItem, int32_t hostSeconds = 0,
              int32_t hostMicroseconds = 0) {
        Feed(bytes, size, onItem, hostSeconds, hostMicroseconds);
    }

    // End of input: one 0x7E byte at a time until the object holds nothing undecoded (a frame
    // left unfinished is closed by it).
    template <typename OnItem>
    void finish(OnItem&& onItem, int32_t hostSeconds = 0, int32_t hostMicroseconds = 0) {
        static const uint8_t kFlag = 0x7E;
        int32_t left = 0;
        do {
            left = DecodeMsgProc_NoDynamic(Live(), &kFlag, 1, hostSeconds, hostMicroseconds);
            collect(onItem);
            detail::Check(left >= 0, "tessavo: a frame failed to decode");
        } while (left > 0);
    }

    // Collects the items decoded so far and hands each to onItem; returns their number.
    template <typename OnItem>
    std::size_t collect(OnItem&& onItem) {
        const int32_t n = GetReportItemCountProc(Live());
        for (int32_t i = 0; i < n; ++i) {
            const Item item(h_, i);
            onItem(item);
        }
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

    // Drops the items decoded but not collected.
    void clear() { ClearReportItemsProc(Live()); }

  private:
    // Calls of at most this many bytes (the length argument is 32-bit).
    static constexpr std::size_t kMaxCall = std::size_t{1} << 30;

    void* Live() const {
        detail::Check(h_ != nullptr, "tessavo: the decoder was moved from");
        return h_;
    }

    template <typename OnItem>
    void Feed(const uint8_t* bytes, std::size_t size, OnItem& onItem, int32_t hostSeconds,
              int32_t hostMicroseconds) {
        while (size > 0) {
            const auto length = static_cast<int32_t>(size < kMaxCall ? size : kMaxCall);
            const int32_t left =
                DecodeMsgProc_NoDynamic(Live(), bytes, length, hostSeconds, hostMicroseconds);
            const std::size_t collected = collect(onItem);
            detail::Check(left >= 0, "tessavo: a frame failed to decode");
            const auto taken = static_cast<std::size_t>(length - left);
            detail::Check(taken > 0 || collected > 0, "tessavo: the decoder takes no input");
            bytes += taken;
            size -= taken;
        }
    }

    void Free() {
        if (h_ != nullptr) FreeDecoderObjectProc(&h_);
    }

    void* h_ = nullptr;
};

}  // namespace tessavo

#endif  // TESSAVO_TESSAVO_HPP
