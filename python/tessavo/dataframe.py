"""Captures as pandas DataFrames: the tables of `tessavo-decode --format csv`, pandas-native.

Wide layout: one row per report item, indexed by its time (a UTC DatetimeIndex named
`time`, or in the zone `tz`), with the columns item (the running item number), msg_code,
msg_name (a signalling message's name), log_code and command (integers; log_code and
command are <NA> where the item has none), direction, then one column per parameter: the parameters the capture sets, in catalogue
order, then the views of structured parameters (active_set_size, ..., longitude), or the
names given in `params`, in that order. A cell holds the last-known value, carried forward
from the item that set it; it is missing (NaN / <NA>) before the first value and after a
packet cleared the parameter. Values are shown as the CLI shows them (coded values in
engineering units, identities such as the ESN in hex and the IMSI as digit strings):
integers are nullable integers, enumerations Categorical with their labels (a value
without a label shows as its number), identities Categorical of their texts, the others
floats. Long layout: one row per freshly set value (item, log_code, command, parameter,
value, unit), indexed by time. Units are in `frame.attrs["units"]`.

Decoding and the carrying forward run in C++ (tessavo._decode); a table is made column by
column straight into the arrays pandas keeps, so `to_dataframe` needs little more than the
table itself and `iter_dataframes` memory bounded by its `rows`, whatever the capture.
"""

import numpy as np
import pandas as pd

from . import _decode, catalogue
from .decoder import module_type, read_chunks

_NAMES = [p.name for p in catalogue.SCALARS] + [v.name for v in catalogue.VIEWS]
_KEY = {name: key for key, name in enumerate(_NAMES)}
_UNITS = [catalogue.shown_unit(entry) for entry in (*catalogue.SCALARS, *catalogue.VIEWS)]
_LABELS = [p.values for p in catalogue.SCALARS] + [{} for _ in catalogue.VIEWS]
_TEXT = [_decode.is_text_key(key) for key in range(len(_NAMES))]
# Whole numbers: a scale of 1 and no coding that divides.
_INTEGER = [p.scale == 1 and not (p.coding and p.coding["scale"] != 1) and not text
            for p, text in zip(catalogue.SCALARS, _TEXT)] + [
    v.name in ("active_set_size", "active_best_pn") for v in catalogue.VIEWS]


def _session(options, log_codes, params, decoded_only):
    return _decode.Session(
        module_type(options.pop("module", "B101")), None,
        log_codes=[int(code) for code in (log_codes or ())],
        params=list(params or ()), decoded_only=decoded_only, **options)


# Bytes per decode call when building tables (no Python object per item).
_TABLE_CHUNK = 1 << 20


def _decode_into(session, path):
    for chunk in read_chunks(path, _TABLE_CHUNK):
        session.feed(chunk)
    session.finish()


def _keys(params, session):
    if params is None:
        return session.found_columns()
    names = [params] if isinstance(params, str) else list(params)
    unknown = [name for name in names if name not in _KEY]
    if unknown:
        raise ValueError(f"not in the catalogue (or a view): {', '.join(unknown)}")
    return [_KEY[name] for name in names]


def _time_index(nanoseconds, tz):
    utc = pd.arrays.DatetimeArray(nanoseconds.view("M8[ns]"), dtype=pd.DatetimeTZDtype(tz="UTC"))
    index = pd.DatetimeIndex(utc, name="time")
    return index if tz is None else index.tz_convert(tz)


def _nullable(codes):
    return pd.arrays.IntegerArray(codes.astype(np.int64), codes < 0)


def _categorical(values, missing, labels):
    present = np.unique(values[~missing])
    categories = sorted(set(labels) | set(present.tolist()))
    codes = np.searchsorted(categories, values).astype(np.int32)
    codes[missing] = -1
    names = [labels.get(value, str(value)) for value in categories]
    return pd.Categorical.from_codes(codes, categories=names)


def _frame(columns, index):
    """A DataFrame whose columns are [(name, values)], each a 1-D array or extension array,
    or [(names, 2-D array)] for a block of columns of one dtype: pandas keeps the arrays
    given instead of copying them into blocks of its own."""
    from pandas.core.internals import BlockManager
    from pandas.core.internals.api import make_block

    names, blocks = [], []
    for name, values in columns:
        if isinstance(name, list):
            placement = np.arange(len(names), len(names) + len(name))
            names.extend(name)
        else:
            placement = np.array([len(names)])
            names.append(name)
            if isinstance(values, np.ndarray):
                values = values.reshape(1, -1)
        blocks.append(make_block(values, placement=placement, ndim=2))
    manager = BlockManager(blocks, [pd.Index(names), index])
    return pd.DataFrame(manager)


def _kind(key):
    return "text" if _TEXT[key] else "integer" if _INTEGER[key] else "float"


def _texts(codes, values):
    """Identities (few distinct texts per column) as a Categorical of the texts used."""
    used = np.unique(codes[codes >= 0])
    lookup = np.full(len(values) + 1, -1, dtype=np.int32)  # the last entry stands for -1
    lookup[used] = np.arange(len(used), dtype=np.int32)
    return pd.Categorical.from_codes(lookup[codes], categories=[values[i] for i in used])


