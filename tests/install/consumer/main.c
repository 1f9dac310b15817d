/* Decodes one hand-built log frame through the installed library and checks the item. */
#include <stdio.h>
#include <tessavo/params.h> /* installed beside the C header */
#include <tessavo/tessavo.h>

int main(void) {
    /* Log 0x1000 with the payload 01 02 03, its CRC-16 (low byte first) and the flag. */
    const uint8_t frame[] = {0x10, 0x00, 0x0F, 0x00, 0x0F, 0x00, 0x00, 0x10, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0xF4,
                             0x1A, 0x7E};
    void* h = CreateDecoderObjectProc(TESSAVO_MODULE_B101);
    if (h == NULL) return 1;
    if (DecodeMsgProc_NoDynamic(h, frame, (int32_t)sizeof frame, 0, 0) != 0) return 2;
    if (GetReportItemCountProc(h) != 1) return 3;
    if (GetReportItemMsgCode(h, 0) != 0xB1011000u) return 4;
    FreeDecoderObjectProc(&h);
    puts("consumer ok");
    return 0;
}
