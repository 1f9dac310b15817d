"""The parameter catalogue: ID, name, unit, scale and meaning of every parameter.

The same catalogue as `tessavo-decode --list-params`, read from the tools' own table through
the extension module. IDs are the stable key; names are what `Item.params`, the DataFrame
columns and the tool's CSV use.
"""

from typing import NamedTuple, Optional

from . import _decode


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
    digits: int = 0  # digits of a hex or digit form
    pair: int = 0  # pair_low: the ID of the upper half


class View(NamedTuple):
    """A scalar read from a structured parameter (a CSV column of the tool)."""

    name: str
    unit: str
    source: int  # ID of the structured parameter
    description: str


PARAMS = tuple(Param(**entry) for entry in _decode.catalogue())
VIEWS = tuple(View(*view) for view in _decode.views())
# The scalars in the library's table slot order, then the structured parameters.
SCALARS = tuple(p for p in PARAMS if p.kind == "scalar")
STRUCTS = tuple(p for p in PARAMS if p.kind == "struct")
assert len(SCALARS) == _decode.VIEW_KEY_BASE

_BY_ID = {p.id: p for p in PARAMS}
_BY_NAME = {p.name: p for p in PARAMS}
SCALAR_SLOT = {p.id: slot for slot, p in enumerate(SCALARS)}


def find(key) -> Optional[Param]:
    """The entry of an ID (int) or a name (str); None when the catalogue has none."""
    return _BY_ID.get(key) if isinstance(key, int) else _BY_NAME.get(key)


def name_of(param_id: int) -> str:
    """The catalogue name, or "param_7f01031f" for an ID outside the catalogue."""
    entry = _BY_ID.get(param_id)
    return entry.name if entry else f"param_{param_id:08x}"


def shown_unit(entry) -> str:
    """The unit of a value as shown: a coded value's engineering unit, else its own."""
    coding = getattr(entry, "coding", None)
    return coding["unit"] if coding else entry.unit


def units():
    """{name: unit} of every scalar parameter and view whose shown value has a unit."""
    return {entry.name: shown_unit(entry) for entry in (*SCALARS, *VIEWS) if shown_unit(entry)}
