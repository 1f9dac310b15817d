#include "support/cost_inputs.h"

#include <cstdio>

#include "dispatch/log_routes.h"

namespace tessavo::test {
namespace {

constexpr uint64_t kTicksPerSecond = 800;  // 1.25 ms units

// A carrier-mode packet (0x128A) whose one entry selects mode code 4: multi-carrier.
Bytes MultiCarrierPacket() {
    Bytes p = {0x00};  // version
    PutU16(p, 1);      // selector
    PutU8(p, 1);       // one entry
    PutU8(p, 1);       // its id: the selector
    p.resize(p.size() + 8);
    PutU16(p, 4);  // mode code: multi-carrier
    p.resize(p.size() + 54);
    return LogPacket(0x128A, p, kTicksPerSecond);
}

}  // namespace

std::string CostInput::Name() const {
    char name[64];
    std::snprintf(name, sizeof name, "0x%04x_%s_%zuB_%02x%02x", logCode, multiCarrier ? "mc" : "sc",
                  payload.size(), payload.empty() ? 0 : payload[0],
                  payload.size() < 2 ? 0 : payload[1]);
    return name;
}

std::vector<Bytes> CostPayloads() {
    std::vector<Bytes> out;
    for (size_t n : {1u,  2u,  3u,  4u,   5u,   6u,   8u,    12u,   16u,   24u,
                     32u, 48u, 64u, 128u, 256u, 512u, 1024u, 2048u, 4096u, 7000u}) {
        for (int first : {0x00, 0x01, 0x02, 0xFF}) {
            Bytes p(n, 0xFF);
            p[0] = static_cast<uint8_t>(first);
            out.push_back(p);
        }
        Bytes zeros(n, 0x00);
        out.push_back(zeros);
    }
    return out;
}

CostInput BuildCostInput(uint16_t logCode, const Bytes& payload, bool multiCarrier, size_t size) {
    CostInput in;
    in.logCode = logCode;
    in.multiCarrier = multiCarrier;
    in.payload = payload;
    if (multiCarrier) in.stream = Frame(MultiCarrierPacket());
    for (uint64_t ticks = 2 * kTicksPerSecond; in.stream.size() < size; ticks += kTicksPerSecond) {
        const Bytes frame = Frame(LogPacket(logCode, payload, ticks));
        // The last frame only if it fits, so every stream stays within `size`; a frame larger
        // than `size` alone is taken once.
        if (!in.stream.empty() && in.stream.size() + frame.size() > size) break;
        in.stream.insert(in.stream.end(), frame.begin(), frame.end());
    }
    return in;
}

std::vector<uint16_t> DecodedLogCodes() {
    std::vector<uint16_t> codes;
    const LogRouteSpan routes = AllLogRoutes();
    for (const LogRoute* r = routes.begin; r != routes.end; ++r) {
        if (r->kind != RouteKind::Ignore) codes.push_back(r->logCode);
    }
    return codes;
}

}  // namespace tessavo::test
