"""Decoder objects, report items and their times.

A `Decoder` owns one library decoder object (one handset). `feed` hands the bytes over with
DecodeMsgProc_NoDynamic, collects after every call and copies each item into Python values
before the next call (the library's pointers are only valid until then). A positive result
means the ring filled: that many trailing bytes were not taken, and they are handed over
again after the collection. -1 is a failure the library caught while decoding a frame; the
rest of that call's bytes is dropped, as the library dropped its partial frame, and
decoding goes on.
"""

import ctypes
import struct
import time
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone
from typing import Optional

from . import _tables, catalogue, structs
from ._native import H, lib

MODULES = {name[len("MODULE_"):]: value for name, value in H.items() if name.startswith("MODULE_")}
# Bytes per decode call of a file or a large buffer.
CHUNK_SIZE = 1 << 20
BLOCKS = ("payload", "frame", "compact", "dtlog", "outfile")

_FRESH, _INHERITED = H["STATE_FRESH"], H["STATE_INHERITED"]
_SCALAR_CAPACITY, _STRUCT_CAPACITY = H["SCALAR_PARAM_COUNT"], H["STRUCT_PARAM_COUNT"]
_BAD_COUNT = 0xFFFFFFFF  # what a count accessor answers for a bad index
_FLAG = 0x7E  # frame terminator
_PAYLOAD_CAPACITY = {p.id: p.payload_length for p in catalogue.STRUCTS}
_UNIX_EPOCH = datetime(1970, 1, 1, tzinfo=timezone.utc)
_U32, _PARAM, _STRUCT = struct.Struct("<I"), struct.Struct("<iIii"), struct.Struct("<iIII")
_U16, _HEAD, _DIRECTION = struct.Struct("<H"), struct.Struct("<iiI"), struct.Struct("<HH")
_Record = ctypes.c_char * H["REPORT_ITEM_SIZE"]
_OFF_TIME, _OFF_FRAME = H["OFFSET_ITEM_TIME"], H["OFFSET_ZEL_FILTER"]
_OFF_DIRECTION, _OFF_STRUCT_COUNT = H["OFFSET_DIRECTION"], H["OFFSET_CUR_SPARAM_COUNT"]
# The item time, then the message code; the direction, then the count of current scalars.
assert H["OFFSET_MSG_CODE"] == _OFF_TIME + 8
assert H["OFFSET_CUR_PARAM_COUNT"] == _OFF_DIRECTION + 2
_string_at = ctypes.string_at


# ---- time --------------------------------------------------------------------------------

def library_origin():
    """The library's time origin in Unix seconds: 1980-01-06 08:00:00 local time (standard
    time), as the C library's mktime computes it in this process's zone."""
    return int(time.mktime((1980, 1, 6, 8, 0, 0, 0, 0, 0)))


_EPOCH = _tables.GPS_EPOCH_UNIX_SECONDS
_DATES = _tables.LEAP_SECOND_DATES
# The n-th leap second is in force from GPS second (date - GPS epoch) + n + 1 on.
LEAP_THRESHOLDS = tuple(date - _EPOCH + n + 1 for n, date in enumerate(_DATES))


def leap_seconds_at_gps(gps_seconds):
    """GPS time minus UTC (seconds) at a GPS time given in seconds since the GPS epoch."""
    count = 0
    for threshold in LEAP_THRESHOLDS:
        if gps_seconds < threshold:
            break
        count += 1
    return count


def gps_to_utc(gps_seconds):
    """(Unix seconds, leap): the UTC second of a GPS second; `leap` marks the inserted
    23:59:60, given as the 23:59:59 before it (a datetime has no second 60)."""
    leaps = leap_seconds_at_gps(gps_seconds)
    unix = _EPOCH + gps_seconds - leaps
    if leaps < len(_DATES) and gps_seconds == LEAP_THRESHOLDS[leaps] - 1:
        return unix - 1, True
    return unix, False


