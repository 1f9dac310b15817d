#include "support/twin_decoders.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "api/decoder_object.h"
#include "api/decoder_reset.h"
#include "params/report_item.h"
#include "params/struct_param_table.h"
#include "tessavo/tessavo.h"

namespace tessavo::test {
namespace {

// Item offsets of the structured records' data words, ascending.
const std::array<size_t, kStructParamCount> kDataWords = [] {
    std::array<size_t, kStructParamCount> at{};
    for (size_t k = 0; k < at.size(); ++k)
        at[k] = TESSAVO_OFFSET_SPARAM_TABLE + kStructParamOffsets[k] + kStructDataOffset;
    std::sort(at.begin(), at.end());
    return at;
}();

// A data word holding an address in both items is the address of each object's own record.
bool DataWordsAgree(const uint8_t* a, const uint8_t* b, size_t word) {
    uint32_t x = 0, y = 0;
    std::memcpy(&x, a + word, 4);
    std::memcpy(&y, b + word, 4);
    return x == y || (x != 0 && y != 0);
}

// First offset in [from, to) where the items differ, or -1; a data word (checked whole where
// it overlaps the range) differs only when one of the two is zero.
long FirstDifference(const uint8_t* a, const uint8_t* b, size_t from, size_t to) {
    size_t at = from;
    auto differsUpTo = [&](size_t end) -> long {
        if (end <= at || std::memcmp(a + at, b + at, end - at) == 0) return -1;
        return static_cast<long>(std::mismatch(a + at, a + end, b + at).first - a);
    };
    for (size_t word : kDataWords) {
        if (word + 4 <= from) continue;
        if (word >= to) break;
        if (long d = differsUpTo(word); d >= 0) return d;
        if (!DataWordsAgree(a, b, word)) return static_cast<long>(word);
        at = std::min(word + 4, to);
    }
    return differsUpTo(to);
}

// Offset of an accessor's answer inside its item, -1 for null.
long OffsetIn(const void* item, const void* p) {
    return p == nullptr ? -1 : static_cast<const uint8_t*>(p) - static_cast<const uint8_t*>(item);
}

}  // namespace

// A sum of the item's 64-bit words, each times its own odd factor: a change of any one word
// changes the sum, and the sum is linear in each byte, so a data word's bytes can be taken out
// afterwards. A line of the item equal to that line of a freshly built item adds what it adds
// there, summed once, so only the lines an item changed are multiplied out: the fuzzers digest
// every item an input yields. Reads only the items' own bytes; left uninstrumented.
namespace {

constexpr uint64_t kFactorStep = 0x9E3779B97F4A7C15ull;  // factor of word i: (2i + 1) x step
constexpr size_t kLineBytes = 256;
constexpr size_t kLines = (TESSAVO_REPORT_ITEM_SIZE + kLineBytes - 1) / kLineBytes;
static_assert(TESSAVO_REPORT_ITEM_SIZE % 8 == 0 && kLineBytes % 8 == 0);

// The helpers below are marked alike so that they are inlined into one another.
#define TESSAVO_UNCHECKED __attribute__((no_sanitize("address", "undefined")))

TESSAVO_UNCHECKED constexpr size_t LineEnd(size_t line) {
    return (line + 1) * kLineBytes < TESSAVO_REPORT_ITEM_SIZE ? (line + 1) * kLineBytes
                                                              : TESSAVO_REPORT_ITEM_SIZE;
}

TESSAVO_UNCHECKED uint64_t LineSum(const uint8_t* bytes, size_t line) {
    const size_t from = line * kLineBytes;
    const size_t to = LineEnd(line);
    uint64_t sum = 0;
    uint64_t factor = (2 * (from / 8) + 1) * kFactorStep;
    for (size_t at = from; at < to; at += 8, factor += 2 * kFactorStep) {
        uint64_t w = 0;
        std::memcpy(&w, bytes + at, 8);
        sum += w * factor;
    }
    return sum;
}

TESSAVO_UNCHECKED bool SameLine(const uint8_t* a, const uint8_t* b, size_t line) {
    const size_t to = LineEnd(line);
    uint64_t diff = 0;
    for (size_t at = line * kLineBytes; at < to; at += 8) {
        uint64_t x = 0, y = 0;
        std::memcpy(&x, a + at, 8);
        std::memcpy(&y, b + at, 8);
        diff |= x ^ y;
    }
    return diff == 0;
}

// A fresh item and the sum of each of its lines.
struct FreshLines {
    ReportItem item;
    std::array<uint64_t, kLines> sums{};
    FreshLines() {
        ConstructReportItem(item);
        for (size_t l = 0; l < kLines; ++l)
            sums[l] = LineSum(reinterpret_cast<const uint8_t*>(&item), l);
    }
};

// ItemDigest of `bytes`; with `other`, in the same pass over the lines, the first offset where
// the two items differ goes to `difference` (-1: none).
TESSAVO_UNCHECKED uint64_t DigestLines(const uint8_t* bytes, const uint8_t* other,
                                      long* difference) {
    static const auto* const fresh = new FreshLines();
    const auto* freshBytes = reinterpret_cast<const uint8_t*>(&fresh->item);
    const uint64_t* freshSums = fresh->sums.data();
    uint64_t sum = 0;
    for (size_t l = 0; l < kLines; ++l) {
        if (other != nullptr && *difference < 0 && !SameLine(bytes, other, l))
            *difference = FirstDifference(bytes, other, l * kLineBytes, LineEnd(l));
        sum += SameLine(bytes, freshBytes, l) ? freshSums[l] : LineSum(bytes, l);
    }
    for (size_t at : kDataWords) {
        for (size_t b = at; b < at + 4; ++b) {
            sum -= (uint64_t{bytes[b]} << (8 * (b % 8))) * ((2 * (b / 8) + 1) * kFactorStep);
        }
    }
    return sum;
}

#undef TESSAVO_UNCHECKED

}  // namespace

uint64_t ItemDigest(const void* item) {
    return DigestLines(static_cast<const uint8_t*>(item), nullptr, nullptr);
}

TwinDecoders::TwinDecoders(uint32_t moduleType) {
    for (void*& h : handles_) h = CreateDecoderObjectProc(moduleType);
    if (!Valid()) return;
    static_cast<DecoderObject*>(handles_[1])->ctx.plainWrites = true;
}

TwinDecoders::~TwinDecoders() {
    for (void*& h : handles_) FreeDecoderObjectProc(&h);
}

void TwinDecoders::Reset() {
    for (void* h : handles_) ResetDecoderObject(*static_cast<DecoderObject*>(h));
    static_cast<DecoderObject*>(handles_[1])->ctx.plainWrites = true;
    mismatch_.clear();
}

void TwinDecoders::Note(const std::string& what) {
    if (mismatch_.empty()) mismatch_ = what;
}

void TwinDecoders::Configure(int32_t code) {
    for (void* h : handles_) SetDecoderConfiguration(h, code);
}

int32_t TwinDecoders::DecodeNoDynamic(const uint8_t* bytes, int32_t length, int32_t hostSeconds) {
    const int32_t a = DecodeMsgProc_NoDynamic(handles_[0], bytes, length, hostSeconds, 0);
    const int32_t b = DecodeMsgProc_NoDynamic(handles_[1], bytes, length, hostSeconds, 0);
    if (a != b) Note("DecodeMsgProc_NoDynamic results differ");
    return a;
}

bool TwinDecoders::Decode(const uint8_t* bytes, int32_t length, int32_t hostSeconds) {
    const bool a = DecodeMsgProc(handles_[0], bytes, length, hostSeconds, 0);
    const bool b = DecodeMsgProc(handles_[1], bytes, length, hostSeconds, 0);
    if (a != b) Note("DecodeMsgProc results differ");
    return a;
}

bool TwinDecoders::DecodeOne(const uint8_t* bytes, int32_t length, int32_t hostSeconds) {
    const bool a = DecodeMsgProc_One(handles_[0], bytes, length, hostSeconds, 0);
    const bool b = DecodeMsgProc_One(handles_[1], bytes, length, hostSeconds, 0);
    if (a != b) Note("DecodeMsgProc_One results differ");
    return a;
}

void TwinDecoders::Clear() {
    for (void* h : handles_) ClearReportItemsProc(h);
}

int32_t TwinDecoders::CollectAndCompare() {
    const int32_t n = GetReportItemCountProc(handles_[0]);
    if (GetReportItemCountProc(handles_[1]) != n) Note("collected counts differ");
    for (int32_t i = 0; i < n && mismatch_.empty(); ++i) CompareItem(i);
    return n;
}

namespace {

// What a host does with an item after reading it; the hosts take turns, item by item. Seven
// turns, prime to the ring's 300 nodes, so a node meets every kind of host in turn.
enum class Host { kBytesOnly, kReadAll, kZeroRecords, kSwapStructs, kFillBlocks, kScribbleItem };
constexpr Host kHosts[] = {Host::kBytesOnly,   Host::kReadAll,    Host::kZeroRecords,
                           Host::kSwapStructs, Host::kFillBlocks, Host::kBytesOnly,
                           Host::kScribbleItem};

// Where item `i` lies in its ring node; its bytes are there only once an accessor has read them.
const uint8_t* RecordOf(void* handle, int32_t i) {
    return reinterpret_cast<const uint8_t*>(static_cast<DecoderObject*>(handle)->collected[i]);
}

using BlockAccessor = void* (*)(void*, int32_t);
constexpr BlockAccessor kBlockAccessors[] = {
    GetReportItemBinary, GetReportItemBinaryToZelFilter, GetReportItemBinaryToZelSimple,
    GetReportItemDTLogBinary};

// Writes into item `i` of `h` as the host `host` does, through the pointers it was handed.
void WriteAsHost(void* h, int32_t i, Host host) {
    switch (host) {
        case Host::kZeroRecords:
            std::memset(GetReportItemMsgTime(h, i), 0, sizeof(ItemTime));
            for (uint32_t k = 0; k < GetReportItemCurDecodeParamCount(h, i); ++k)
                std::memset(GetReportItemCurDecodeParamList(h, i, static_cast<int32_t>(k)), 0, 16);
            for (uint32_t k = 0; k < GetReportItemInheritDecodeParamCount(h, i); ++k)
                std::memset(GetReportItemInheritDecodeParamList(h, i, static_cast<int32_t>(k)), 0,
                            16);
            for (uint32_t k = 0; k < GetReportItemCurDecodeStructParamCount(h, i); ++k) {
                auto* rec = reinterpret_cast<uint8_t*>(
                    GetReportItemCurDecodeStructParamList(h, i, static_cast<int32_t>(k)));
                DecodeStructParam header{};
                std::memcpy(&header, rec, sizeof header);
                std::memset(rec, 0, sizeof header + header.length);
            }
            break;
        case Host::kSwapStructs:
            for (uint32_t k = 0; k < GetReportItemInheritDecodeStructParamCount(h, i); ++k) {
                auto* rec = reinterpret_cast<uint8_t*>(
                    GetReportItemInheritDecodeStructParamList(h, i, static_cast<int32_t>(k)));
                DecodeStructParam header{};
                std::memcpy(&header, rec, sizeof header);
                std::reverse(rec + sizeof header, rec + sizeof header + header.length);
            }
            break;
        case Host::kFillBlocks: {
            // The length word and the bytes a block holds.
            const auto fill = [](void* block) {
                if (block == nullptr) return;
                uint32_t length = 0;
                std::memcpy(&length, block, 4);
                std::memset(block, 0xA5, 4 + std::min<uint32_t>(length, TESSAVO_BLOCK_CAPACITY));
            };
            for (BlockAccessor get : kBlockAccessors) fill(get(h, i));
            fill(GetReportItemOutFileBinary(h, nullptr, i));
            break;
        }
        case Host::kScribbleItem:
            if (void* item = GetReportItemProc(h, i))
                std::memset(item, 0x5A, TESSAVO_REPORT_ITEM_SIZE);
            break;
        default:
            break;
    }
}

}  // namespace

void TwinDecoders::CompareItem(int32_t i) {
    const Host host = kHosts[compared_ % std::size(kHosts)];
    ++compared_;
    const std::string where = "item " + std::to_string(compared_ - 1) + ": ";
    void* const* h = handles_;
    const uint8_t* a = RecordOf(h[0], i);
    const uint8_t* b = RecordOf(h[1], i);
    // The first object fills an item's bytes as they are read: most items are read through the
    // record accessors first, part by part, then whole; an item whose host reads only bytes is
    // filled whole at once.
    if (host != Host::kBytesOnly) CompareAccessors(i, a, b, where);
    if (!mismatch_.empty()) return;
    for (void* handle : handles_) GetReportItemProc(handle, i);
    // The comparison of every byte, and the digest when one is kept, in one pass.
    long d = -1;
    if (digests_ != nullptr) {
        digests_->push_back(DigestLines(a, b, &d));
    } else {
        d = FirstDifference(a, b, 0, TESSAVO_REPORT_ITEM_SIZE);
    }
    if (d >= 0) return Note(where + "bytes differ at offset " + std::to_string(d));
    for (void* handle : handles_) WriteAsHost(handle, i, host);
}

void TwinDecoders::CompareAccessors(int32_t i, const uint8_t* a, const uint8_t* b,
                                    const std::string& where) {
    void* const* h = handles_;
    // The bytes [at, at + n) an accessor designated, alike in both items.
    const auto differ = [&](long at, size_t n) {
        return at >= 0 && FirstDifference(a, b, static_cast<size_t>(at), static_cast<size_t>(at) + n) >= 0;
    };
    if (GetReportItemMsgCode(h[0], i) != GetReportItemMsgCode(h[1], i) ||
        GetReportItemMsgDirection(h[0], i) != GetReportItemMsgDirection(h[1], i)) {
        return Note(where + "message code or direction differs");
    }
    for (BlockAccessor get :
         {BlockAccessor{GetReportItemMsgTime}, BlockAccessor{GetReportItemBinary},
          BlockAccessor{GetReportItemBinaryToZelFilter},
          BlockAccessor{GetReportItemBinaryToZelSimple}, BlockAccessor{GetReportItemDTLogBinary}}) {
        const long at = OffsetIn(a, get(h[0], i));
        if (at != OffsetIn(b, get(h[1], i)))
            return Note(where + "a block accessor answers differently");
        uint32_t length = 0;
        if (at > TESSAVO_OFFSET_ITEM_TIME) std::memcpy(&length, a + at, 4);
        if (length > TESSAVO_BLOCK_CAPACITY)
            return Note(where + "a block length passes its capacity");
        if (differ(at, at == TESSAVO_OFFSET_ITEM_TIME ? sizeof(ItemTime) : 4 + length))
            return Note(where + "a block accessor's bytes differ");
    }
    int32_t status[2] = {0, 0};
    const long outA = OffsetIn(a, GetReportItemOutFileBinary(h[0], &status[0], i));
    const long outB = OffsetIn(b, GetReportItemOutFileBinary(h[1], &status[1], i));
    if (outA != outB || status[0] != status[1]) return Note(where + "OutFile answers differ");

    for (bool current : {true, false}) {
        const uint32_t count = current ? GetReportItemCurDecodeParamCount(h[0], i)
                                       : GetReportItemInheritDecodeParamCount(h[0], i);
        auto get = current ? GetReportItemCurDecodeParamList : GetReportItemInheritDecodeParamList;
        for (int32_t k = 0; k < static_cast<int32_t>(count); ++k) {
            const long at = OffsetIn(a, get(h[0], i, k));
            if (at != OffsetIn(b, get(h[1], i, k)) || differ(at, sizeof(DecodeParam))) {
                return Note(where + "scalar list entries differ");
            }
        }
        const uint32_t structs = current ? GetReportItemCurDecodeStructParamCount(h[0], i)
                                         : GetReportItemInheritDecodeStructParamCount(h[0], i);
        auto getStruct = current ? GetReportItemCurDecodeStructParamList
                                 : GetReportItemInheritDecodeStructParamList;
        for (int32_t k = 0; k < static_cast<int32_t>(structs); ++k) {
            const DecodeStructParam* sa = getStruct(h[0], i, k);
            const DecodeStructParam* sb = getStruct(h[1], i, k);
            const long at = OffsetIn(a, sa);
            if (at != OffsetIn(b, sb)) return Note(where + "structured entries differ");
            if (sa == nullptr) continue;
            if (!DataWordsAgree(a, b, static_cast<size_t>(at) + kStructDataOffset)) {
                return Note(where + "a structured record's data word differs");
            }
            DecodeStructParam header{};
            std::memcpy(&header, sa, sizeof header);
            if (static_cast<uint64_t>(at) + sizeof header + header.length >
                TESSAVO_REPORT_ITEM_SIZE) {
                return Note(where + "a structured record's length passes the item");
            }
            if (differ(at, sizeof header + header.length))
                return Note(where + "a structured record's bytes differ");
        }
    }
}

}  // namespace tessavo::test
