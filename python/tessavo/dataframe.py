"""Captures as pandas DataFrames, the same tables as `tessavo-decode --format csv`.

Wide layout: one row per report item (index, time, msg_code, log_code, direction) and one
column per parameter: the parameters the capture sets, in catalogue order, then the views
of structured parameters (active_set_size, ..., longitude), or the names given in
`params`, in that order. A cell holds the last-known value, carried forward from the item
that set it; it is missing (NaN / <NA>) before the first value and after a packet cleared
the parameter. Long layout: one row per freshly set value (index, time, log_code,
parameter, value, unit).

The items are gathered in chunks of plain arrays (no Python object per value survives a
chunk), and the table is built from them with vectorised operations.
"""

import numpy as np
import pandas as pd

from . import catalogue, structs
from .decoder import CHUNK_SIZE, LEAP_THRESHOLDS, Decoder, _EPOCH, identify, identity_text
from ._native import H

_FRESH, _INHERITED = H["STATE_FRESH"], H["STATE_INHERITED"]
_CLEAR = np.inf  # an event that empties a cell (no value is infinite)
_VIEW_SLOT = {view.name: len(catalogue.SCALARS) + i for i, view in enumerate(catalogue.VIEWS)}
_VIEW_SOURCE = {}
for _view in catalogue.VIEWS:
    _VIEW_SOURCE.setdefault(_view.source, []).append(_VIEW_SLOT[_view.name])
_COLUMN_NAMES = [p.name for p in catalogue.SCALARS] + [v.name for v in catalogue.VIEWS]
_UNITS = [catalogue.shown_unit(p) for p in catalogue.SCALARS] + [v.unit for v in catalogue.VIEWS]
_INTEGER = [p.scale == 1 and not (p.coding and p.coding["scale"] != 1) for p in catalogue.SCALARS] + [
    v.name in ("active_set_size", "active_best_pn") for v in catalogue.VIEWS]
_SLOT = catalogue.SCALAR_SLOT
_EVENT_TYPES = {"item": np.int64, "slot": np.int64, "value": np.float64, "fresh": bool}
_PARAM = {p.id: p for p in catalogue.SCALARS}


class _Chunks:
    """Items and value events gathered in lists, turned into arrays every `size` items."""

    def __init__(self, size):
        self.size = size
        self.done = []  # dicts of arrays
        self._new()

    def _new(self):
        self.items = {k: [] for k in ("msg", "direction", "seconds", "micros", "code")}
        self.events = {k: [] for k in ("item", "slot", "value", "fresh")}

    def flush(self):
        if self.items["msg"]:
            arrays = {k: np.asarray(v) for k, v in self.items.items()}
            arrays.update({f"e_{k}": np.asarray(self.events[k], dtype=dtype)
                           for k, dtype in _EVENT_TYPES.items()})
            self.done.append(arrays)
            self._new()

    def joined(self):
        self.flush()
        if not self.done:
            return None
        keys = self.done[0].keys()
        return {k: np.concatenate([chunk[k] for chunk in self.done]) for k in keys}


def _gather(path, chunk_items, options):
    chunks = _Chunks(chunk_items)
    index = 0
    with open(path, "rb") as capture, Decoder(**options) as decoder:
        module, origin = decoder.module, decoder.origin
        while data := capture.read(CHUNK_SIZE):
            for msg, direction, pair, head, scalars, struct_list, *_ in decoder.feed_raw(data):
                items, ev = chunks.items, chunks.events
                items["msg"].append(msg)
                items["direction"].append(direction)
                items["seconds"].append(pair[0])
                items["micros"].append(pair[1])
                items["code"].append(identity_text(*identify(head, msg, module)))
                values = {pid: value for _, pid, value, _ in scalars}
                for state, pid, value, _ in scalars:
                    slot = _SLOT.get(pid)
                    if slot is None or (state != _FRESH and state >= 0):
                        continue
                    param = _PARAM[pid]
                    shown = catalogue.shown_value(param, value, values.get(param.pair))
                    ev["item"].append(index)
                    ev["slot"].append(slot)
                    ev["value"].append(_CLEAR if state != _FRESH or shown is None else shown)
                    ev["fresh"].append(state == _FRESH)
                for state, pid, payload in struct_list:
                    slots = _VIEW_SOURCE.get(pid)
                    if slots is None:
                        continue
                    if state in (_FRESH, _INHERITED):
                        values = {_VIEW_SLOT[k]: v for k, v in structs.views(pid, payload).items()}
                    else:
                        values = dict.fromkeys(slots)
                    for slot, value in values.items():
                        ev["item"].append(index)
                        ev["slot"].append(slot)
                        ev["value"].append(_CLEAR if value is None else float(value))
                        ev["fresh"].append(state == _FRESH and value is not None)
                index += 1
                if len(items["msg"]) >= chunks.size:
                    chunks.flush()
    return chunks.joined(), origin


