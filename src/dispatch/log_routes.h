// The route table: the one list of log codes the library decodes or ignores.
#pragma once

#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

enum class RouteKind : uint8_t {
    Decode,          // run the handlers (a code without handlers yet is accepted bare)
    Ignore,          // refused: no report item
    CommandWrapped,  // a command response in a log packet: rebuilt, then the command's handlers
    DirectParams,    // the compact re-encoded form
};

enum class ExtraArg : uint8_t { None, LogCode, SubPacket };

inline constexpr int8_t kNotSampled = -1;

struct LogRoute {
    uint16_t logCode;
    RouteKind kind;
    LogHandler param;       // null: no parameters
    LogHandler structured;  // null: no structured handler
    ExtraArg extra;
    int8_t sampling;  // index of the context's sampling record, or kNotSampled
};

// The route of a log code, or null for a code in neither list (accepted without parameters).
const LogRoute* FindLogRoute(uint16_t logCode);

// Every entry, sorted by log code (for tests and tools).
struct LogRouteSpan {
    const LogRoute* begin;
    const LogRoute* end;
};
LogRouteSpan AllLogRoutes();

}  // namespace tessavo
