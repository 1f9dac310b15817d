"""A drive-test report: one self-contained HTML file per capture or campaign.

    python3 -m tessavo.report CAPTURE... -o report.html
    python3 -m tessavo.report --campaign FOLDER [--scheduler ADDRESS] -o campaign.html

KPIs and events come from tessavo.analysis (the engine of tessavo-decode --format events);
time series are the parameters' fresh values, drawn with a gap where a value stops being
valid; CDFs, the 1x best-server and EV-DO serving-sector tables come with the KPIs. With
several captures, a campaign table (one row per capture and totals) comes first. --campaign
analyses every file of a folder as a task of its own on Dask (tessavo.campaign's machinery:
a scheduler's address, or threads of a worker in this process); files in which nothing
decodes, and captures that fail, are listed apart. The page fetches nothing when opened:
style, script and SVG charts are inline.
"""

import argparse
import math
import sys
from html import escape
from pathlib import Path

from . import analysis, campaign, catalogue
from .report_template import PAGE

# (title, unit, [(parameter, colour)])
CHARTS = (
    ("1x receive and transmit power", "dBm", [("rx_power", "#1f77b4"), ("tx_power", "#ff7f0e")]),
    ("1x best pilot Ec/Io", "dB", [("best_pilot_ecio", "#2ca02c")]),
    ("EV-DO receive power and SINR", "dBm / dB", [("do_rx_power0", "#9467bd"),
                                                  ("do_best_sinr", "#8c564b")]),
    ("Forward data rate (1x and EV-DO data logs)", "kbit/s", [("data_fwd_rate", "#d62728")]),
)
_KBIT = {"data_fwd_rate"}
EVENT_COLOURS = ("#d62728", "#9467bd", "#2ca02c", "#ff7f0e", "#8c564b", "#000000", "#17becf",
                 "#bcbd22", "#e377c2", "#7f7f7f", "#1f77b4", "#aec7e8", "#98df8a", "#ffbb78",
                 "#c5b0d5", "#c49c94", "#f7b6d2")
CAMPAIGN = (("duration", "duration (s)"), ("call_attempts", "call attempts"),
            ("call_setup_success_rate", "setup success %"), ("call_drops", "drops"),
            ("call_drop_rate", "drop rate %"), ("do_connection_attempts", "EV-DO attempts"),
            ("do_connection_success_rate", "EV-DO success %"), ("soft_handoffs", "soft handoffs"),
            ("hard_handoffs", "hard handoffs"))
_W, _H, _L, _R, _T, _B = 1000, 220, 60, 10, 22, 26


def _number(value, digits=2):
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return "-"
    if float(value).is_integer():
        return str(int(value))
    return f"{value:.{digits}f}"


def _svg_open(kind, title, points, events=0):
    return (f'<svg class="chart {kind}" viewBox="0 0 {_W} {_H}" data-points="{points}" '
            f'data-events="{events}" role="img" aria-label="{escape(title)}">'
            f'<text x="{_L}" y="14">{escape(title)}</text>'
            f'<line class="axis" x1="{_L}" y1="{_H - _B}" x2="{_W - _R}" y2="{_H - _B}"/>'
            f'<line class="axis" x1="{_L}" y1="{_T}" x2="{_L}" y2="{_H - _B}"/>')


def _scale(low, high, out_low, out_high):
    span = (high - low) or 1.0
    return lambda v: out_low + (v - low) / span * (out_high - out_low)


def _lines_and_points(xs, ys, colour):
    """Polylines broken at NaN, and a marker per value."""
    parts, segment, count = [], [], 0
    for x, y in zip(xs, ys):
        if y is None or math.isnan(y):
            if len(segment) > 1:
                parts.append(f'<polyline fill="none" stroke="{colour}" stroke-width="1" '
                             f'points="{" ".join(segment)}"/>')
            segment = []
            continue
        segment.append(f"{x:.1f},{y:.1f}")
        parts.append(f'<circle class="pt" cx="{x:.1f}" cy="{y:.1f}" r="1.6" fill="{colour}"/>')
        count += 1
    if len(segment) > 1:
        parts.append(f'<polyline fill="none" stroke="{colour}" stroke-width="1" '
                     f'points="{" ".join(segment)}"/>')
    return parts, count


