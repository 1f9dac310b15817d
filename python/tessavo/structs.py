"""Structured parameters whose layout the decoders fix, as Python values.

Pilot sets, the EV-DO sector table and the position fix become dicts, read as the
command-line decoder reads them (little-endian, levels -9999 "not known" as None). The
other structured parameters stay bytes. A payload shorter than its layout stays bytes too.
"""

import struct

from . import _tables
from .catalogue import find

_SETS = _tables.SET_NAMES
_NO_VALUE = _tables.NO_VALUE

# Pilot sets reply: u16 word, the three set sizes (u8), then up to 64 pilots of the three
# sets in order: PN (u16) and strength (u16, units of -0.5 dB).
_PILOT_SETS_FIRST, _PILOT_SETS_MAX = 5, 64
# Sector table: u32 count, then up to 64 rows of 56 bytes: set kind, channel and PN (i32),
# receive power (dBm), Ec/Io and SINR (dB) as f64.
_SECTOR_ROW = struct.Struct("<iiiddd")
_SECTOR_ROW_SIZE, _SECTOR_ROWS = 56, 64
# Position fix: longitude and latitude in degrees (f64), then two i32 fields.
_POSITION = struct.Struct("<ddii")


def _level(value):
    return None if value == _NO_VALUE else value


def _set_name(kind):
    return _SETS[kind] if 0 <= kind < len(_SETS) else kind


def pilot_sets(payload):
    sets, place = {}, 0
    for index, name in enumerate(_SETS):
        pilots = []
        for _ in range(payload[2 + index]):
            if place >= _PILOT_SETS_MAX:
                break
            pn, strength = struct.unpack_from("<HH", payload, _PILOT_SETS_FIRST + 4 * place)
            pilots.append({"pn": pn, "strength": strength, "ecio_db": -strength / 2})
            place += 1
        sets[name] = pilots
    return {"header_word": struct.unpack_from("<H", payload)[0], **sets}


def sector_table(payload):
    (count,) = struct.unpack_from("<I", payload)
    rows = []
    for i in range(min(count, _SECTOR_ROWS)):
        kind, channel, pn, rx, ecio, sinr = _SECTOR_ROW.unpack_from(
            payload, 4 + _SECTOR_ROW_SIZE * i)
        rows.append({"pn": pn, "set": _set_name(kind),
                     "channel": None if channel == _NO_VALUE else channel,
                     "sinr_db": _level(sinr), "ecio_db": _level(ecio), "rx_power_dbm": _level(rx)})
    return {"count": count, "sectors": rows}


def position_fix(payload):
    longitude, latitude, field_a, field_b = _POSITION.unpack_from(payload)
    return {"latitude_deg": latitude, "longitude_deg": longitude,
            "field_3a": field_a, "field_3b": field_b}


_READERS = {find(name).id: (find(name).payload_length, reader) for name, reader in (
    ("pilot_sets", pilot_sets), ("sector_table", sector_table), ("position_fix", position_fix))}
PILOT_SETS_ID = find("pilot_sets").id
POSITION_FIX_ID = find("position_fix").id


def decode(param_id, payload):
    """A dict for a known layout with a whole payload; the bytes otherwise."""
    reader = _READERS.get(param_id)
    if reader is None or len(payload) < reader[0]:
        return bytes(payload)
    return reader[1](payload)


def views(param_id, payload):
    """The CSV views a payload gives: {view name: value}; None for a value it lacks."""
    if param_id == PILOT_SETS_ID and len(payload) >= _READERS[param_id][0]:
        active = pilot_sets(payload)["active"]
        best = min(active, key=lambda pilot: pilot["strength"]) if active else None
        return {"active_set_size": len(active),
                "active_best_pn": best["pn"] if best else None,
                "active_best_ecio": best["ecio_db"] if best else None}
    if param_id == POSITION_FIX_ID and len(payload) >= _READERS[param_id][0]:
        fix = position_fix(payload)
        return {"latitude": fix["latitude_deg"], "longitude": fix["longitude_deg"]}
    return {}
