"""Drive-test events and KPIs of a capture: the analysis of `tessavo-decode --format events`
and of its summary, through the extension tessavo._analysis (one implementation in C++).

    from tessavo import analysis
    ev = analysis.events("drive.bin")       # DataFrame: time (UTC), technology, event, ...
    rx = analysis.series("drive.bin", ["rx_power"])["rx_power"]  # NaN where not valid
    k = analysis.kpis("drive.bin")          # values, event counts, distributions, PN table
    k["values"]["call_setup_success_rate"]

`source` is a capture path or a list of paths decoded in order as one stream. Options:
access_timeout (s, 15), pollution_pilots (4), pollution_window_db (5), weak_ecio_db (-15),
weak_rx_dbm (-100), weak_min_seconds (5).
"""

import os

from .decoder import MODULES

try:
    from . import _analysis
except ImportError as error:  # pragma: no cover - depends on the build
    _analysis = None
    _IMPORT_ERROR = error

COLUMNS = ("time", "technology", "event", "details", "item")


def _arguments(source, module):
    if _analysis is None:
        raise ImportError("tessavo.analysis needs the extension tessavo._analysis, built with "
                          "pybind11 (Debian pybind11-dev) by the project's build") from _IMPORT_ERROR
    paths = [source] if isinstance(source, (str, os.PathLike)) else list(source)
    module_type = module
    if isinstance(module, str):  # "B101", "B200", "B20A", "B20B", as the Decoder reads it
        key = module.upper().removeprefix("0X")
        if key not in MODULES:
            raise ValueError(f"unknown module type {module!r}; one of {', '.join(MODULES)}")
        module_type = MODULES[key]
    return [os.fspath(p) for p in paths], module_type


def _run(source, module, options):
    paths, module_type = _arguments(source, module)
    return _analysis.analyse(paths, module_type, options)


def series(source, names, module="B101"):
    """{name: pandas Series over UTC time} of scalar parameters: each fresh value, and NaN
    where the value stops being valid (its validity rule), so that plots show a gap."""
    import pandas as pd

    paths, module_type = _arguments(source, module)
    found = _analysis.series(paths, module_type, list(names))
    return {name: pd.Series(values, index=pd.to_datetime(times, unit="us", utc=True), name=name,
                            dtype=float)
            for name, (times, values) in found.items()}


def analyse(source, module="B101", **options):
    """(events DataFrame, kpis dict) of the capture(s), from one decoding pass."""
    rows, kpis = _run(source, module, options)
    return _events_frame(rows), _kpis_dict(kpis)


def events(source, module="B101", **options):
    """Events as a DataFrame with columns time (UTC), technology, event, details, item."""
    return analyse(source, module, **options)[0]


def kpis(source, module="B101", **options):
    """KPIs: {"items": items decoded, "values": {name: value}, "units": {name: unit}, "event_counts": {event: n},
    "distributions": DataFrame (one row per value, with its CDF), "pns": DataFrame (1x best
    servers), "do_sectors": DataFrame (EV-DO serving sectors: time, mean SINR and DRC)}."""
    return analyse(source, module, **options)[1]


def event_kinds():
    """(name, technology, label) of every event the rules find, in their order."""
    return [] if _analysis is None else _analysis.event_kinds()


def map_values():
    """(values on each map point, values whose fresh value makes a point), as
    tessavo-decode --format geojson writes them."""
    return ((), ()) if _analysis is None else tuple(map(tuple, _analysis.map_values()))


def max_fix_gap_seconds():
    """No position is interpolated across a longer gap between two fixes."""
    return None if _analysis is None else _analysis.MAX_FIX_GAP_SECONDS


def capture_fixes(source, module="B101"):
    """The capture's own position fixes: a DataFrame of time (UTC), latitude, longitude in
    time order, as tessavo.positions.read_track gives a GPS track."""
    import pandas as pd

    paths, module_type = _arguments(source, module)
    times, latitudes, longitudes = _analysis.fixes(paths, module_type)
    return pd.DataFrame({"time": pd.to_datetime(times, unit="us", utc=True),
                         "latitude": latitudes, "longitude": longitudes})


def ecio_bins():
    """(upper dB, name, KML colour aabbggrr) of the best Ec/Io bins of the map outputs."""
    return [] if _analysis is None else _analysis.ecio_bins()


def _events_frame(rows):
    import pandas as pd

    frame = pd.DataFrame(rows, columns=COLUMNS)
    frame["time"] = pd.to_datetime(frame["time"], unit="us", utc=True)
    return frame


def _kpis_dict(kpis):
    import pandas as pd

    values = {name: value for name, value, _ in kpis["values"]}
    units = {name: unit for name, _, unit in kpis["values"]}
    distributions = pd.DataFrame(kpis["distributions"],
                                 columns=["name", "unit", "count", "min", "p5", "median", "mean",
                                          "p95", "max", "cdf"]).set_index("name")
    pns = pd.DataFrame(kpis["pns"], columns=["pn", "best_seconds", "mean_ecio", "reports"])
    sectors = pd.DataFrame(kpis["do_sectors"],
                           columns=["pn", "serving_seconds", "mean_sinr", "sinr_reports",
                                    "mean_drc_kbps", "drc_reports"])
    return {"items": kpis["items"], "values": values, "units": units,
            "event_counts": dict(kpis["event_counts"]),
            "distributions": distributions, "pns": pns, "do_sectors": sectors}


def valid_only(frame, source, module="B101"):
    """A copy of a wide frame (tessavo.to_dataframe of the same source) with every cell
    emptied where its parameter's value is not valid at that row's time (the validity rules
    of tessavo-decode's CSV; its --carry-forward all is the frame as it is)."""
    import numpy as np
    import pandas as pd

    from . import catalogue

    scalars = {p.name for p in catalogue.SCALARS}
    names = [c for c in frame.columns if c in scalars]
    out = frame.copy()
    if not names or not len(frame):
        return out
    times = pd.DatetimeIndex(frame["time"] if "time" in frame.columns else frame.index).asi8
    for name, values in series(source, names, module).items():
        points = values.index.asi8
        shown = values.notna().to_numpy()
        at = np.searchsorted(points, times, side="right") - 1
        valid = (at >= 0) & shown[np.clip(at, 0, None)] if len(points) else np.zeros(len(times), bool)
        out[name] = out[name].where(valid)
    return out
