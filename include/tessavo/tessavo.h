/*
 * Tessavo: decoder of the DIAG diagnostic stream of CDMA2000 1x / 1xEV-DO handsets.
 *
 * One decoder object per handset. Feed captured bytes with DecodeMsgProc_NoDynamic (or
 * DecodeMsgProc, DecodeMsgProc_One), collect with GetReportItemCountProc, read the items
 * through the accessors, free with FreeDecoderObjectProc. This header compiles as C11 and
 * as C++.
 *
 * THE HOST LOOP
 *
 *     int32_t left = DecodeMsgProc_NoDynamic(h, buf, len, sec, usec);
 *     int32_t n = GetReportItemCountProc(h);   // once: it MOVES the items (see below)
 *     for (int32_t i = 0; i < n; ++i) ... read item i ...
 *     // left > 0: pass the last `left` bytes of buf again, then collect again
 *     // left < 0: see DecodeMsgProc_NoDynamic
 *
 * End of input: pass the single byte 0x7E to DecodeMsgProc_NoDynamic and collect,
 * repeating while it returns a positive count. It returns 0 once every byte the object
 * holds (bytes kept by DecodeMsgProc, the start of a frame) has been decoded; a frame left
 * unfinished at the end is closed by that flag (and dropped if its check bytes are bad).
 * Without this step, bytes kept by DecodeMsgProc are never decoded.
 *
 * RING AND POINTER LIFETIME
 *
 * Each accepted packet appends one item to a ring of 300 nodes inside the object.
 * GetReportItemCountProc moves the items appended since the previous collection out of
 * the ring into the collected list and returns their number n; the indices of every
 * accessor refer to that list. A second call returns the items appended since the first
 * (usually 0), so `for (i = 0; i < GetReportItemCountProc(h); ++i)` loses all but the
 * first item: store the count once.
 *
 * The accessors return pointers into the ring's nodes. After a collection that returned n
 * items, the pointers into item i (0-based) stay valid until 300 - n + i further items
 * have been appended (the next append after that reuses the item's node), or until the
 * object is freed. ClearReportItemsProc and later collections do not move them. A host
 * that reads each collection before its next decode call is always safe.
 *
 * Stream calls (DecodeMsgProc, DecodeMsgProc_NoDynamic) stop before any frame whose items
 * do not fit in the free ring nodes (300 minus the uncollected items): nothing
 * uncollected is ever overwritten. DecodeMsgProc_One, and the whole-buffer
 * (TESSAVO_CFG_WHOLE_BUFFER_ON) and whole-frame (TESSAVO_CFG_WHOLE_FRAME_ON) modes, decode
 * a frame only when its items fit; otherwise nothing is decoded and the call fails
 * (DecodeMsgProc_One 0, DecodeMsgProc false keeping nothing, DecodeMsgProc_NoDynamic
 * returns the length): collect, and pass the frame again. A frame yields one item, or up
 * to 31 for a packed log (log codes 0x1036, 0x1037).
 *
 * A pointer designates a record: the whole item for GetReportItemProc, the time pair for
 * GetReportItemMsgTime, a block's length word and the bytes it holds for a block accessor,
 * the 16-byte record for a scalar parameter, the structured record with its payload for a
 * structured one. The library fills an item's bytes when an accessor first reads them, so
 * read each record through the pointer that designates it: the bytes of an item outside
 * every record an accessor has designated so far are not its values (to read the item at
 * its offsets, take it from GetReportItemProc). A host may write into the record a pointer
 * designates. Its writes never reach later items: every later item is as if the decoder's
 * state had been copied into it whole.
 *
 * OBJECTS, THREADS AND THE PROCESS
 *
 * Calls on one object must not overlap. Separate objects share no decoding state and may
 * be used from different threads, but they share the process's time zone (item times,
 * below) and its standard output and environment (messages, below): do not change TZ or
 * TESSAVO_MESSAGES while another thread is inside a call.
 *
 * A freed handle must not be used again: FreeDecoderObjectProc clears the caller's
 * variable, but any copy of the handle then points to freed memory and passing it to any
 * function is undefined, as for free().
 *
 * Memory per object: the ring's 300 nodes of 73,232-byte items (23.3 MB of address space,
 * 19 pages a node, the item 1,024 bytes in so that its counts, scalar lists and scalar table
 * take two pages) and the history they are filled from: the item as of the last append
 * (73 KB) and the 256-byte lines each of the last 300 appends changed, with their bytes
 * before (up to 22 MB, used as needed from its start: about 0.3 MB on a real drive, about
 * 1.6 MB on the bundled sample; where the system offers 2 MB pages, as Linux does with
 * transparent huge pages set to "madvise" or "always", it takes them, one page in place of
 * 512 faults, so 2 MB once it holds a line; on Linux it reserves 2 MB more address space
 * to start on one). An append copies into its node only the lines it changed among the time line and
 * the counts, scalar lists and table; an accessor fills the 256-byte lines of the record it
 * designates the first time it is called for an item. So a node takes physical memory only
 * for the pages holding what hosts read: for a host that reads each item's time and current
 * scalars, the ring and its history take about 4 MB on a real drive (about 6 MB with 2 MB
 * pages); a host that takes every item whole adds up to 22 MB. Both are zero pages
 * from the system until written. Then the object itself (about 266 KB: frame buffer,
 * decoding state with its working item), packed-log scratch (about 36 KB) and, once DTLog
 * output is first switched on, its text builder (about 179 KB). On top of that,
 * DecodeMsgProc keeps at most 16 MiB of input the ring could not take (its growable buffer
 * may reserve up to twice that). Nothing is allocated per packet. Each thread that decodes
 * also keeps 32 KB of recent logarithm results, shared by the objects it runs.
 *
 * MESSAGES
 *
 * Bad indices, an unsupported module type and failed allocations print a fixed one-line
 * message and the function returns its failure value (null, 0, -1 or 0xFFFFFFFF); a null
 * handle fails silently. Decoding prints one too, for each parameter ID of a compact
 * (0xFFFE) packet that names no parameter.
 * Messages go to standard output, flushed after each. The environment variable
 * TESSAVO_MESSAGES, read each time a message is printed, sends them elsewhere:
 * "stderr" (standard error), "off" (not printed) or "stdout" (the default; unset or any
 * other value is the same).
 *
 * ITEM TIME
 *
 * A log packet's time stamp counts 1.25 ms ticks from the handset's time origin. The item's
 * seconds are the C library's mktime() of 1980-01-06 08:00:00 local time (no daylight
 * saving) plus the whole seconds of the stamp; microseconds are the rest (multiples of
 * 1250). Under a UTC+8 zone (TZ=CST-8) that origin is 315964800, the instant 1980-01-06
 * 00:00:00 UTC, so seconds - 315964800 are the handset's GPS seconds (no leap-second
 * correction); in another zone the origin moves by the zone's offset from UTC+8 (UTC:
 * 315993600). The zone is the process's, read when it changes. Seconds are a 32-bit word
 * (the low 32 bits of the C library's time); read as signed it turns negative after
 * 2038-01-19 03:14:07 UTC. An item's time never moves backwards: a log packet stamped
 * earlier keeps the previous item's time, as do command packets; a command 0xDD response
 * gets the first log packet's time plus the host time (the pair passed to the decode
 * calls) elapsed since that packet. Command packets before the first log packet are refused.
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

/* Item time (see ITEM TIME): seconds on the C library's time scale, microseconds 0..999999. */
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