def time_chart(title, unit, lines, events, colours, start, end):
    """SVG of series over time with the events as vertical lines."""
    values = [v for _, s, _ in lines for v in s.values if not math.isnan(v)]
    low, high = (min(values), max(values)) if values else (0.0, 1.0)
    pad = (high - low) * 0.05 or 1.0
    y = _scale(low - pad, high + pad, _H - _B, _T)
    t0, t1 = start.value, end.value
    x = _scale(t0, t1, _L, _W - _R)
    body, points = [], 0
    for _, series, colour in lines:
        parts, count = _lines_and_points([x(t) for t in series.index.asi8],
                                         [y(v) if not math.isnan(v) else math.nan
                                          for v in series.values], colour)
        body += parts
        points += count
    shown = 0
    for when, name in zip(events["time"], events["event"]):
        px = x(when.value)
        body.append(f'<line class="ev" x1="{px:.1f}" y1="{_T}" x2="{px:.1f}" y2="{_H - _B}" '
                    f'stroke="{colours[name]}"><title>{escape(name)}</title></line>')
        shown += 1
    legend = " ".join(f"{name} ({colour})" for name, _, colour in lines)
    labels = (f'<text x="2" y="{_T + 10}">{_number(high)}</text>'
              f'<text x="2" y="{_H - _B}">{_number(low)}</text>'
              f'<text x="{_L}" y="{_H - 6}">{start:%H:%M:%S}</text>'
              f'<text x="{_W - _R - 50}" y="{_H - 6}">{end:%H:%M:%S}</text>'
              f'<text x="{_L + 200}" y="14">{escape(unit)}: {escape(legend)}</text>')
    return _svg_open("series", title, points, shown) + labels + "".join(body) + "</svg>"


def cdf_chart(name, unit, cdf):
    xs = [v for v, _ in cdf]
    x = _scale(min(xs), max(xs), _L, _W - _R)
    y = _scale(0.0, 1.0, _H - _B, _T)
    parts, count = _lines_and_points([x(v) for v in xs], [y(share) for _, share in cdf],
                                     "#1f77b4")
    labels = (f'<text x="2" y="{_T + 10}">100 %</text><text x="2" y="{_H - _B}">0 %</text>'
              f'<text x="{_L}" y="{_H - 6}">{_number(min(xs))} {escape(unit)}</text>'
              f'<text x="{_W - _R - 90}" y="{_H - 6}">{_number(max(xs))} {escape(unit)}</text>')
    return _svg_open("cdf", f"CDF of {name}", count) + labels + "".join(parts) + "</svg>"


def route_chart(points, events, colours):
    """SVG of the route: a marker per located measurement coloured by its best Ec/Io bin, and
    the events where they happened. No map tiles: longitude and latitude, true to scale."""
    from .positions import ECIO_BINS, ecio_bin

    if points.empty:
        return ""
    lon = list(points["longitude"]) + list(events["longitude"])
    lat = list(points["latitude"]) + list(events["latitude"])
    squeeze = math.cos(math.radians(sum(lat) / len(lat)))  # metres per degree, east vs north
    width = (max(lon) - min(lon)) * squeeze or 1e-3
    height = (max(lat) - min(lat)) or 1e-3
    span = max(width, height * (_W - _L - _R) / (_H - _T - _B))
    x = _scale(min(lon), min(lon) + span / squeeze, _L, _W - _R)
    y = _scale(min(lat), min(lat) + span * (_H - _T - _B) / (_W - _L - _R), _H - _B, _T)
    rgb = {name: f"#{c[6:8]}{c[4:6]}{c[2:4]}" for _, name, c in ECIO_BINS}
    rgb["ecio_unknown"] = "#808080"
    parts = [f'<circle class="pt" cx="{x(o):.1f}" cy="{y(a):.1f}" r="2.5" '
             f'fill="{rgb[ecio_bin(e)]}"/>'
             for o, a, e in zip(points["longitude"], points["latitude"], points["best_pilot_ecio"])]
    for o, a, name in zip(events["longitude"], events["latitude"], events["event"]):
        parts.append(f'<rect class="ev" x="{x(o) - 4:.1f}" y="{y(a) - 4:.1f}" width="8" '
                     f'height="8" fill="none" stroke="{colours[name]}">'
                     f'<title>{escape(name)}</title></rect>')
    legend = ", ".join(f"{name} {colour}" for name, colour in rgb.items())
    return (_svg_open("route", "Route coloured by best Ec/Io", len(points), len(events)) +
            f'<text x="{_L + 200}" y="14">{escape(legend)}</text>' + "".join(parts) + "</svg>")