def utc_of(raw, origin):
    """UTC datetime and leap flag of an item time (the library's seconds and microseconds)."""
    seconds, micros = divmod(raw[1], 1_000_000)
    unix, leap = gps_to_utc(raw[0] + seconds - origin)
    return _UNIX_EPOCH + timedelta(seconds=unix, microseconds=micros), leap


# ---- identity ----------------------------------------------------------------------------

_IDENTITIES = {}


def identify(frame_head, msg_code, module):
    """(log code, command) of an item, one of them None, from the first bytes of the frame
    as received and the message code (see tools/common/packet_identity.h)."""
    peek = frame_head[:_tables.LOG_HEADER_PEEK]
    if b"\x7d" in peek:
        return _identify(frame_head, msg_code, module)
    key = (peek, msg_code, module)  # without escapes these bytes decide
    found = _IDENTITIES.get(key)
    if found is None:
        if len(_IDENTITIES) > 4096:
            _IDENTITIES.clear()
        found = _IDENTITIES[key] = _identify(frame_head, msg_code, module)
    return found


def _identify(frame_head, msg_code, module):
    header = frame_head.replace(b"\x7d\x5e", b"\x7e").replace(b"\x7d\x5d", b"\x7d")
    header = header[:_tables.LOG_HEADER_PEEK]
    if len(header) >= 2 and header[0] != _tables.LOG_COMMAND and header[0] != _FLAG:
        return None, header[0]
    if len(header) == _tables.LOG_HEADER_PEEK and header[0] == _tables.LOG_COMMAND:
        log_code = header[6] | header[7] << 8
        if log_code != _tables.COMPACT_LOG_CODE:
            return log_code, None
    if msg_code == _tables.TIME_QUERY_CODE:
        return None, 0xDD
    high, low = msg_code >> 16, msg_code & 0xFFFF
    if high != module:
        return high, None
    command = _tables.COMMAND_IDENTITIES.get(low)
    return (None, command) if command is not None else (low, None)


def identity_text(log_code, command):
    """"0x1007" or "cmd:0x60", as the command-line decoder writes it."""
    if command is not None:
        return f"cmd:0x{command:02x}"
    return f"0x{log_code:04x}" if log_code is not None else ""


def scaled(value, scale):
    return value if scale == 1 else value / scale


# ---- items -------------------------------------------------------------------------------

@dataclass
class Item:
    """One report item, copied out of the library."""

    index: int  # running index over everything the decoder yielded
    time: datetime  # UTC
    time_raw: tuple  # (seconds, microseconds) as the library gave them
    msg_code: int
    log_code: Optional[int]  # None for a DIAG command response
    command: Optional[int]  # the DIAG command of a response, else None
    direction: int
    params: dict  # name -> scaled value of the parameters this packet set
    cleared: tuple = ()  # names this packet cleared
    struct_params: dict = field(default_factory=dict)  # name -> dict (known layout) or bytes
    inherited: Optional[dict] = None  # name -> scaled value known from earlier packets
    blocks: dict = field(default_factory=dict)  # side blocks asked for, as bytes
    leap_second: bool = False  # the time is an inserted leap second (shown as :59)

    @property
    def code_text(self):
        return identity_text(self.log_code, self.command)


def _block(address):
    if not address:
        return b""
    (length,) = _U32.unpack(_string_at(address, 4))
    return _string_at(address + 4, min(length, H["BLOCK_CAPACITY"]))


def _count(value, capacity):
    return 0 if value == _BAD_COUNT else min(value, capacity)


def _scalars(handle, i, count, list_fn):
    out = []
    for j in range(count):
        address = list_fn(handle, i, j)
        if address:
            out.append(_PARAM.unpack(_string_at(address, 16)))
    return out


def _structs(handle, i, count, list_fn):
    out = []
    for j in range(count):
        address = list_fn(handle, i, j)
        if address:
            state, param_id, length, _ = _STRUCT.unpack(_string_at(address, 16))
            shown = min(length, _PAYLOAD_CAPACITY.get(param_id, 0))
            out.append((state, param_id, _string_at(address + 16, shown)))
    return out


