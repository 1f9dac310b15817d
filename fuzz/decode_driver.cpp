#include "fuzz/decode_driver.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "api/decoder_object.h"
#include "api/decoder_reset.h"
#include "dispatch/direct_params.h"
#include "framing/hdlc.h"
#include "fuzz/frame_stream.h"
#include "support/twin_decoders.h"
#include "tessavo/tessavo.h"

namespace tessavo::fuzz {
namespace {

constexpr uint32_t kModules[] = {TESSAVO_MODULE_B101, TESSAVO_MODULE_B200, TESSAVO_MODULE_B20A,
                                 TESSAVO_MODULE_B20B};
constexpr int32_t kHostSeconds = 1000;

// The switch codes by control bit, on and off.
constexpr int32_t kSwitchCodes[][2] = {{TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_REENCODE_OFF},
                                       {TESSAVO_CFG_WHOLE_BUFFER_ON, TESSAVO_CFG_WHOLE_BUFFER_OFF},
                                       {TESSAVO_CFG_WHOLE_FRAME_ON, TESSAVO_CFG_WHOLE_FRAME_OFF},
                                       {TESSAVO_CFG_OUTFILE_ON, TESSAVO_CFG_OUTFILE_OFF},
                                       {TESSAVO_CFG_DTLOG_ON, TESSAVO_CFG_DTLOG_OFF}};
constexpr uint8_t kWholeFrameBit = 4;
constexpr uint8_t kWholeModeBits = 2 | kWholeFrameBit;  // whole-buffer and whole-frame modes
constexpr int kNoDynamicEntry = 1;

[[noreturn]] void Finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

// The objects of this process, each returned to its fresh state before every input: the twins
// and one more object for the chunking oracle. Module types get a set each on first use.
struct Objects {
    std::unique_ptr<test::TwinDecoders> twins;
    void* oracle = nullptr;
};

Objects& ObjectsFor(size_t module) {
    static Objects objects[std::size(kModules)];
    Objects& o = objects[module];
    if (!o.twins) {
        o.twins = std::make_unique<test::TwinDecoders>(kModules[module]);
        o.oracle = CreateDecoderObjectProc(kModules[module]);
        if (!o.twins->Valid() || o.oracle == nullptr) Finding("setup", "no decoder object");
    }
    return o;
}

// Digests of the items a run yields, in order; the twins' run keeps them only when it is a
// host loop the chunking oracle can compare with.
std::vector<uint64_t> gTwinDigests, gWholeDigests, gPieceDigests;
bool gKeepTwinDigests = false;

// Keeps the digest of every item appended, as the decoder holds it then.
void DigestAppended(void* digests, const ReportItem& item) {
    static_cast<std::vector<uint64_t>*>(digests)->push_back(test::ItemDigest(&item));
}

void CollectAndCompare(test::TwinDecoders& twins) {
    // The digests of the items as handed out, before the twins' hosts write into them.
    twins.KeepDigests(gKeepTwinDigests ? &gTwinDigests : nullptr);
    twins.CollectAndCompare();
    if (!twins.Mismatch().empty()) Finding("append paths disagree", twins.Mismatch());
}

// Feeds the stream to the twins as the control bytes say.
void FeedTwins(test::TwinDecoders& twins, const uint8_t* data, size_t size, int entry, size_t chunk,
               bool framePerCall, bool wholeFrameMode) {
    for (size_t at = 0; at < size;) {
        size_t n = size - at < chunk ? size - at : chunk;
        if (framePerCall) {
            n = 0;
            while (at + n < size && data[at + n] != kFrameFlag) ++n;
            if (at + n < size) ++n;  // the flag ends the frame
        }
        auto len = static_cast<int32_t>(n);
        // In the whole-frame mode the flag follows the length given.
        if (wholeFrameMode && len > 1 && data[at + n - 1] == kFrameFlag) --len;
        switch (entry) {
            case 0:
                twins.Decode(data + at, len, kHostSeconds);
                break;
            case 1: {
                int32_t left = twins.DecodeNoDynamic(data + at, len, kHostSeconds);
                while (left > 0 && left <= len) {
                    CollectAndCompare(twins);
                    const int32_t again =
                        twins.DecodeNoDynamic(data + at + (len - left), left, kHostSeconds);
                    if (again >= left) break;  // no progress: the ring cannot take a frame
                    left = again;
                }
                break;
            }
            case 2:
                twins.DecodeOne(data + at, len, kHostSeconds);
                break;
            default:
                // A host that clears instead of collecting.
                twins.Decode(data + at, len, kHostSeconds);
                twins.Clear();
                break;
        }
        CollectAndCompare(twins);
        at += n;
    }
}

// The host loop over the stream in pieces of the sizes `pieceSize` gives (0: the rest), the
// digest of every item appended to `digests`.
template <typename PieceSize>
void DigestsInPieces(void* h, const uint8_t* data, size_t size, PieceSize pieceSize,
                     std::vector<uint64_t>& digests) {
    digests.clear();
    auto* obj = static_cast<DecoderObject*>(h);
    obj->appendObserver = DigestAppended;
    obj->appendObserverUser = &digests;
    for (size_t at = 0, k = 0; at < size; ++k) {
        size_t n = pieceSize(k);
        if (n == 0 || n > size - at) n = size - at;
        const uint8_t* p = data + at;
        auto len = static_cast<int32_t>(n);
        for (int32_t left = len; left > 0; p += len - left, len = left) {
            left = DecodeMsgProc_NoDynamic(h, p, len, kHostSeconds, 0);
            const int32_t count = GetReportItemCountProc(h);
            if (left < 0 || (left >= len && count == 0)) break;
        }
        at += n;
    }
    obj->appendObserver = nullptr;
}

// The stream decoded in one piece and in pieces whose sizes the stream's own bytes choose
// (1 to 256 bytes, so frames are cut everywhere) must give the same items; so must the twins'
// run in pieces of the control byte's size, when it was such a host loop (`twinRun`).
void CheckChunking(void* h, uint8_t switches, const uint8_t* data, size_t size, bool twinRun) {
    auto* obj = static_cast<DecoderObject*>(h);
    auto configure = [&] {
        ResetDecoderObject(*obj);
        for (size_t bit = 0; bit < std::size(kSwitchCodes); ++bit) {
            const bool on = (switches >> bit & 1) != 0 && (1u << bit & kWholeModeBits) == 0;
            SetDecoderConfiguration(h, kSwitchCodes[bit][on ? 0 : 1]);
        }
    };
    if (!twinRun) {
        configure();
        DigestsInPieces(
            h, data, size, [](size_t) { return size_t{0}; }, gWholeDigests);
    }
    configure();
    DigestsInPieces(
        h, data, size, [&](size_t k) { return size_t{1} + data[(k * 7919) % size]; },
        gPieceDigests);
    const std::vector<uint64_t>& first = twinRun ? gTwinDigests : gWholeDigests;
    if (first != gPieceDigests) {
        Finding("chunking changes the items",
                std::to_string(first.size()) + " items in the first run, " +
                    std::to_string(gPieceDigests.size()) + " in pieces");
    }
}

// The input with every log packet given the compact form's code, framed again.
const std::vector<uint8_t>& AsCompact(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> out;
    FrameStream frames = ReadFrameStream(data, size);
    size_t room = frames.controls.size();
    for (test::Bytes& p : frames.packets) {
        if (IsLog(p)) PutU16At(p, kLogCodeAt, kDirectParamsLogCode);
        room += EscapedCapacity(p.size() + 2);
    }
    out.resize(room);
    out.resize(WriteFrameStream(frames, out.data(), out.size()));
    return out;
}

}  // namespace

int RunDecodeInput(const uint8_t* data, size_t size, const TargetRules& rules) {
    if (size < kControlBytes) return 0;
    if (rules.asCompact) {
        const std::vector<uint8_t>& compact = AsCompact(data, size);
        TargetRules rest = rules;
        rest.asCompact = false;
        return RunDecodeInput(compact.data(), compact.size(), rest);
    }
    const auto switches = static_cast<uint8_t>((data[0] | rules.switchesOn) & ~rules.switchesOff);
    const uint8_t mode = data[1];
    const size_t chunk = 1 + data[2] * size_t{8};
    data += kControlBytes;
    size -= kControlBytes;

    Objects& o = ObjectsFor(mode & 3);
    o.twins->Reset();
    for (size_t bit = 0; bit < std::size(kSwitchCodes); ++bit) {
        o.twins->Configure(kSwitchCodes[bit][(switches >> bit & 1) != 0 ? 0 : 1]);
    }
    const int entry = (mode >> 2) & 3;
    gTwinDigests.clear();
    gKeepTwinDigests =
        entry == kNoDynamicEntry && (switches & kWholeModeBits) == 0 && !rules.framePerCall;
    FeedTwins(*o.twins, data, size, entry, chunk, rules.framePerCall,
              (switches & kWholeFrameBit) != 0);
    if (size != 0 && !rules.framePerCall) {
        CheckChunking(o.oracle, switches, data, size, gKeepTwinDigests);
    }
    return 0;
}

}  // namespace tessavo::fuzz
