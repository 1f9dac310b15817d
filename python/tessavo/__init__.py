"""Tessavo for Python: decode the DIAG stream of CDMA2000 1x / 1xEV-DO handsets.

    import tessavo
    for item in tessavo.decode_file("drive.qmdl"):
        print(item.time, item.code_text, item.params)
    df = tessavo.to_dataframe("drive.qmdl")          # the handset state over time
    for part in tessavo.iter_dataframes("big.qmdl", rows=100_000):
        ...                                          # the same table in bounded memory

`python3 -m tessavo.plot CAPTURE -o plot.png` draws the radio values of a capture;
`tessavo.campaign` decodes many captures on a Dask cluster.
"""

try:
    from . import _decode  # noqa: F401 (the extension module the build makes)
except ImportError as error:
    raise ImportError(
        "tessavo: the extension module tessavo._decode is missing; build the package with "
        "`cmake --build build --target tessavo_python` (or `make build`) and import it from "
        "the build tree (PYTHONPATH=build/python) or an installation") from error

from . import catalogue
from .catalogue import Param, View, units
from .dataframe import iter_dataframes, to_dataframe
from .decoder import Decoder, Item, decode_file, open_capture

__version__ = ".".join(map(str, _decode.VERSION))
__all__ = ["Decoder", "Item", "Param", "View", "catalogue", "decode_file", "iter_dataframes",
           "open_capture", "to_dataframe", "units"]
