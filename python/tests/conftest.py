"""Shared helpers: paths of the build and the captures, the CLI, and a DIAG frame builder."""

import binascii
import os
import struct
import subprocess
import time
from pathlib import Path

import pytest



# The library's item seconds count from 1980-01-06 08:00 local time: GPS seconds at UTC+8.
os.environ["TZ"] = "CST-8"
time.tzset()

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("TESSAVO_BUILD_DIR", ROOT / "build"))
CLI = BUILD / "tools" / "tessavo-decode"
SAMPLE = ROOT / "samples" / "drive_test.bin"
# The captures beside the repository (or beside the folder of its worktrees).
CAPTURES = next((p for p in (ROOT.parent / "shared" / "captures",
                              ROOT.parents[1] / "shared" / "captures") if p.exists()),
                ROOT.parent / "shared" / "captures")
CAPTURE_NAMES = ("att_iphone_2016.mi2log", "cmcc_2015.mi2log", "pixel5_2023_multiradio.qmdl",
                 "qmdl_example.qmdl", "sprint_2015.mi2log")


def capture(name):
    path = CAPTURES / name
    if not path.exists():
        pytest.skip(f"{path} is absent")
    return path


def cli(*args, status=0):
    """The tool's standard output; it must exit with `status` (4: input that is not DIAG)."""
    run = subprocess.run([str(CLI), "-q", *map(str, args)], capture_output=True)
    assert run.returncode == status, run.stderr
    return run.stdout


_REVERSED = bytes(int(f"{b:08b}"[::-1], 2) for b in range(256))


def crc16_x25(data):
    """CRC-16/X.25 (the reflected CCITT polynomial computed by the unreflected one over
    bit-reversed bytes, its result reversed back)."""
    crc = binascii.crc_hqx(data.translate(_REVERSED), 0xFFFF)
    return int(f"{crc:016b}"[::-1], 2) ^ 0xFFFF


def frame(packet):
    """A wire frame: packet, CRC-16 low byte first, escaped, closed by 0x7E."""
    body = packet + struct.pack("<H", crc16_x25(packet))
    return body.replace(b"\x7d", b"\x7d\x5d").replace(b"\x7e", b"\x7d\x5e") + b"\x7e"


def log_packet(code, payload, seconds=0.0):
    """A log packet stamped `seconds` after the GPS epoch (units of 1.25 ms, upper 48 bits)."""
    length = 12 + len(payload)
    stamp = round(seconds * 800) << 16
    return struct.pack("<BBHHHQ", 0x10, 0, length, length, code, stamp) + payload