/* Lifecycle. CreateDecoderObjectProc returns null for an unsupported module type (with a
 * message) or when memory runs out. */
TESSAVO_API void* TESSAVO_CALL CreateDecoderObjectProc(uint32_t moduleType);
/* Applies a TESSAVO_CFG_* code from the next packet on; false for a null handle or a code
 * <= 0, and for TESSAVO_CFG_DTLOG_ON when the DTLog text builder it takes the first time
 * cannot be allocated (DTLog output then stays off); an unknown positive code changes
 * nothing and returns true. */
TESSAVO_API bool TESSAVO_CALL SetDecoderConfiguration(void* h, int32_t code);
/* Drops the items decoded but not collected. The collected list, its pointers and the
 * decoding state stay. */
TESSAVO_API bool TESSAVO_CALL ClearReportItemsProc(void* h);
/* Frees the object and sets *handleVariable to null; false when either is null. */
TESSAVO_API bool TESSAVO_CALL FreeDecoderObjectProc(void** handleVariable);

/* Decoding. The host time is the capture time of the bytes in the host's clock (seconds,
 * microseconds); it only dates command 0xDD responses (see ITEM TIME).
 *
 * DecodeMsgProc_NoDynamic: stream input of any size, frames closed by 0x7E. Returns
 *   0   every input byte was taken (an unfinished frame is held for the next call);
 *   > 0 the ring has no room for the next frame: collect, then pass the last that many
 *       bytes of the input again (see RING AND POINTER LIFETIME);
 *   -1  a null handle or null bytes, or a failure caught while a frame was decoded: that
 *       frame and the rest of this call's input are dropped (bytes kept by an earlier
 *       DecodeMsgProc too), the items appended before it are valid. How many input bytes
 *       were decoded is not known: collect, then go on with the next input; framing
 *       restarts at the next 0x7E. No decoder of this version raises such a failure.
 *   0 also for length <= 0, which decodes nothing.
 *
 * DecodeMsgProc: the same stream input; bytes the ring could not take are kept and decoded
 * first at the next decode call with length > 0 (of either kind; the end-of-input step
 * above drains them). True when the input was taken (decoded or kept). False for a null
 * handle, null bytes or length <= 0; on a non-empty call with a valid handle and buffer,
 * false means "split the input": a call whose bytes, added to the bytes already kept,
 * would pass 16 MiB is refused before anything is decoded (nothing decoded, nothing kept,
 * the kept bytes untouched); collect and pass smaller pieces. False also after a caught
 * decoding failure (as -1 above).
 *
 * DecodeMsgProc_One: `frame` is one complete frame (escaped, check bytes, closing 0x7E),
 * decoded without the stream's buffer. Returns 1 when the frame was processed (it may
 * still yield no item, for example with bad check bytes), 0 when it was refused: null
 * handle or frame, length < 1, a frame of 7168 bytes or more, a packed log whose header
 * does not fit, or no room in the ring.
 *
 * In the whole-buffer mode (TESSAVO_CFG_WHOLE_BUFFER_ON) each DecodeMsgProc /
 * DecodeMsgProc_NoDynamic call is one frame taken as it stands (escapes kept, check bytes
 * not verified); in the whole-frame mode (TESSAVO_CFG_WHOLE_FRAME_ON) each call is one
 * frame whose closing 0x7E follows `length` bytes in the host's buffer (not read). */
