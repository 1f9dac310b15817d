/*
 * The documented host loop as a program of its own, for timing whole processes side by side
 * with tessavo-decode: the file is read in 64 KB pieces, as bytes arrive from a handset, and
 * each piece handed to DecodeMsgProc_NoDynamic; the items are collected after every call and
 * the bytes not taken are passed again at the front of the next piece. At the end of the file
 * one 0x7E byte is passed, and collected, until the library has decoded everything it kept.
 * Each item's message code, time and current scalar list are read.
 *
 * Usage: tessavo-host-loop FILE   (prints the item count; exit status 1 when the file or the
 * library fails)
 */
#include <stdio.h>
#include <string.h>

#include "tessavo/tessavo.h"

int main(int argc, char** argv) {
    static unsigned char buffer[65536];
    if (argc != 2) {
        fprintf(stderr, "usage: tessavo-host-loop FILE\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (file == NULL) {
        perror(argv[1]);
        return 1;
    }
    void* handle = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    if (handle == NULL) {
        fprintf(stderr, "tessavo-host-loop: no decoder object\n");
        return 1;
    }
    long long items = 0;
    uint32_t sum = 0;
    size_t held = 0;  // bytes at the front of the buffer, not taken by the last call
    int atEnd = 0;
    for (;;) {
        if (!atEnd) {
            held += fread(buffer + held, 1, sizeof buffer - held, file);
            atEnd = held == 0;
        }
        if (atEnd) {  /* the end of the input: a flag until nothing is left */
            buffer[0] = 0x7E;
            held = 1;
        }
        const int32_t n = (int32_t)held;
        const int32_t left = DecodeMsgProc_NoDynamic(handle, buffer, n, 0, 0);
        const int32_t count = GetReportItemCountProc(handle);
        for (int32_t i = 0; i < count; ++i) {
            sum += GetReportItemMsgCode(handle, i);
            const ItemTime* time = (const ItemTime*)GetReportItemMsgTime(handle, i);
            if (time != NULL) sum += (uint32_t)time->seconds;
            const uint32_t params = GetReportItemCurDecodeParamCount(handle, i);
            for (uint32_t k = 0; k < params && params != 0xFFFFFFFFu; ++k) {
                const DecodeParam* p = GetReportItemCurDecodeParamList(handle, i, (int32_t)k);
                if (p != NULL) sum += p->id + (uint32_t)p->value;
            }
        }
        items += count;
        if (left < 0 || left > n) {
            fprintf(stderr, "tessavo-host-loop: the library failed\n");
            return 1;
        }
        if (atEnd && left == 0) break;
        if (left == n && count == 0) break;  // nothing taken, nothing given: no progress
        memmove(buffer, buffer + (n - left), (size_t)left);
        held = (size_t)left;
    }
    fclose(file);
    FreeDecoderObjectProc(&handle);
    printf("%lld items (check %u)\n", items, sum);
    return 0;
}
