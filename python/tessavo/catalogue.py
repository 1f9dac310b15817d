"""The parameter catalogue: ID, name, unit, scale and meaning of every parameter.

The same catalogue as `tessavo-decode --list-params`: the build writes it into _tables.py
from the tool's JSON listing. IDs are the stable key; names are what `Item.params`, the
DataFrame columns and the tool's CSV use.
"""

from typing import NamedTuple, Optional

from . import _tables


class Param(NamedTuple):
    id: int
    kind: str  # "scalar" or "struct"
    name: str
    unit: str
    scale: int  # divisor of a scalar's stored value; 0 for structured parameters
    payload_length: int  # payload bytes of a structured parameter; 0 for scalars
    writers: tuple  # "0x102D" a log code, "cmd:0x60" a DIAG command response
    description: str
    values: dict  # value -> label of an enumeration
    # A coded value's conversion to engineering units (unit, multiplier, scale, signed_bits,
    # table), or None.
    coding: Optional[dict] = None
    form: str = "number"  # "hex", "digits", "pair_high", "pair_low": identities
    pair: int = 0  # pair_low: the ID of the upper half


class View(NamedTuple):
    """A scalar read from a structured parameter (a CSV column of the tool)."""

    name: str
    unit: str
    source: int  # ID of the structured parameter
    description: str


PARAMS = tuple(
    Param(e["id"], e["kind"], e["name"], e.get("unit", ""), e.get("scale", 0),
          e.get("payload_length", 0), tuple(e["writers"]), e["description"], e.get("values", {}),
          e.get("coding"), e.get("form", "number"), int(e.get("pair", "0"), 16))
    for e in _tables.CATALOGUE if e["kind"] != "view")
VIEWS = tuple(View(e["name"], e["unit"], e["source"], e["description"])
              for e in _tables.CATALOGUE if e["kind"] == "view")
# The scalars in the library's table slot order, then the structured parameters.
SCALARS = tuple(p for p in PARAMS if p.kind == "scalar")
STRUCTS = tuple(p for p in PARAMS if p.kind == "struct")

_BY_ID = {p.id: p for p in PARAMS}
_BY_NAME = {p.name: p for p in PARAMS}
SCALAR_SLOT = {p.id: slot for slot, p in enumerate(SCALARS)}


def shown_value(param: Param, value: int, upper: Optional[int] = None):
    """A stored value as the tool shows it: value / scale, a coded value in engineering units
    (None when its index is outside the table), the halves of a split number unsigned, and the
    lower half with its `upper` half as the whole number. Hex and digit forms are the number."""
    if param.form in ("pair_high", "pair_low", "hex", "digits"):
        value &= 0xFFFFFFFF
        if param.form == "pair_low" and upper is not None:
            value |= (upper & 0xFFFFFFFF) << 32
        return value
    coding = param.coding
    if not coding:
        return value if param.scale == 1 else value / param.scale
    bits = coding["signed_bits"]
    if bits:
        sign = 1 << (bits - 1)
        value = ((value & ((sign << 1) - 1)) ^ sign) - sign
    if coding["table"]:
        if not 0 <= value < len(coding["table"]):
            return None
        value = coding["table"][value]
    value *= coding["multiplier"]
    return value if coding["scale"] == 1 else value / coding["scale"]


def shown_unit(param: Param) -> str:
    return param.coding["unit"] if param.coding else param.unit


def find(key) -> Optional[Param]:
    """The entry of an ID (int) or a name (str); None when the catalogue has none."""
    return _BY_ID.get(key) if isinstance(key, int) else _BY_NAME.get(key)


def name_of(param_id: int) -> str:
    """The catalogue name, or "param_7f01031f" for an ID outside the catalogue."""
    entry = _BY_ID.get(param_id)
    return entry.name if entry else f"param_{param_id:08x}"
