"""Tessavo for Python: decode the DIAG stream of CDMA2000 1x / 1xEV-DO handsets.

    import tessavo
    for item in tessavo.decode_file("drive.qmdl"):
        print(item.time, item.code_text, item.params)
    df = tessavo.to_dataframe("drive.qmdl")          # the handset state over time

`python3 -m tessavo.plot CAPTURE -o plot.png` draws the radio values of a capture;
`tessavo.campaign` decodes many captures on a Dask cluster.
"""

try:
    from . import _location, _tables  # noqa: F401 (written by the build)
except ImportError as error:
    raise ImportError("tessavo: the build writes this package's tables; import it from the "
                      "build tree (PYTHONPATH=build/python) or an installation") from error

from . import catalogue
from ._native import H as _H
from .catalogue import Param, View
from .dataframe import to_dataframe
from .decoder import Decoder, Item, decode_file

__version__ = f"{_H['VERSION_MAJOR']}.{_H['VERSION_MINOR']}.{_H['VERSION_PATCH']}"
__all__ = ["Decoder", "Item", "Param", "View", "catalogue", "decode_file", "to_dataframe"]