def capture_section(path, module="B101", track=None, **options):
    events, kpis = analysis.analyse(path, module, **options)
    colours = {name: EVENT_COLOURS[i % len(EVENT_COLOURS)]
               for i, (name, _, _) in enumerate(analysis.event_kinds())}
    known = {p.name for p in catalogue.SCALARS}
    wanted = [name for _, _, lines in CHARTS for name, _ in lines if name in known]
    series = analysis.series(path, wanted, module)
    for name in _KBIT & set(series):
        series[name] = series[name] / 1000
    times = [s.index for s in series.values() if len(s)] + [events["time"]]
    start = min(t.min() for t in times if len(t)) if any(len(t) for t in times) else None
    end = max(t.max() for t in times if len(t)) if start is not None else None
    charts = []
    for title, unit, lines in CHARTS:
        drawn = [(name, series[name], colour) for name, colour in lines
                 if name in series and series[name].notna().any()]
        if drawn:
            charts.append(time_chart(title, unit, drawn, events, colours, start, end))
    distributions = kpis["distributions"]
    return {
        "items": kpis["items"],
        "name": Path(path).name if not isinstance(path, (list, tuple)) else
        " + ".join(Path(p).name for p in path),
        "values": kpis["values"],
        "kpis": [{"name": name, "raw": repr(float(value)), "text": _number(value),
                  "unit": kpis["units"][name]} for name, value in kpis["values"].items()],
        "events": [{"time": f"{e.time:%Y-%m-%d %H:%M:%S.%f}", "technology": e.technology,
                    "event": e.event, "details": e.details, "item": e.item}
                   for e in events.itertuples()],
        "event_colours": [(name, colours[name]) for name in dict.fromkeys(events["event"])],
        "charts": charts,
        "cdfs": [cdf_chart(name, row["unit"], row["cdf"])
                 for name, row in distributions.iterrows() if row["cdf"]],
        "distributions": [{"name": name, "unit": row["unit"], "count": row["count"],
                           **{k: _number(row[k]) for k in ("p5", "median", "mean", "p95")}}
                          for name, row in distributions.iterrows()],
        "pns": [{"pn": r.pn, "best": _number(r.best_seconds, 1), "ecio": _number(r.mean_ecio),
                 "reports": r.reports} for r in kpis["pns"].itertuples()],
        "do_sectors": [{"pn": r.pn, "serving": _number(r.serving_seconds, 1),
                        "sinr": _number(r.mean_sinr), "sinr_reports": r.sinr_reports,
                        "drc": _number(r.mean_drc_kbps), "drc_reports": r.drc_reports}
                       for r in kpis["do_sectors"].itertuples()],
        "counts": kpis["event_counts"],
        "route": _route(path, track, module, colours),
    }


def _route(path, track, module, colours):
    """The route from `track`, or from the capture's own position fixes without one."""
    from .positions import located_points

    points, located = located_points(path, track, module)
    return route_chart(points, located, colours)