def utc_times(seconds, micros, origin):
    """Item times (the library's pairs) as UTC timestamps, leap seconds removed."""
    seconds = seconds.astype(np.int64) + micros // 1_000_000
    micros = micros % 1_000_000
    gps = seconds - origin
    leaps = np.searchsorted(np.asarray(LEAP_THRESHOLDS, dtype=np.int64), gps, side="right")
    unix = _EPOCH + gps - leaps
    # The inserted 23:59:60 is given as the 23:59:59 before it.
    thresholds = np.append(np.asarray(LEAP_THRESHOLDS, dtype=np.int64), np.iinfo(np.int64).max)
    unix -= gps == thresholds[leaps] - 1
    return pd.to_datetime(unix * 1_000_000_000 + micros * 1000, utc=True)


def _columns(params, fresh_slots):
    if params is None:
        return sorted(set(fresh_slots.tolist()))
    names = [params] if isinstance(params, str) else list(params)
    unknown = [name for name in names if name not in _COLUMN_NAMES]
    if unknown:
        raise ValueError(f"not in the catalogue (or a view): {', '.join(unknown)}")
    return [_COLUMN_NAMES.index(name) for name in names]


def to_dataframe(path, layout="wide", params=None, chunk_items=65536, **options):
    """A capture file as a DataFrame (see the module help for the layouts). params: names
    of parameters and views to keep, in that order (default: all the capture sets).
    Other options as for `Decoder`."""
    if layout not in ("wide", "long"):
        raise ValueError("layout is 'wide' or 'long'")
    data, origin = _gather(path, chunk_items, options)
    if data is None:
        empty = ["index", "time", "msg_code", "log_code", "direction"] if layout == "wide" \
            else ["index", "time", "log_code", "parameter", "value", "unit"]
        return pd.DataFrame(columns=empty)
    times = utc_times(data["seconds"], data["micros"], origin)
    codes = pd.Categorical(data["code"])
    ev_item, ev_slot, ev_value = data["e_item"], data["e_slot"], data["e_value"]
    fresh = data["e_fresh"]
    columns = _columns(params, ev_slot[fresh])
    position = np.full(len(_COLUMN_NAMES), -1)
    position[columns] = np.arange(len(columns))

    if layout == "long":
        keep = fresh & (position[ev_slot] >= 0)
        rows = ev_item[keep]
        slots = ev_slot[keep]
        names = np.asarray(_COLUMN_NAMES, dtype=object)
        units = np.asarray(_UNITS, dtype=object)
        return pd.DataFrame({
            "index": rows, "time": times[rows], "log_code": codes[rows],
            "parameter": pd.Categorical(names[slots]), "value": ev_value[keep],
            "unit": pd.Categorical(units[slots])})

    count = len(data["msg"])
    table = {"index": np.arange(count), "time": times, "msg_code": data["msg"].astype(np.uint32),
             "log_code": codes, "direction": data["direction"].astype(np.uint16)}
    values = np.full((count, len(columns)), np.nan)
    keep = position[ev_slot] >= 0
    values[ev_item[keep], position[ev_slot[keep]]] = ev_value[keep]
    # Carry each value forward to the next event of its column (a value or a clear).
    rows = np.where(np.isnan(values), 0, np.arange(count)[:, None])
    np.maximum.accumulate(rows, axis=0, out=rows)
    values = np.take_along_axis(values, rows, axis=0)
    missing = ~np.isfinite(values)
    for i, column in enumerate(columns):
        if _INTEGER[column]:
            table[_COLUMN_NAMES[column]] = pd.arrays.IntegerArray(
                np.where(missing[:, i], 0, values[:, i]).astype(np.int64), missing[:, i].copy())
        else:
            table[_COLUMN_NAMES[column]] = np.where(missing[:, i], np.nan, values[:, i])
    return pd.DataFrame(table, copy=False)
