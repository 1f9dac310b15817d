// The digest host of digest_host.c written against the C++17 wrapper tessavo.hpp: the same
// options, chunks and host time, the same parts of every item in the same order, so the two
// programs print the same lines for the same files. Usage: tessavo-digest-cpp FILE...
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <vector>

#include "digest_mix.h"
#include "tessavo/tessavo.hpp"

namespace {

// As MixBlock: the length word, then the bytes; an absent block as length 0xFFFFFFFF.
void MixView(Digest& d, const tessavo::Block& b) {
    MixWord(&d, b ? static_cast<uint32_t>(b.size()) : 0xFFFFFFFFu);
    Mix(&d, b.data(), b.size());
}

void MixItem(Digest& d, const tessavo::Item& item) {
    const tessavo::Block outFile = item.outFile();
    const ItemTime t = item.time();
    MixWord(&d, item.code());
    MixWord(&d, item.direction());
    Mix(&d, &t, sizeof t);
    for (const tessavo::Block& b : {item.payload(), item.frame(), item.compact(), item.dtlog()}) {
        MixView(d, b);
    }
    MixWord(&d, outFile ? 1u : 0xFFFFFFFFu);  // the status word of the OutFile accessor
    MixView(d, outFile);
    auto scalars = [&d](const auto& list) {
        MixWord(&d, static_cast<uint32_t>(list.size()));
        for (const tessavo::Scalar p : list) Mix(&d, p.record, sizeof *p.record);
    };
    auto structs = [&d](const auto& list) {
        MixWord(&d, static_cast<uint32_t>(list.size()));
        for (const tessavo::StructParam p : list) {
            MixWord(&d, static_cast<uint32_t>(p.state()));
            MixWord(&d, p.id());
            MixWord(&d, p.length());
            Mix(&d, p.data(), p.length());
        }
    };
    scalars(item.current());
    scalars(item.inherited());
    structs(item.currentStructs());
    structs(item.inheritedStructs());
}

bool DigestFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return false;
    }
    tessavo::Decoder decoder(TESSAVO_MODULE_B101);
    for (int32_t code : {TESSAVO_CFG_REENCODE_ON, TESSAVO_CFG_DTLOG_ON, TESSAVO_CFG_OUTFILE_ON}) {
        decoder.configure(code);
    }
    Digest d = DIGEST_INIT;
    long items = 0;
    int failures = 0;
    auto onItem = [&](const tessavo::Item& item) {
        MixItem(d, item);
        ++items;
    };
    std::vector<char> chunk(kDigestChunk);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        chunk.resize(static_cast<size_t>(in.gcount()));
        try {
            decoder.feed(chunk, onItem, kDigestHostSeconds, 0);
        } catch (const tessavo::Error&) {
            ++failures;  // the rest of this chunk is dropped, as the C host does
        }
        chunk.resize(kDigestChunk);
    }
    decoder.finish(onItem, kDigestHostSeconds, 0);
    std::printf("%s items=%ld failures=%d digest=%016" PRIx64 "\n", BaseName(path), items,
                failures, d.h);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessavo-digest-cpp FILE...\n");
        return 1;
    }
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        try {
            ok &= DigestFile(argv[i]);
        } catch (const tessavo::Error& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