TESSAVO_API bool TESSAVO_CALL DecodeMsgProc(void* h, const uint8_t* bytes, int32_t length,
                                            int32_t hostSeconds, int32_t hostMicroseconds);
TESSAVO_API int32_t TESSAVO_CALL DecodeMsgProc_NoDynamic(void* h, const uint8_t* bytes,
                                                         int32_t length, int32_t hostSeconds,
                                                         int32_t hostMicroseconds);
TESSAVO_API uint32_t TESSAVO_CALL DecodeMsgProc_One(void* h, const uint8_t* frame, int32_t length,
                                                    int32_t hostSeconds, int32_t hostMicroseconds);

/* Collection: moves the items decoded since the last call into the collected list and
 * returns their number (-1 for a null handle). Call it once per batch (see RING AND
 * POINTER LIFETIME); the indices below refer to the list it made. */
TESSAVO_API int32_t TESSAVO_CALL GetReportItemCountProc(void* h);

/* Item accessors. A bad index prints "Entry parameter 'i' is bound violation" (for the
 * list accessors 'nodeIdx' or 'paramIdx') and returns null or 0xFFFFFFFF. */

/* -> the whole 73232-byte record (TESSAVO_OFFSET_* below). */
TESSAVO_API void* TESSAVO_CALL GetReportItemProc(void* h, int32_t i);
/* Message code. Log packets: module type << 16 | log code for most codes (module 0xB101,
 * log 0x1200: 0xB1011200). Signalling logs (0x1004..0x1008, 0x1076..0x1079, 0x107C):
 * log code << 16 | message type << 8 | order sub-code or message detail. Log codes 0x1036,
 * 0x1037, 0x10F2, 0x10F4, 0x10F5, 0x10F8, 0x1100, 0x11E9, 0x11EA: log code << 16 (packed
 * logs then give each sub-packet its own). Commands 0x20, 0x40, 0x5D, 0x63, 0x73, 0x79:
 * module type << 16 | (0x3000 + command); 0x3F: | 0xDD3F; 0x4B: | 0xDD4B; 0x60: | 0x1FFB;
 * 0xDD: 0xEEAA0001; a 0x4B call-statistics response: | 0x304B; compact packets (0xFFFE)
 * carry the code of the item they were made from. */
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgCode(void* h, int32_t i);
/* Direction: 1 sent by the handset (log codes 0x1004, 0x1005, 0x1076, 0x1077), 0 received
 * by it (0x1006, 0x1007, 0x1008, 0x1078, 0x1079, 0x107C), 2 every other log code and every
 * command response. */
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemMsgDirection(void* h, int32_t i);
/* -> ItemTime (see ITEM TIME). */
TESSAVO_API void* TESSAVO_CALL GetReportItemMsgTime(void* h, int32_t i);
/* Blocks: each accessor returns the address of a u32 length followed by that many bytes
 * (at most TESSAVO_BLOCK_CAPACITY).
 * Payload: a log packet's payload (after its 16-byte header, without check bytes); a
 * command response from its second byte, check bytes included; with re-encoding on
 * (TESSAVO_CFG_REENCODE_ON) and for compact packets, FF FF FF FF and the compact form's
 * entries. */