class Decoder:
    """One decoder object of the library (one handset); a context manager.

    module: "B101" (default), "B200", "B20A", "B20B" or the number.
    reencode, outfile, dtlog, whole_buffer, whole_frame: the library's switches.
    inherited: also read each item's inherited parameters into `Item.inherited`.
    blocks: side blocks to copy into `Item.blocks`, of "payload", "frame", "compact",
    "dtlog" (switches DTLog text on) and "outfile" (switches OutFile records on).
    """

    def __init__(self, module="B101", *, reencode=False, outfile=False, dtlog=False,
                 whole_buffer=False, whole_frame=False, inherited=False, blocks=()):
        if isinstance(module, str):
            key = module.upper().removeprefix("0X")
            if key not in MODULES:
                raise ValueError(f"unknown module type {module!r}; one of {', '.join(MODULES)}")
            module = MODULES[key]
        unknown = set(blocks) - set(BLOCKS)
        if unknown:
            raise ValueError(f"unknown blocks {sorted(unknown)}; of {', '.join(BLOCKS)}")
        self.module = module
        self.inherited = inherited
        # In the raw-packet and whole-frame modes every call carries exactly one frame.
        self.one_frame = whole_buffer or whole_frame
        self.drop_terminator = whole_frame and not whole_buffer
        self.blocks = tuple(blocks)
        self.items = 0  # items collected so far
        self._index = 0
        self.failures = 0  # decode calls the library reported as failed
        self.origin = library_origin()
        self._handle = lib.CreateDecoderObjectProc(module)
        if not self._handle:
            raise ValueError(f"the library has no decoder for module type 0x{module:X}")
        switches = {"REENCODE": reencode, "OUTFILE": outfile or "outfile" in self.blocks,
                    "DTLOG": dtlog or "dtlog" in self.blocks, "WHOLE_BUFFER": whole_buffer,
                    "WHOLE_FRAME": whole_frame}
        for name, on in switches.items():
            if on and not lib.SetDecoderConfiguration(self._handle, H[f"CFG_{name}_ON"]):
                raise ValueError(f"the library refused switch {name.lower()}")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    def close(self):
        """Frees the decoder object; feeding it afterwards raises ValueError."""
        handle = getattr(self, "_handle", None)
        if handle:
            lib.FreeDecoderObjectProc(ctypes.byref(ctypes.c_void_p(handle)))
            self._handle = None

    def feed(self, data, host_time=None):
        """Decodes bytes and yields their items. host_time: capture time of the bytes as
        Unix seconds (float) or a (seconds, microseconds) pair; 0 by default, as the
        command-line decoder gives it (the library uses it only for command 0xDD).
        With whole_buffer or whole_frame, `data` is one frame with its closing 0x7E."""
        for raw in self.feed_raw(data, host_time):
            yield self._item(raw)

    def feed_raw(self, data, host_time=None):
        """As `feed`, but yields tuples (msg code, direction, time pair, first frame bytes,
        current scalars, current structs, inherited scalars, inherited structs, blocks):
        the fast path under `to_dataframe`."""
        if not self._handle:
            raise ValueError("the decoder is closed")
        seconds, micros = _host_pair(host_time)
        data = bytes(data)
        address = ctypes.cast(ctypes.c_char_p(data), ctypes.c_void_p).value
        done, total = 0, len(data) - (self.drop_terminator and len(data) > 0)
        while done < total:
            if not self._handle:  # closed while this generator was suspended
                raise ValueError("the decoder is closed")
            length = total if self.one_frame else min(total - done, CHUNK_SIZE)
            result = lib.DecodeMsgProc_NoDynamic(self._handle, address + done, length,
                                                 seconds, micros)
            collected = self._collect()
            self.items += len(collected)
            yield from collected
            if result == -1:
                self.failures += 1
            if result <= 0 or result >= length:
                done += length
            else:
                done += length - result

    def _collect(self):
        # Fixed fields are read in place from the item's record (its layout is public);
        # the parameter lists through their accessors.
        handle, out = self._handle, []
        inherited, blocks = self.inherited, self.blocks
        for i in range(lib.GetReportItemCountProc(handle)):
            address = lib.GetReportItemProc(handle, i)
            if not address:
                continue
            record = _Record.from_address(address)
            seconds, micros, msg_code = _HEAD.unpack_from(record, _OFF_TIME)
            direction, scalar_count = _DIRECTION.unpack_from(record, _OFF_DIRECTION)
            (frame_length,) = _U32.unpack_from(record, _OFF_FRAME)
            head = record[_OFF_FRAME + 4:_OFF_FRAME + 4 + min(frame_length, 16)]
            (struct_count,) = _U16.unpack_from(record, _OFF_STRUCT_COUNT)
            out.append((
                msg_code, direction, (seconds, micros), head,
                _scalars(handle, i, min(scalar_count, _SCALAR_CAPACITY),
                         lib.GetReportItemCurDecodeParamList),
                _structs(handle, i, min(struct_count, _STRUCT_CAPACITY),
                         lib.GetReportItemCurDecodeStructParamList) if struct_count else [],
                _scalars(handle, i, _count(lib.GetReportItemInheritDecodeParamCount(handle, i),
                                           _SCALAR_CAPACITY),
                         lib.GetReportItemInheritDecodeParamList) if inherited else None,
                _structs(handle, i,
                         _count(lib.GetReportItemInheritDecodeStructParamCount(handle, i),
                                _STRUCT_CAPACITY),
                         lib.GetReportItemInheritDecodeStructParamList) if inherited else None,
                self._blocks(i) if blocks else None,
            ))
        return out

    def _blocks(self, i):
        handle, out = self._handle, {}
        readers = {
            "payload": lambda: lib.GetReportItemBinary(handle, i),
            "frame": lambda: lib.GetReportItemBinaryToZelFilter(handle, i),
            "compact": lambda: lib.GetReportItemBinaryToZelSimple(handle, i),
            "dtlog": lambda: lib.GetReportItemDTLogBinary(handle, i),
            "outfile": lambda: lib.GetReportItemOutFileBinary(handle, None, i),
        }
        for name in self.blocks:
            out[name] = _block(readers[name]())
        return out

    def _item(self, raw):
        msg_code, direction, pair, head, scalars, struct_list, inh, inh_structs, blocks = raw
        when, leap = utc_of(pair, self.origin)
        log_code, command = identify(head, msg_code, self.module)
        params = {catalogue.name_of(pid): scaled(value, scale)
                  for state, pid, value, scale in scalars if state == _FRESH}
        cleared = tuple(catalogue.name_of(pid) for state, pid, _, _ in scalars if state < 0)
        struct_params = {catalogue.name_of(pid): structs.decode(pid, payload)
                         for state, pid, payload in struct_list if state in (_FRESH, _INHERITED)}
        inherited = None
        if inh is not None:
            inherited = {catalogue.name_of(pid): scaled(value, scale)
                         for state, pid, value, scale in inh if state in (_FRESH, _INHERITED)}
            for state, pid, payload in inh_structs:
                if state in (_FRESH, _INHERITED):
                    inherited[catalogue.name_of(pid)] = structs.decode(pid, payload)
        index = self._index
        self._index += 1
        return Item(index, when, pair, msg_code, log_code, command, direction, params, cleared,
                    struct_params, inherited, blocks or {}, leap)


def _host_pair(host_time):
    if host_time is None:
        return 0, 0
    if isinstance(host_time, tuple):
        return int(host_time[0]), int(host_time[1])
    if isinstance(host_time, datetime):
        host_time = host_time.timestamp()
    seconds = int(host_time // 1)
    return seconds, int(round((host_time - seconds) * 1_000_000))


def decode_file(path, chunk_size=CHUNK_SIZE, **options):
    """Yields the `Item`s of a capture file (a raw DIAG byte stream), read in chunks by one
    decoder object. Options as for `Decoder`. A missing or unreadable file raises
    FileNotFoundError or PermissionError naming it."""
    with open(path, "rb") as capture, Decoder(**options) as decoder:
        while chunk := capture.read(chunk_size):
            yield from decoder.feed(chunk)