def _campaign(sections):
    rows = []
    for s in sections:
        rows.append({"name": s["name"], "total": False,
                     "cells": [_number(s["values"].get(key)) for key, _ in CAMPAIGN]})
    counts = {}
    for s in sections:
        for name, n in s["counts"].items():
            counts[name] = counts.get(name, 0) + n

    def rate(good, bad):
        return 100.0 * good / (good + bad) if good + bad else math.nan

    totals = {
        "duration": sum(s["values"]["duration"] for s in sections),
        "call_attempts": counts["call_attempt"],
        "call_setup_success_rate": rate(counts["call_setup_success"], counts["call_setup_failure"]),
        "call_drops": counts["call_drop"],
        "call_drop_rate": rate(counts["call_drop"], counts["call_release"]) if
        counts["call_drop"] + counts["call_release"] else math.nan,
        "do_connection_attempts": counts["do_connection_success"] + counts["do_connection_failure"],
        "do_connection_success_rate": rate(counts["do_connection_success"],
                                           counts["do_connection_failure"]),
        "soft_handoffs": counts["soft_handoff_add"] + counts["soft_handoff_drop"],
        "hard_handoffs": counts["hard_handoff"],
    }
    rows.append({"name": "all captures", "total": True,
                 "cells": [_number(totals[key]) for key, _ in CAMPAIGN]})
    return {"columns": [label for _, label in CAMPAIGN], "rows": rows}


def _campaign_task(path, module, track, options):
    section = capture_section(path, module, track, **options)
    return section if section["items"] else {"capture": path, "skipped": "nothing decodes"}


def campaign_sections(paths, module="B101", track=None, client=None, workers=None, **options):
    """(sections, left): the capture sections of `paths`, each analysed as a Dask task
    (tessavo.campaign.map_captures), and (path, reason) of the files left out: no item
    decodes from them, or their analysis failed."""
    rows = campaign.map_captures(_campaign_task,
                                 [(path, module, track, options) for path in paths],
                                 client=client, workers=workers)
    sections = [row for row in rows if "kpis" in row]
    left = [(row["capture"], row.get("skipped") or row.get("error")) for row in rows
            if "kpis" not in row]
    return sections, left


def build(captures, title=None, module="B101", track=None, campaign_folder=None, client=None,
          workers=None, **options):
    """The report's HTML text for one or several captures, or (campaign_folder) for every
    file of a folder on Dask (`client` and `workers` as tessavo.campaign takes them);
    `track` a GPX or NMEA file whose positions draw the route (without one, each capture's
    own position fixes do)."""
    import jinja2

    from .positions import read_track

    fixes = read_track(track) if track else None
    left = []
    if campaign_folder is not None:
        paths = campaign.capture_paths([campaign_folder, *captures])
        sections, left = campaign_sections(paths, module, fixes, client, workers, **options)
        if not sections:
            raise ValueError(f"no capture in {campaign_folder} decodes")
    else:
        sections = [capture_section(path, module, fixes, **options) for path in captures]
    env = jinja2.Environment(autoescape=True, undefined=jinja2.StrictUndefined)
    return env.from_string(PAGE).render(
        title=title or ("Drive test: " + ", ".join(s["name"] for s in sections)),
        captures=sections, left=left,
        campaign=_campaign(sections) if len(sections) > 1 or campaign_folder else None)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tessavo.report", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("captures", nargs="*", help="capture files (raw DIAG byte streams)")
    parser.add_argument("--campaign", metavar="FOLDER",
                        help="every file of FOLDER as a capture of a campaign, analysed on Dask")
    parser.add_argument("--scheduler", help="with --campaign: address of a Dask scheduler "
                        "(tcp://host:8786); default: threads of a worker in this process")
    parser.add_argument("--workers", type=int, help="with --campaign: local worker threads "
                        "(default: cores)")
    parser.add_argument("-o", "--output", default="report.html", help="HTML file to write")
    parser.add_argument("--title", help="title of the page")
    parser.add_argument("--module", default="B101", help="module type (default B101)")
    parser.add_argument("--track", help="GPS track (GPX 1.1 or NMEA 0183) to draw the route "
                        "instead of the captures' own position fixes")
    args = parser.parse_args(argv)
    if not args.captures and not args.campaign:
        parser.error("give capture files or --campaign FOLDER")
    try:
        html = build(args.captures, title=args.title, module=args.module, track=args.track,
                     campaign_folder=args.campaign, client=args.scheduler, workers=args.workers)
        Path(args.output).write_text(html, encoding="utf-8")
    except (OSError, ValueError) as error:
        print(f"tessavo.report: {error}", file=sys.stderr)
        return 1
    print(f"Wrote {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