TESSAVO_API void* TESSAVO_CALL GetReportItemBinary(void* h, int32_t i);
/* The frame as received: escaped, with its check bytes and closing 0x7E (for a packed-log
 * sub-packet, the sub-packet as rebuilt into a frame). */
TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelFilter(void* h, int32_t i);
/* With re-encoding on: the compact form, a framed log packet of code 0xFFFE carrying the
 * item's message code, direction, time and fresh scalar values, which the library decodes
 * back into the same item (some message codes keep the received frame instead). */
TESSAVO_API void* TESSAVO_CALL GetReportItemBinaryToZelSimple(void* h, int32_t i);
/* DTLog text, null unless DTLog output is on (TESSAVO_CFG_DTLOG_ON). The text of an item
 * describes the PREVIOUS accepted packet (it is built after each append): the first item
 * after switching it on has an empty text, and the last packet's text is never handed out. */
TESSAVO_API void* TESSAVO_CALL GetReportItemDTLogBinary(void* h, int32_t i);
/* OutFile record: a log packet from its length word to the end of its payload (length,
 * log code, time stamp, payload), as a log file stores it; for command responses 0x40
 * and 0x63 a record built the same way; empty for other commands. *status becomes -1, and
 * 1 only when a block pointer is returned; status may be null. Null unless OutFile output
 * is on (TESSAVO_CFG_OUTFILE_ON). */
TESSAVO_API void* TESSAVO_CALL GetReportItemOutFileBinary(void* h, int32_t* status, int32_t i);
/* Parameters: the current list holds what this packet set, the inherited list the values
 * set by earlier packets that are still valid; together they are the handset's last-known
 * state. Scalar IDs and their units: tessavo/params.h. */
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeParamCount(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeParamCount(void* h, int32_t i);
TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemCurDecodeParamList(void* h, int32_t nodeIdx,
                                                                      int32_t paramIdx);
TESSAVO_API DecodeParam* TESSAVO_CALL GetReportItemInheritDecodeParamList(void* h, int32_t nodeIdx,
                                                                          int32_t paramIdx);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemCurDecodeStructParamCount(void* h, int32_t i);
TESSAVO_API uint32_t TESSAVO_CALL GetReportItemInheritDecodeStructParamCount(void* h, int32_t i);
/* The structured accessors write the payload address into the record's `data` word each
 * time (see DecodeStructParam). */
TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemCurDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx);
TESSAVO_API DecodeStructParam* TESSAVO_CALL
GetReportItemInheritDecodeStructParamList(void* h, int32_t nodeIdx, int32_t paramIdx);

#ifdef __cplusplus
}
#endif

#endif /* TESSAVO_TESSAVO_H */
