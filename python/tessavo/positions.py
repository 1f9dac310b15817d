"""Positions of a drive: the capture's own position fixes, or a GPS track (GPX 1.1, or NMEA
0183 RMC/GGA sentences) merged with the capture by time, and the radio values and events on a
map as GeoJSON or KML.

    python3 -m tessavo.positions CAPTURE [--track drive.gpx] --format geojson -o drive.geojson

A track given replaces the capture's fixes. Positions between two fixes are interpolated
linearly; none is given across a gap between fixes longer than 10 s, nor before the first fix
or after the last. A point is written at every fresh best Ec/Io, receive power or EV-DO SINR,
with the values valid at that time; each event is a point of its own.
"""

import argparse
import math
import sys
from pathlib import Path

import numpy as np

from . import analysis

MAX_GAP_SECONDS = analysis.max_fix_gap_seconds()
# The values on each point (the first colours a KML placemark), and those whose fresh value
# makes a point: the lists of tessavo-decode --format geojson.
VALUES, POINT_MAKERS = analysis.map_values()
# Best Ec/Io bins of the KML (upper bound in dB, name, colour as aabbggrr), as
# tessavo-decode --format kml colours them.
ECIO_BINS = tuple(analysis.ecio_bins())


def read_track(path):
    """DataFrame of time (UTC), latitude, longitude of a GPX or NMEA file, in time order."""
    import pandas as pd

    text = Path(path).read_text(encoding="utf-8", errors="replace")
    rows = _gpx(text) if text.lstrip().startswith("<") else _nmea(text)
    frame = pd.DataFrame(rows, columns=["time", "latitude", "longitude"])
    frame["time"] = pd.to_datetime(frame["time"], utc=True)
    return frame.sort_values("time", kind="stable").drop_duplicates("time").reset_index(drop=True)


def _gpx(text):
    import gpxpy

    gpx = gpxpy.parse(text)
    return [(p.time, p.latitude, p.longitude)
            for track in gpx.tracks for segment in track.segments for p in segment.points
            if p.time is not None]


def _nmea(text):
    """Fixes of RMC (date and time) and GGA (time of the last RMC date) sentences."""
    import datetime

    import pynmea2

    rows, day = [], None
    for line in text.splitlines():
        line = line.strip()
        if not line.startswith("$"):
            continue
        try:
            sentence = pynmea2.parse(line)
        except pynmea2.ParseError:
            continue
        kind = sentence.sentence_type
        if kind == "RMC" and sentence.status == "A" and sentence.datestamp:
            day = sentence.datestamp
            when = datetime.datetime.combine(day, sentence.timestamp)
        elif kind == "GGA" and day is not None and int(sentence.gps_qual or 0) > 0:
            when = datetime.datetime.combine(day, sentence.timestamp)
        else:
            continue
        rows.append((when.replace(tzinfo=datetime.timezone.utc), sentence.latitude,
                     sentence.longitude))
    return rows


def locate(track, times, max_gap=MAX_GAP_SECONDS):
    """(latitudes, longitudes) at `times` (UTC): linear between fixes; NaN outside the track
    and across gaps between fixes longer than `max_gap` seconds."""
    import pandas as pd

    fixes = pd.DatetimeIndex(track["time"]).asi8.astype(float)
    at = pd.DatetimeIndex(times).asi8.astype(float)
    if not len(fixes):
        return np.full(len(at), np.nan), np.full(len(at), np.nan)
    latitude = np.interp(at, fixes, track["latitude"].to_numpy(float), left=np.nan,
                         right=np.nan)
    longitude = np.interp(at, fixes, track["longitude"].to_numpy(float), left=np.nan,
                          right=np.nan)
    after = np.clip(np.searchsorted(fixes, at, side="left"), 1, max(len(fixes) - 1, 1))
    gap = (fixes[after] - fixes[after - 1]) / 1e9 if len(fixes) > 1 else np.full(len(at), np.inf)
    exact = np.isin(at, fixes)
    lost = (gap > max_gap) & ~exact
    latitude[lost] = np.nan
    longitude[lost] = np.nan
    return latitude, longitude


def _valid_at(values, times):
    """The value of a series (fresh values, NaN where validity ends) at each time."""
    import pandas as pd

    points = values.index.asi8
    at = np.searchsorted(points, pd.DatetimeIndex(times).asi8, side="right") - 1
    found = values.to_numpy(float)[np.clip(at, 0, None)] if len(points) else np.full(len(at),
                                                                                    np.nan)
    return np.where(at >= 0, found, np.nan)


