/*
 * Tessavo: decoder of the DIAG diagnostic stream of CDMA2000 1x / 1xEV-DO handsets.
 *
 * One decoder object per handset. Feed captured bytes with DecodeMsgProc (or a
 * variant), collect with GetReportItemCountProc, read items through the accessors,
 * free with FreeDecoderObjectProc. Calls on one object must not overlap; separate
 * objects share nothing.
 *
 * Pointer lifetime: every pointer returned by an accessor points into one of the
 * object's 300 ring nodes. It stays valid until that node is reused by a later
 * append (at the earliest after 300 further accepted packets counted from the last
 * collection) or until the object is freed. Collect after every decode call and
 * read the items before the next one.
 *
 * Bad arguments print a fixed one-line message to standard output and return the
 * function's failure value (null, 0, -1 or 0xFFFFFFFF).
 *
 * This header compiles as C11 and as C++.
 */
#ifndef TESSAVO_TESSAVO_H
#define TESSAVO_TESSAVO_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#define TESSAVO_VERSION_MAJOR 0
#define TESSAVO_VERSION_MINOR 1
#define TESSAVO_VERSION_PATCH 0

/* On Windows the library is Tessavo.dll: hosts import the functions (TESSAVO_API), and on
 * 32-bit Windows every function uses the C calling convention (TESSAVO_CALL, __cdecl: the
 * caller removes the arguments). A host that declares the functions itself must use __cdecl
 * too; __stdcall declarations corrupt its stack. Results declared bool are the one-byte C/C++
 * bool (only the low byte of the return register is set), not the four-byte Windows BOOL. */
#if defined(_WIN32)
#if defined(TESSAVO_BUILDING)
#define TESSAVO_API __declspec(dllexport)
#else
#define TESSAVO_API __declspec(dllimport)
#endif
#define TESSAVO_CALL __cdecl
#else
#define TESSAVO_API __attribute__((visibility("default")))
#define TESSAVO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Module types (chip families) accepted by CreateDecoderObjectProc. */
#define TESSAVO_MODULE_B101 0xB101u
#define TESSAVO_MODULE_B200 0xB200u
#define TESSAVO_MODULE_B20A 0xB20Au
#define TESSAVO_MODULE_B20B 0xB20Bu

/* Configuration codes of SetDecoderConfiguration. */
#define TESSAVO_CFG_REENCODE_ON 6         /* rebuild payload / compact form of each item */
#define TESSAVO_CFG_REENCODE_OFF 7
#define TESSAVO_CFG_WHOLE_BUFFER_ON 8     /* each call is one raw frame, escapes kept, no CRC */
#define TESSAVO_CFG_WHOLE_BUFFER_OFF 9
#define TESSAVO_CFG_WHOLE_FRAME_ON 10     /* each call is one frame whose 0x7E follows the given length */
#define TESSAVO_CFG_WHOLE_FRAME_OFF 11
#define TESSAVO_CFG_OUTFILE_ON 0x20001
#define TESSAVO_CFG_OUTFILE_OFF 0x20002
#define TESSAVO_CFG_DTLOG_ON 0xA0001
#define TESSAVO_CFG_DTLOG_OFF 0xA0002

/* Parameter states. */
#define TESSAVO_STATE_FRESH 1     /* set by this packet */
#define TESSAVO_STATE_INHERITED 0 /* last set by an earlier packet, still valid */
#define TESSAVO_STATE_CLEARED (-1)
#define TESSAVO_STATE_RETIRED (-2)

#pragma pack(push, 1)

/* Item time: seconds in the local-time origin of the C library, microseconds 0..999999. */
typedef struct ItemTime {
    int32_t seconds;
    int32_t microseconds;
} ItemTime;

/* Scalar parameter: real value = value / scale. 16 bytes. */
typedef struct DecodeParam {
    int32_t state;  /* TESSAVO_STATE_* */
    uint32_t id;    /* 0x7F01xxxx */
    int32_t value;  /* real value times scale, truncated toward zero */
    int32_t scale;  /* 1, 100 or 1000 */
} DecodeParam;

/* Header of a structured parameter; `length` payload bytes follow it directly.
 * Records sit at unaligned addresses: read the fields with memcpy or through this
 * packed type. On 64-bit hosts `data` holds the payload address only when that
 * address fits in 32 bits, else 0: use TESSAVO_STRUCT_PARAM_DATA instead. */
typedef struct DecodeStructParam {
    int32_t state;
    uint32_t id;     /* 0x7F0107D0 .. 0x7F0107FC */
    uint32_t length; /* payload bytes */
    uint32_t data;   /* payload address when it fits in 32 bits, else 0 */
} DecodeStructParam;

#pragma pack(pop)

/* Payload of a structured parameter record, whatever the pointer width. */
#define TESSAVO_STRUCT_PARAM_DATA(record) ((const uint8_t*)(const void*)(record) + 16)

/* Report item layout (73232 bytes, little-endian). Each block is a u32 length
 * followed by up to TESSAVO_BLOCK_CAPACITY bytes; accessors return the length's address. */