def _message_names(codes):
    """Names of signalling messages by message code, as a Categorical (None: not one)."""
    distinct, codes = np.unique(codes, return_inverse=True)
    names = [_decode.message_name(int(code)) for code in distinct]
    categories = sorted({name for name in names if name is not None})
    position = {name: i for i, name in enumerate(categories)}
    lookup = np.array([position.get(name, -1) for name in names], dtype=np.int32)
    return pd.Categorical.from_codes(lookup[codes] if len(codes) else codes, categories=categories)


def _wide(data, keys, tz):
    columns = [("item", data["item"]), ("msg_code", _nullable(data["msg_code"].astype(np.int64))),
               ("msg_name", _message_names(data["msg_code"])),
               ("log_code", _nullable(data["log_code"])), ("command", _nullable(data["command"])),
               ("direction", data["direction"].astype(np.int64))]
    rows = {kind: [k for k in keys if _kind(k) == kind] for kind in ("float", "integer", "text")}
    run = []  # neighbouring float columns share one block of the matrix (its rows are views)
    for key in keys + [None]:
        if key is not None and _kind(key) == "float":
            run.append(key)
            continue
        if run:
            first = rows["float"].index(run[0])
            columns.append(([_NAMES[k] for k in run], data["floats"][first:first + len(run)]))
            run = []
        if key is None:
            break
        row = rows[_kind(key)].index(key)
        if _TEXT[key]:
            column = _texts(data["text_codes"][row], data["text_values"])
        elif _LABELS[key]:
            column = _categorical(data["integers"][row], data["missing"][row], _LABELS[key])
        else:
            column = pd.arrays.IntegerArray(data["integers"][row], data["missing"][row])
        columns.append((_NAMES[key], column))
    frame = _frame(columns, _time_index(data["time"], tz))
    frame.attrs["units"] = {_NAMES[k]: _UNITS[k] for k in keys if _UNITS[k]}
    return frame


def _long(data, tz):
    rows, keys = data["row"], data["key"]
    names = np.asarray(_NAMES, dtype=object)
    units = np.asarray(_UNITS, dtype=object)
    texts = data["text"]
    has_text = np.frompyfunc(lambda v: v is not None, 1, 1)(texts).astype(bool)
    values = data["value"]
    if has_text.any():  # identities are texts among the numbers
        values = values.astype(object)
        values[has_text] = texts[has_text]
    frame = pd.DataFrame({
        "item": data["item"][rows], "log_code": _nullable(data["log_code"][rows]),
        "command": _nullable(data["command"][rows]),
        "parameter": pd.Categorical(names[keys]), "value": values,
        "unit": pd.Categorical(units[keys])}, index=_time_index(data["time"][rows], tz))
    frame.attrs["units"] = {name: unit for name, unit in zip(_NAMES, _UNITS) if unit}
    return frame


def _table(session, keys, layout, tz, limit=None):
    kinds = [[k for k in keys if _kind(k) == kind] for kind in ("float", "integer", "text")]
    data = session.take(*kinds, long_layout=layout == "long",
                        **({} if limit is None else {"limit": limit}))
    return _long(data, tz) if layout == "long" else _wide(data, keys, tz)


def _check(layout):
    if layout not in ("wide", "long"):
        raise ValueError("layout is 'wide' or 'long'")


def to_dataframe(path, layout="wide", params=None, *, log_codes=None, decoded_only=False,
                 tz=None, **options):
    """A capture file (raw or compressed) as a DataFrame (see the module help for the
    layouts), filtered as the CLI's options filter: log_codes (items of those log codes),
    params (names of parameters and views to keep, in that order; default all the capture
    sets), decoded_only (items that set a shown parameter), tz (the index's zone, default
    UTC). Other options as for `Decoder`."""
    _check(layout)
    session = _session(options, log_codes, params, decoded_only)
    _decode_into(session, path)
    return _table(session, _keys(params, session), layout, tz)


def iter_dataframes(path, rows=100_000, layout="wide", params=None, *, log_codes=None,
                    decoded_only=False, tz=None, **options):
    """The table of `to_dataframe` in consecutive frames of at most `rows` rows (in the long
    layout: the values of at most `rows` items), all with the same columns, in memory that
    does not grow with the capture. Without `params` (wide layout) a first decoding pass
    finds the columns."""
    _check(layout)
    if rows < 1:
        raise ValueError("rows is at least 1")
    if params is None and layout == "wide":
        finder = _session(dict(options), log_codes, None, decoded_only)
        for chunk in read_chunks(path, _TABLE_CHUNK):
            finder.feed(chunk)
            finder.take([], [], [], limit=finder.rows())  # only the columns are kept
        finder.finish()
        keys = finder.found_columns()
    else:
        keys = _keys(params, None) if params is not None else list(range(len(_NAMES)))
    session = _session(options, log_codes, params, decoded_only)
    for chunk in read_chunks(path, _TABLE_CHUNK):
        session.feed(chunk)
        while session.rows() >= rows:
            yield _table(session, keys, layout, tz, rows)
    session.finish()
    while session.rows():
        yield _table(session, keys, layout, tz, rows)
