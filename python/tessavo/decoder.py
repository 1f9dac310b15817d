"""Decoder objects, report items and capture files.

A `Decoder` owns one library decoder object (one handset) and is one stream of items.
`feed` decodes its bytes at once (in C++, tessavo._decode) and keeps the items until they
are taken: every item comes out exactly once and in order, however the iterators that
`feed`, `finish` and iteration return are interleaved or left unfinished. The library's
end-of-input step is `finish` (decode_file calls it): it decodes what the library still
holds and, with DTLog on, gives the last item its text.
"""

import gzip
import lzma
from collections import deque
from dataclasses import dataclass, field
from datetime import datetime
from typing import Optional

from . import _decode

MODULES = dict(_decode.MODULES)
# Bytes per decode call of a file: the items of one call are alive at once, and fewer
# objects alive keep Python's garbage collector cheap.
CHUNK_SIZE = 1 << 16
BLOCKS = ("payload", "frame", "compact", "dtlog", "outfile")

# Compressed captures by their first bytes.
_GZIP, _XZ, _ZSTD = b"\x1f\x8b", b"\xfd7zXZ\x00", b"\x28\xb5\x2f\xfd"


def identity_text(log_code, command):
    """"0x1007" or "cmd:0x60", as the command-line decoder writes it."""
    if command is not None:
        return f"cmd:0x{command:02x}"
    return f"0x{log_code:04x}" if log_code is not None else ""


@dataclass(slots=True)
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
    struct_params: dict = field(default_factory=dict)  # name -> fields (as the CLI) or bytes
    inherited: Optional[dict] = None  # name -> value known from earlier packets
    blocks: dict = field(default_factory=dict)  # side blocks asked for, as bytes
    leap_second: bool = False  # the time is an inserted leap second (shown as :59)
    msg_name: Optional[str] = None  # a signalling message's name, as the CLI shows it

    @property
    def code_text(self):
        return identity_text(self.log_code, self.command)


def module_type(module):
    """The number of a module type given as "B101", "0xB20A" or a number."""
    if isinstance(module, str):
        key = module.upper().removeprefix("0X")
        if key in MODULES:
            return MODULES[key]
    elif isinstance(module, int) and not isinstance(module, bool):
        if module in MODULES.values():
            return module
    else:
        raise TypeError(f"module type is a name or a number, not {type(module).__name__}")
    known = ", ".join(f"{name} (0x{value:X})" for name, value in MODULES.items())
    raise ValueError(f"unknown module type {module!r}; one of {known}")


def _bytes_like(data):
    try:
        view = memoryview(data)
    except TypeError:
        raise TypeError(f"feed takes a bytes-like object, not {type(data).__name__}") from None
    if not view.c_contiguous:
        view = memoryview(view.tobytes())
    return view if view.ndim == 1 and view.format == "B" else view.cast("B")