def located_points(source, track=None, module="B101"):
    """(points, events): DataFrames with latitude and longitude; points carry the valid
    radio values at each fresh measurement, events the event rows of tessavo.analysis.
    Without a track (a read_track frame), the capture's own position fixes place them."""
    import pandas as pd

    if track is None:
        track = analysis.capture_fixes(source, module)
    series = analysis.series(source, VALUES, module)
    times = sorted(set().union(*(set(series[n].dropna().index) for n in POINT_MAKERS)))
    points = pd.DataFrame({"time": pd.DatetimeIndex(times)})
    for name in VALUES:
        points[name] = _valid_at(series[name], points["time"])
    points["latitude"], points["longitude"] = locate(track, points["time"])
    events = analysis.events(source, module)
    events["latitude"], events["longitude"] = locate(track, events["time"])
    return (points.dropna(subset=["latitude"]).reset_index(drop=True),
            events.dropna(subset=["latitude"]).reset_index(drop=True))


def _clean(value):
    if isinstance(value, (float, np.floating)):
        return None if math.isnan(value) else float(value)
    if isinstance(value, np.integer):
        return int(value)
    return value


def to_geojson(points, events):
    """A GeoJSON FeatureCollection (as a dict): a point per measurement and per event."""
    features = []
    for row in points.itertuples(index=False):
        properties = {"kind": "measurement", "time": row.time.isoformat()}
        properties.update({name: _clean(getattr(row, name)) for name in VALUES})
        features.append({"type": "Feature", "properties": properties,
                         "geometry": {"type": "Point",
                                      "coordinates": [float(row.longitude), float(row.latitude)]}})
    for row in events.itertuples(index=False):
        features.append({"type": "Feature",
                         "properties": {"kind": "event", "time": row.time.isoformat(),
                                        "event": row.event, "technology": row.technology,
                                        "details": row.details, "item": int(row.item)},
                         "geometry": {"type": "Point",
                                      "coordinates": [float(row.longitude), float(row.latitude)]}})
    return {"type": "FeatureCollection", "features": features}


def ecio_bin(value):
    if value is None or math.isnan(value):
        return "ecio_unknown"
    return next(name for top, name, _ in ECIO_BINS if value < top)


def to_kml(points, events, name="drive"):
    """KML text: placemarks coloured by best Ec/Io bin, events with an icon of their own."""
    from xml.sax.saxutils import escape

    styles = [f'<Style id="{n}"><IconStyle><color>{c}</color><scale>0.5</scale></IconStyle></Style>'
              for _, n, c in ECIO_BINS]
    styles.append('<Style id="ecio_unknown"><IconStyle><color>ff808080</color><scale>0.5</scale>'
                  '</IconStyle></Style>')
    styles.append('<Style id="event"><IconStyle><color>ffff00ff</color><scale>1.2</scale>'
                  '</IconStyle></Style>')
    marks = []
    for row in points.itertuples(index=False):
        marks.append(f"<Placemark><name>{row.time:%H:%M:%S.%f}</name>"
                     f"<styleUrl>#{ecio_bin(row.best_pilot_ecio)}</styleUrl>"
                     f"<TimeStamp><when>{row.time.isoformat()}</when></TimeStamp>"
                     f"<Point><coordinates>{row.longitude:.7f},{row.latitude:.7f}</coordinates>"
                     f"</Point></Placemark>")
    for row in events.itertuples(index=False):
        marks.append(f"<Placemark><name>{escape(row.event)}</name>"
                     f"<description>{escape(row.details)}</description>"
                     f"<styleUrl>#event</styleUrl>"
                     f"<TimeStamp><when>{row.time.isoformat()}</when></TimeStamp>"
                     f"<Point><coordinates>{row.longitude:.7f},{row.latitude:.7f}</coordinates>"
                     f"</Point></Placemark>")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<kml xmlns="http://www.opengis.net/kml/2.2"><Document>'
            f"<name>{escape(name)}</name>" + "".join(styles) + "".join(marks) +
            "</Document></kml>\n")


def main(argv=None):
    import json

    parser = argparse.ArgumentParser(prog="python3 -m tessavo.positions", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("captures", nargs="+", help="capture files, decoded as one stream")
    parser.add_argument("--track", help="GPS track (GPX 1.1 or NMEA 0183) instead of the "
                        "capture's own position fixes")
    parser.add_argument("--format", choices=("geojson", "kml"), default="geojson")
    parser.add_argument("-o", "--output", required=True, help="file to write")
    parser.add_argument("--module", default="B101", help="module type (default B101)")
    args = parser.parse_args(argv)
    try:
        track = read_track(args.track) if args.track else None
        points, events = located_points(args.captures, track, args.module)
        if args.format == "geojson":
            text = json.dumps(to_geojson(points, events))
        else:
            text = to_kml(points, events, Path(args.captures[0]).name)
        Path(args.output).write_text(text, encoding="utf-8")
    except (OSError, ValueError) as error:
        print(f"tessavo.positions: {error}", file=sys.stderr)
        return 1
    print(f"Wrote {args.output}: {len(points)} points, {len(events)} events")
    return 0


if __name__ == "__main__":
    sys.exit(main())
