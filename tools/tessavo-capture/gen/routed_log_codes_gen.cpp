// Build-time generator: writes the header that gives the capture tool its default log mask,
// the log codes the library decodes, read from the library's own route table. It is the one
// program under tools/ that sees the library's internals, and it runs only during the build.
#include <cstdio>

#include "dispatch/log_routes.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: routed_log_codes_gen OUTPUT_HEADER\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "// Generated at build time from the library's route table; do not edit.\n"
                 "#pragma once\n\n#include <cstdint>\n\nnamespace tessavo::capture {\n\n"
                 "// Log codes the library decodes (routed to a decoder or accepted bare), in "
                 "order;\n// ignored codes are left out.\n"
                 "inline constexpr uint16_t kRoutedLogCodes[] = {");
    auto routes = tessavo::AllLogRoutes();
    int n = 0;
    for (const tessavo::LogRoute* route = routes.begin; route != routes.end; ++route) {
        if (route->kind != tessavo::RouteKind::Decode) continue;
        std::fprintf(out, "%s0x%04X", n % 8 == 0 ? "\n    " : " ", route->logCode);
        std::fprintf(out, ",");
        ++n;
    }
    std::fprintf(out, "\n};\n\n}  // namespace tessavo::capture\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
