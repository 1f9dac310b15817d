/* Compiled as strict C11: the public header must stay usable from C hosts. */
#include <stddef.h>

#include "tessavo/tessavo.h"
#ifdef TESSAVO_HAVE_PARAMS_H
#include "tessavo/params.h"
#endif

_Static_assert(sizeof(DecodeParam) == 16, "scalar record is 16 bytes");
_Static_assert(sizeof(DecodeStructParam) == 16, "structured header is 16 bytes");
_Static_assert(offsetof(DecodeStructParam, data) == 12, "data word at 12");

int tessavo_c_header_check(void* h) {
    int32_t status = 0;
    (void)GetReportItemOutFileBinary(h, &status, 0);
    return SetDecoderConfiguration(h, TESSAVO_CFG_OUTFILE_ON) ? status : -1;
}
