/*
 * A host program as drive-test hosts are written: on Windows it loads Tessavo.dll by name and
 * resolves the entry points it uses with GetProcAddress; elsewhere it links the library.
 *
 * It decodes each file given (chunks through DecodeMsgProc_NoDynamic, collect after every
 * call, pass the unconsumed tail again) with re-encoding, DTLog and OutFile output on, and
 * prints per file the item count and a 64-bit FNV-1a digest over every item's message code,
 * direction, time, blocks, current and inherited scalar lists and structured parameters
 * (state, ID, length and payload; not the data address word, which depends on the host).
 * Two builds that decode the same bytes into the same items print the same lines.
 *
 * Usage: tessavo-digest FILE...   (exit status 0, or 1 when a file or the library fails)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "digest_mix.h"
#include "tessavo/tessavo.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

typedef void*(TESSAVO_CALL* CreateFn)(uint32_t);
typedef bool(TESSAVO_CALL* ConfigureFn)(void*, int32_t);
typedef bool(TESSAVO_CALL* FreeFn)(void**);
typedef int32_t(TESSAVO_CALL* DecodeFn)(void*, const uint8_t*, int32_t, int32_t, int32_t);
typedef int32_t(TESSAVO_CALL* CountFn)(void*);
typedef uint32_t(TESSAVO_CALL* ItemWordFn)(void*, int32_t);
typedef void*(TESSAVO_CALL* ItemBlockFn)(void*, int32_t);
typedef void*(TESSAVO_CALL* OutFileFn)(void*, int32_t*, int32_t);
typedef DecodeParam*(TESSAVO_CALL* ParamFn)(void*, int32_t, int32_t);
typedef DecodeStructParam*(TESSAVO_CALL* StructFn)(void*, int32_t, int32_t);

static struct {
    CreateFn create;
    ConfigureFn configure;
    FreeFn release;
    DecodeFn decode;
    CountFn count;
    ItemWordFn code, direction, curCount, inhCount, curStructCount, inhStructCount;
    ItemBlockFn time, binary, zelFilter, zelSimple, dtlog;
    OutFileFn outFile;
    ParamFn curParam, inhParam;
    StructFn curStruct, inhStruct;
} api;

#if defined(_WIN32)
static int Resolve(void** slot, HMODULE module, const char* name) {
    FARPROC f = GetProcAddress(module, name);
    if (f == NULL) {
        fprintf(stderr, "Tessavo.dll exports no %s\n", name);
        return 0;
    }
    memcpy(slot, &f, sizeof *slot);
    return 1;
}
#define RESOLVE(field, name) ok &= Resolve((void**)&api.field, module, #name)
#else
#define RESOLVE(field, name) api.field = name
#endif

static int LoadApi(void) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA("Tessavo.dll");
    int ok = 1;
    if (module == NULL) {
        fprintf(stderr, "LoadLibrary(Tessavo.dll) failed: error %lu\n", GetLastError());
        return 0;
    }
#else
    const int ok = 1;
#endif
    RESOLVE(create, CreateDecoderObjectProc);
    RESOLVE(configure, SetDecoderConfiguration);
    RESOLVE(release, FreeDecoderObjectProc);
    RESOLVE(decode, DecodeMsgProc_NoDynamic);
    RESOLVE(count, GetReportItemCountProc);
    RESOLVE(code, GetReportItemMsgCode);
    RESOLVE(direction, GetReportItemMsgDirection);
    RESOLVE(curCount, GetReportItemCurDecodeParamCount);
    RESOLVE(inhCount, GetReportItemInheritDecodeParamCount);
    RESOLVE(curStructCount, GetReportItemCurDecodeStructParamCount);
    RESOLVE(inhStructCount, GetReportItemInheritDecodeStructParamCount);
    RESOLVE(time, GetReportItemMsgTime);
    RESOLVE(binary, GetReportItemBinary);
    RESOLVE(zelFilter, GetReportItemBinaryToZelFilter);
    RESOLVE(zelSimple, GetReportItemBinaryToZelSimple);
    RESOLVE(dtlog, GetReportItemDTLogBinary);
    RESOLVE(outFile, GetReportItemOutFileBinary);
    RESOLVE(curParam, GetReportItemCurDecodeParamList);
    RESOLVE(inhParam, GetReportItemInheritDecodeParamList);
    RESOLVE(curStruct, GetReportItemCurDecodeStructParamList);
    RESOLVE(inhStruct, GetReportItemInheritDecodeStructParamList);
    return ok;
}

static void MixScalars(Digest* d, void* h, int32_t i, ItemWordFn countOf, ParamFn at) {
    const uint32_t n = countOf(h, i);
    MixWord(d, n);
    for (uint32_t k = 0; k < n && n != 0xFFFFFFFFu; ++k) {
        const DecodeParam* p = at(h, i, (int32_t)k);
        if (p == NULL) {
            MixWord(d, 0xFFFFFFFFu);
            continue;
        }
        Mix(d, p, sizeof *p);
    }
}

static void MixStructs(Digest* d, void* h, int32_t i, ItemWordFn countOf, StructFn at) {
    const uint32_t n = countOf(h, i);
    MixWord(d, n);
    for (uint32_t k = 0; k < n && n != 0xFFFFFFFFu; ++k) {
        const DecodeStructParam* p = at(h, i, (int32_t)k);
        DecodeStructParam header;
        if (p == NULL) {
            MixWord(d, 0xFFFFFFFFu);
            continue;
        }
        memcpy(&header, p, sizeof header);
        MixWord(d, (uint32_t)header.state);
        MixWord(d, header.id);
        MixWord(d, header.length);
        Mix(d, TESSAVO_STRUCT_PARAM_DATA(p), header.length);
    }
}

static void MixItem(Digest* d, void* h, int32_t i) {
    int32_t status = 0;
    const void* outFile = api.outFile(h, &status, i);
    MixWord(d, api.code(h, i));
    MixWord(d, api.direction(h, i));
    Mix(d, api.time(h, i), sizeof(ItemTime));
    MixBlock(d, api.binary(h, i));
    MixBlock(d, api.zelFilter(h, i));
    MixBlock(d, api.zelSimple(h, i));
    MixBlock(d, api.dtlog(h, i));
    MixWord(d, (uint32_t)status);
    MixBlock(d, outFile);
    MixScalars(d, h, i, api.curCount, api.curParam);
    MixScalars(d, h, i, api.inhCount, api.inhParam);
    MixStructs(d, h, i, api.curStructCount, api.curStruct);
    MixStructs(d, h, i, api.inhStructCount, api.inhStruct);
}

static int DigestFile(const char* path) {
    static uint8_t buffer[kDigestChunk];
    FILE* f = fopen(path, "rb");
    void* h = NULL;
    Digest d = DIGEST_INIT;
    long items = 0;
    int failures = 0;
    if (f == NULL) {
        fprintf(stderr, "cannot open %s\n", path);
        return 0;
    }
    h = api.create(TESSAVO_MODULE_B101);
    if (h == NULL || !api.configure(h, TESSAVO_CFG_REENCODE_ON) ||
        !api.configure(h, TESSAVO_CFG_DTLOG_ON) || !api.configure(h, TESSAVO_CFG_OUTFILE_ON)) {
        fclose(f);
        fprintf(stderr, "cannot set up a decoder object\n");
        return 0;
    }
    for (;;) {
        const size_t have = fread(buffer, 1, sizeof buffer, f);
        size_t offset = 0;
        if (have == 0) break;
        /* Feed until the chunk is taken; a full ring hands back the tail to pass again. */
        while (offset < have) {
            const int32_t left =
                api.decode(h, buffer + offset, (int32_t)(have - offset), kDigestHostSeconds, 0);
            const int32_t n = api.count(h);
            for (int32_t i = 0; i < n; ++i) MixItem(&d, h, i);
            items += n;
            if (left < 0) ++failures;
            if (left <= 0) break;
            if ((size_t)left >= have - offset && n == 0) {
                ++failures; /* nothing taken and nothing to collect */
                break;
            }
            offset = have - (size_t)left;
        }
    }
    fclose(f);
    api.release(&h);
    printf("%s items=%ld failures=%d digest=%016llx\n", BaseName(path), items, failures,
           (unsigned long long)d.h);
    return 1;
}

int main(int argc, char** argv) {
    int ok = 1;
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc < 2) {
        fprintf(stderr, "usage: tessavo-digest FILE...\n");
        return 1;
    }
    if (!LoadApi()) return 1;
    for (int i = 1; i < argc; ++i) ok &= DigestFile(argv[i]);
    return ok ? 0 : 1;
}