def _host_pair(host_time):
    if host_time is None:
        return 0, 0
    if isinstance(host_time, tuple):
        return int(host_time[0]), int(host_time[1])
    if isinstance(host_time, datetime):
        host_time = host_time.timestamp()
    seconds = int(host_time // 1)
    return seconds, int(round((host_time - seconds) * 1_000_000))


class Decoder:
    """One decoder object of the library (one handset); a context manager.

    module: "B101" (default), "B200", "B20A", "B20B" or the number.
    reencode, outfile, dtlog, whole_buffer, whole_frame: the library's switches (dtlog
    also puts each item's DTLog text into `Item.blocks["dtlog"]`).
    inherited: also read each item's inherited parameters into `Item.inherited`.
    blocks: side blocks to copy into `Item.blocks`, of "payload", "frame", "compact",
    "dtlog" (switches DTLog text on) and "outfile" (switches OutFile records on).

    With DTLog on, an item's text is known only when the next item (or `finish`) arrives,
    so the last item decoded waits until then.
    """

    def __init__(self, module="B101", *, reencode=False, outfile=False, dtlog=False,
                 whole_buffer=False, whole_frame=False, inherited=False, blocks=()):
        self.module = module_type(module)
        unknown = set(blocks) - set(BLOCKS)
        if unknown:
            raise ValueError(f"unknown blocks {sorted(unknown)}; of {', '.join(BLOCKS)}")
        self.dtlog = dtlog or "dtlog" in blocks
        blocks = tuple(blocks) + (("dtlog",) if self.dtlog and "dtlog" not in blocks else ())
        self.inherited = inherited
        self.blocks = blocks
        self._session = _decode.Session(
            self.module, Item, reencode=reencode, outfile=outfile or "outfile" in blocks,
            dtlog=self.dtlog, whole_buffer=whole_buffer, whole_frame=whole_frame,
            inherited=inherited, blocks=list(blocks))
        self._pending = deque()
        self._held = None  # with DTLog on: the last item, until the text for it arrives

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        """Frees the decoder object; feeding it afterwards raises ValueError."""
        self._session = None

    @property
    def items(self):
        """Items decoded so far."""
        return self._live().items

    @property
    def failures(self):
        """Decode calls the library reported as failed."""
        return self._live().failures

    def _live(self):
        if self._session is None:
            raise ValueError("the decoder is closed")
        return self._session

    def feed(self, data, host_time=None):
        """Decodes `data` (bytes-like) now and returns an iterator over every item not yet
        taken from this decoder, these bytes' included. host_time: capture time of the bytes
        as Unix seconds, a datetime or a (seconds, microseconds) pair; 0 by default, as the
        command-line decoder gives it (the library uses it only for command 0xDD). With
        whole_buffer or whole_frame, `data` is one frame with its closing 0x7E."""
        view = _bytes_like(data)
        self._add(self._live().feed(view, *_host_pair(host_time)))
        return self._drain()

    def finish(self):
        """End of input: decodes what the library still holds, gives the last item its DTLog
        text, and returns an iterator over every item not yet taken. The decoder takes no
        more bytes afterwards."""
        items, text = self._live().finish()
        self._add(items)
        if self._held is not None:
            self._held.blocks["dtlog"] = text
            self._pending.append(self._held)
            self._held = None
        return self._drain()

    def __iter__(self):
        """The items decoded and not yet taken."""
        return self._drain()

    def _add(self, items):
        if not self.dtlog:
            self._pending.extend(items)
            return
        # The library renders a packet's text into the item after it.
        for item in items:
            if self._held is not None:
                self._held.blocks["dtlog"] = item.blocks["dtlog"]
                self._pending.append(self._held)
            self._held = item

    def _drain(self):
        pending = self._pending
        while pending:
            yield pending.popleft()


def open_capture(path):
    """A capture file opened for reading, decompressed while read when it is gzip, xz or
    zstd (recognised by its first bytes, whatever its name). A missing or unreadable file
    raises FileNotFoundError or PermissionError naming it."""
    raw = open(path, "rb")
    head = raw.read(6)
    raw.seek(0)
    if head.startswith(_GZIP):
        raw.close()
        return gzip.open(path, "rb")
    if head.startswith(_XZ):
        raw.close()
        return lzma.open(path, "rb")
    if head.startswith(_ZSTD):
        import zstandard

        return zstandard.ZstdDecompressor().stream_reader(raw, closefd=True)
    return raw


def read_chunks(path, chunk_size=CHUNK_SIZE):
    """The bytes of a capture (decompressed) in pieces of at most `chunk_size`."""
    with open_capture(path) as capture:
        while chunk := capture.read(chunk_size):
            yield chunk


def decode_file(path, chunk_size=CHUNK_SIZE, **options):
    """Yields the `Item`s of a capture file (a raw DIAG byte stream, possibly compressed),
    read in chunks by one decoder object. Options as for `Decoder`."""
    chunks = read_chunks(path, chunk_size)
    first = next(chunks, b"")  # opens the file: a bad path fails at the first item
    with Decoder(**options) as decoder:
        yield from decoder.feed(first)
        for chunk in chunks:
            yield from decoder.feed(chunk)
        yield from decoder.finish()