#define TESSAVO_REPORT_ITEM_SIZE 73232
#define TESSAVO_BLOCK_CAPACITY 5120
#define TESSAVO_SCALAR_PARAM_COUNT 384
#define TESSAVO_STRUCT_PARAM_COUNT 45
#define TESSAVO_OFFSET_ITEM_TIME 4
#define TESSAVO_OFFSET_MSG_CODE 12
#define TESSAVO_OFFSET_PAYLOAD 16
#define TESSAVO_OFFSET_ZEL_FILTER 5140
#define TESSAVO_OFFSET_ZEL_SIMPLE 10264
#define TESSAVO_OFFSET_DIRECTION 15388
#define TESSAVO_OFFSET_CUR_PARAM_COUNT 15390
#define TESSAVO_OFFSET_INH_PARAM_COUNT 15392
#define TESSAVO_OFFSET_PARAM_CAPACITY 15394
#define TESSAVO_OFFSET_CUR_PARAM_LIST 15396
#define TESSAVO_OFFSET_INH_PARAM_LIST 16164
#define TESSAVO_OFFSET_PARAM_TABLE 16932
#define TESSAVO_OFFSET_CUR_SPARAM_COUNT 23076
#define TESSAVO_OFFSET_INH_SPARAM_COUNT 23078
#define TESSAVO_OFFSET_SPARAM_CAPACITY 23080
#define TESSAVO_OFFSET_CUR_SPARAM_LIST 23082
#define TESSAVO_OFFSET_INH_SPARAM_LIST 23172
#define TESSAVO_OFFSET_SPARAM_TABLE 23262
#define TESSAVO_SPARAM_TABLE_SIZE 34598
#define TESSAVO_OFFSET_DTLOG 57860
#define TESSAVO_OFFSET_OUTFILE 62984
#define TESSAVO_OFFSET_PACKET_COPY 68108

/* Lifecycle. CreateDecoderObjectProc returns null for an unsupported module type. */
TESSAVO_API void* TESSAVO_CALL CreateDecoderObjectProc(uint32_t moduleType);
TESSAVO_API bool TESSAVO_CALL SetDecoderConfiguration(void* h, int32_t code);
TESSAVO_API bool TESSAVO_CALL ClearReportItemsProc(void* h);
/* Frees the object and sets *handleVariable to null. */
TESSAVO_API bool TESSAVO_CALL FreeDecoderObjectProc(void** handleVariable);

/* Decoding. Host time = capture time of the bytes (seconds, microseconds).
 * A call stops before a frame when the ring is full (300 uncollected items), and
 * before a packed log frame (log codes 0x1036/0x1037, up to 31 items) when fewer
 * ring nodes are free than it can yield: no item is overwritten before the host
 * could collect it.
 * DecodeMsgProc keeps the bytes it could not decode and decodes them first at the
 * next decode call (of either kind, with length > 0); while kept bytes remain, a
 * call's own bytes are kept behind them. At most 16 MiB are kept: when the bytes
 * to keep would pass that, none of the call's undecoded bytes are kept and it
 * returns false; collect, then pass them again (DecodeMsgProc_NoDynamic reports
 * how many were not taken).
 * DecodeMsgProc_NoDynamic returns 0 when all input was consumed, a positive count of
 * trailing input bytes to pass again after collecting when the ring filled, and -1
 * on a bad handle / null bytes or a caught decoding failure (0 for length <= 0). */
TESSAVO_API bool TESSAVO_CALL DecodeMsgProc(void* h, const uint8_t* bytes, int32_t length,
                                            int32_t hostSeconds, int32_t hostMicroseconds);
TESSAVO_API int32_t TESSAVO_CALL DecodeMsgProc_NoDynamic(void* h, const uint8_t* bytes,
                                                         int32_t length, int32_t hostSeconds,
                                                         int32_t hostMicroseconds);
TESSAVO_API uint32_t TESSAVO_CALL DecodeMsgProc_One(void* h, const uint8_t* frame, int32_t length,
                                                    int32_t hostSeconds, int32_t hostMicroseconds);

/* Collection: moves the items decoded since the last call into the collected list
 * and returns their number (-1 for a null handle). Indices below refer to it. */
TESSAVO_API int32_t TESSAVO_CALL GetReportItemCountProc(void* h);

TESSAVO_API void* TESSAVO_CALL GetReportItemProc(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgCode(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgDirection(void* h, int32_t i);
TESSAVO_API void* TESSAVO_CALL GetReportItemMsgTime(void* h, int32_t i); /* -> ItemTime */
TESSAVO_API void* TESSAVO_CALL GetReportItemBinary(void* h, int32_t i);  /* -> u32 length + bytes */
TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelFilter(void* h, int32_t i);
TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelSimple(void* h, int32_t i);
/* Null unless DTLog output is on (TESSAVO_CFG_DTLOG_ON). */
TESSAVO_API void* TESSAVO_CALL GetReportItemDTLogBinary(void* h, int32_t i);
/* *status becomes -1, and 1 only when a block pointer is returned; status may be null. */
TESSAVO_API void* TESSAVO_CALL GetReportItemOutFileBinary(void* h, int32_t* status, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeParamCount(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeParamCount(void* h, int32_t i);
TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemCurDecodeParamList(void* h, int32_t nodeIdx,
                                                                      int32_t paramIdx);
TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemInheritDecodeParamList(void* h, int32_t nodeIdx,
                                                                          int32_t paramIdx);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeStructParamCount(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeStructParamCount(void* h, int32_t i);
TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemCurDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx);
TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemInheritDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx);

#ifdef __cplusplus
}
#endif

#endif /* TESSAVO_TESSAVO_H */
