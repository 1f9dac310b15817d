#include "fuzz/novel_param_seeds.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>

#include "api/decoder_object.h"
#include "api/decoder_reset.h"
#include "dispatch/log_routes.h"
#include "fuzz/seed_bytes.h"
#include "tessavo/tessavo.h"

namespace tessavo::fuzz {
namespace {

using test::Bytes;

constexpr size_t kSizes[] = {16, 48, 120, 400};
constexpr int kDraws = 192;  // payloads drawn per code and size
constexpr int32_t kHostSeconds = 1000;

// The id of a parameter record, which may sit at any byte offset of the item.
template <typename Record>
uint32_t IdOf(const Record* record) {
    uint32_t id = 0;
    std::memcpy(&id, reinterpret_cast<const uint8_t*>(record) + offsetof(Record, id), sizeof id);
    return id;
}

// The parameter ids every item of `stream` publishes (current lists, scalar and structured).
std::set<uint32_t> Published(void* h, const Bytes& stream) {
    ResetDecoderObject(*static_cast<DecoderObject*>(h));
    std::set<uint32_t> ids;
    DecodeMsgProc_NoDynamic(h, stream.data(), static_cast<int32_t>(stream.size()), kHostSeconds, 0);
    for (int32_t i = 0, n = GetReportItemCountProc(h); i < n; ++i) {
        const auto scalars = static_cast<int32_t>(GetReportItemCurDecodeParamCount(h, i));
        for (int32_t k = 0; k < scalars; ++k)
            ids.insert(IdOf(GetReportItemCurDecodeParamList(h, i, k)));
        const auto structs = static_cast<int32_t>(GetReportItemCurDecodeStructParamCount(h, i));
        for (int32_t k = 0; k < structs; ++k)
            ids.insert(IdOf(GetReportItemCurDecodeStructParamList(h, i, k)));
    }
    return ids;
}

}  // namespace

std::vector<SeedStream> NovelParamSeedStreams() {
    std::vector<SeedStream> out;
    void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B20A);
    if (h == nullptr) return out;
    const Bytes first = LeadingFrame();
    const LogRouteSpan routes = AllLogRoutes();
    for (const LogRoute* r = routes.begin; r != routes.end; ++r) {
        std::set<uint32_t> seen = Published(h, first);
        uint32_t x = r->logCode;
        int kept = 0;
        for (size_t size : kSizes) {
            for (int d = 0; d < kDraws; ++d) {
                const Bytes payload = SeedBytes(x, size, /*small=*/d % 4 != 0);
                const Bytes stream =
                    test::Concat({first, test::Frame(test::LogPacket(r->logCode, payload, 800))});
                bool novel = false;
                for (uint32_t id : Published(h, stream)) novel = seen.insert(id).second || novel;
                if (!novel) continue;
                char name[32];
                std::snprintf(name, sizeof name, "novel_%04x_%d", r->logCode, kept++);
                out.push_back({name, stream});
            }
        }
    }
    FreeDecoderObjectProc(&h);
    return out;
}

}  // namespace tessavo::fuzz
