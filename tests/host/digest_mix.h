/*
 * The digest of the host programs: 64-bit FNV-1a over the bytes of each item's parts, in the
 * order digest_host.c gives. Shared by the C host and the C++ host, which must print the same
 * digest for the same items.
 */
#ifndef TESSAVO_TESTS_DIGEST_MIX_H
#define TESSAVO_TESTS_DIGEST_MIX_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

typedef struct Digest {
    uint64_t h;
} Digest;

#define DIGEST_INIT {0xCBF29CE484222325ull}

static inline void Mix(Digest* d, const void* bytes, size_t n) {
    const uint8_t* p = (const uint8_t*)bytes;
    for (size_t i = 0; i < n; ++i) {
        d->h ^= p[i];
        d->h *= 0x100000001B3ull;
    }
}

static inline void MixWord(Digest* d, uint32_t v) {
    const uint8_t le[4] = {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
    Mix(d, le, sizeof le);
}

/* A block is a u32 length and its bytes; an absent block counts as length 0xFFFFFFFF. */
static inline void MixBlock(Digest* d, const void* block) {
    uint32_t n = 0;
    if (block == NULL) {
        MixWord(d, 0xFFFFFFFFu);
        return;
    }
    memcpy(&n, block, 4);
    MixWord(d, n);
    Mix(d, (const uint8_t*)block + 4, n);
}

/* The chunk size and host time both hosts decode with (the host time dates 0xDD items). */
enum { kDigestChunk = 65536, kDigestHostSeconds = 1439700000 };

static inline const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return base;
}

#endif
