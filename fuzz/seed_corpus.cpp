// Writes the seed corpus of the decode fuzzers: framed streams for every routed log code and per
// command response, built with the tests' packet builder, behind the three control bytes the
// fuzzer reads (switches, mode, chunk size).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "dispatch/command_decoders.h"
#include "dispatch/log_routes.h"
#include "fuzz/novel_param_seeds.h"
#include "fuzz/ota_seeds.h"
#include "fuzz/seed_bytes.h"
#include "support/cost_inputs.h"
#include "support/packet_builder.h"

using tessavo::test::Bytes;
using tessavo::test::CommandPacket;
using tessavo::test::Concat;
using tessavo::test::Frame;
using tessavo::test::LogPacket;

namespace {

// Deterministic payload bytes for a code.
Bytes Payload(uint32_t seed, size_t n) {
    uint32_t state = seed * 2654435761u + 1;
    return tessavo::fuzz::SeedBytes(state, n);
}

void Write(const std::filesystem::path& dir, const std::string& name, const Bytes& stream,
           size_t variants = 3) {
    // Three variants of control bytes: plain, re-encoding with OutFile and DTLog through the
    // unconsumed-count entry, one frame per call.
    const Bytes controls[] = {{0x00, 0x00, 0xFF}, {0x19, 0x04, 0x03}, {0x00, 0x08, 0xFF}};
    for (size_t v = 0; v < std::min(variants, std::size(controls)); ++v) {
        std::ofstream out(dir / (name + "_" + std::to_string(v)), std::ios::binary);
        const Bytes all = Concat({controls[v], stream});
        out.write(reinterpret_cast<const char*>(all.data()),
                  static_cast<std::streamsize>(all.size()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);
    const Bytes first = tessavo::fuzz::LeadingFrame();
    const auto routes = tessavo::AllLogRoutes();
    for (const tessavo::LogRoute* r = routes.begin; r != routes.end; ++r) {
        char name[16];
        std::snprintf(name, sizeof name, "log_%04x", r->logCode);
        Bytes stream = first;
        for (size_t size : {4u, 40u, 200u}) {
            stream = Concat({stream, Frame(LogPacket(r->logCode, Payload(r->logCode + size, size),
                                                     800 + size))});
        }
        Write(dir, name, stream);
    }
    // Version bytes 0, 1 and 2 before pseudo-random payloads, in either carrier mode (the
    // cost inputs' streams, a few packets each), so that version- and mode-gated parsers run.
    for (uint16_t code : tessavo::test::DecodedLogCodes()) {
        for (bool multiCarrier : {false, true}) {
            for (uint8_t version : {0, 1, 2}) {
                Bytes payload = Payload(code * 7u + version, 96);
                payload[0] = version;
                char name[32];
                std::snprintf(name, sizeof name, "log_%04x_%s_v%u", code,
                              multiCarrier ? "mc" : "sc", version);
                Write(dir, name,
                      tessavo::test::BuildCostInput(code, payload, multiCarrier, 512).stream, 1);
            }
        }
    }
    for (const tessavo::CommandRoute& route : tessavo::kCommandRoutes) {
        const uint8_t command = route.command;
        char name[16];
        std::snprintf(name, sizeof name, "cmd_%02x", command);
        Write(dir, name, Concat({first, Frame(CommandPacket(command, Payload(command, 60)))}));
    }
    for (const tessavo::fuzz::SeedStream& s : tessavo::fuzz::OtaSeedStreams()) {
        Write(dir, s.name, s.stream, 2);
    }
    for (const tessavo::fuzz::SeedStream& s : tessavo::fuzz::NovelParamSeedStreams()) {
        Write(dir, s.name, s.stream, 1);
    }
    const Bytes packed = {0x00, 0xAA, 0xBB, 0x21, 0x03, 1, 0x11, 0x05, 2, 0x22, 0x33, 0x07, 0};
    Write(dir, "packed", Frame(LogPacket(0x1036, packed, 800)));
    return 0;
}
