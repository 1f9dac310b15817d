"""Positions: GPX and NMEA tracks read with Debian's gpxpy and pynmea2, merged by time, and
the GeoJSON and KML of the sample parsed back with standard parsers."""

import datetime
import json
import math
import xml.etree.ElementTree as ET

import pandas as pd
import pytest

from conftest import ROOT, SAMPLE, cli
from tessavo import analysis, positions

TRACK = ROOT / "samples" / "drive_test.gpx"
# The generator's road: due east from 22.54 N 113.95 E; the car is 20 m + 15 m/s along it,
# the capture starting at 01:59:42 UTC (02:00:00 GPS time less 18 leap seconds).
START = pd.Timestamp("2024-05-14T01:59:42Z")
METRES_PER_DEGREE_LON = 111320.0 * math.cos(math.radians(22.54))


def road_longitude(seconds):
    return 113.95 + (20.0 + 15.0 * seconds) / METRES_PER_DEGREE_LON


def test_sample_track_follows_the_drive():
    track = positions.read_track(TRACK)
    assert len(track) == 321
    assert track["time"].iloc[100] == START + pd.Timedelta(seconds=100)
    assert track["latitude"].eq(22.54).all()
    assert track["longitude"].iloc[100] == pytest.approx(road_longitude(100), abs=1e-7)


def nmea(sentence):
    checksum = 0
    for char in sentence:
        checksum ^= ord(char)
    return f"${sentence}*{checksum:02X}"


def write_nmea(track, path):
    """RMC for even fixes (they carry the date), GGA for odd ones, and an RMC without a fix
    (status V), which readers skip."""
    lines = []
    for row in track.itertuples():
        t = row.time.to_pydatetime()
        lat = f"{int(row.latitude):02d}{(row.latitude % 1) * 60:07.4f}"
        lon = f"{int(row.longitude):03d}{(row.longitude % 1) * 60:07.4f}"
        hms = t.strftime("%H%M%S.00")
        if row.Index % 2 == 0:
            lines.append(nmea(f"GPRMC,{hms},A,{lat},N,{lon},E,29.2,90.0,{t:%d%m%y},,,A"))
        else:
            lines.append(nmea(f"GPGGA,{hms},{lat},N,{lon},E,1,08,0.9,10.0,M,0.0,M,,"))
    lines.insert(1, nmea("GPRMC,015942.50,V,,,,,,,140524,,,N"))
    path.write_text("\n".join(lines) + "\n")


def test_nmea_track_equals_the_gpx(tmp_path):
    track = positions.read_track(TRACK)
    path = tmp_path / "drive.nmea"
    write_nmea(track.iloc[:5], path)
    read = positions.read_track(path)
    assert list(read["time"]) == list(track["time"].iloc[:5])
    # 4 decimals of a minute: 1.7e-6 degree at most
    assert read["longitude"].to_numpy() == pytest.approx(track["longitude"].iloc[:5], abs=2e-6)
    assert read["latitude"].to_numpy() == pytest.approx(track["latitude"].iloc[:5], abs=2e-6)


def test_locate_interpolates_and_stops_at_gaps():
    track = pd.DataFrame({"time": pd.to_datetime([0, 5, 20, 25], unit="s", utc=True),
                          "latitude": [10.0, 11.0, 12.0, 12.5],
                          "longitude": [100.0, 101.0, 102.0, 102.5]})
    cases = [(-1, math.nan), (0, 10.0), (2.5, 10.5), (5, 11.0), (12, math.nan), (20, 12.0),
             (22.5, 12.25), (26, math.nan)]
    latitude, _ = positions.locate(track, pd.to_datetime([t for t, _ in cases], unit="s",
                                                         utc=True))
    for (t, expected), found in zip(cases, latitude):
        assert (math.isnan(expected) and math.isnan(found)) or found == pytest.approx(expected), t


def test_geojson_and_kml_of_the_sample():
    geojson = pytest.importorskip("geojson", reason="python3-geojson is not installed")
    points, events = positions.located_points(SAMPLE, positions.read_track(TRACK))
    parsed = geojson.loads(json.dumps(positions.to_geojson(points, events)))
    assert parsed.is_valid
    kinds = [f["properties"]["kind"] for f in parsed["features"]]
    assert kinds.count("event") == len(analysis.events(SAMPLE)) == 16
    assert kinds.count("measurement") > 700
    hard = next(f for f in parsed["features"] if f["properties"].get("event") == "hard_handoff")
    # The hard handoff direction at 169.9 s into the drive (geojson keeps 6 decimals).
    lon, lat = hard["geometry"]["coordinates"]
    assert lat == pytest.approx(22.54) and lon == pytest.approx(road_longitude(169.9), abs=1e-6)
    first = parsed["features"][0]["properties"]
    assert first["best_pilot_ecio"] < -2 and first["rx_power"] < -60 and first["tx_power"] is None

    root = ET.fromstring(positions.to_kml(points, events))
    ns = {"k": "http://www.opengis.net/kml/2.2"}
    marks = root.findall(".//k:Placemark", ns)
    assert len(marks) == len(points) + len(events)
    styles = {m.find("k:styleUrl", ns).text for m in marks}
    assert "#event" in styles and "#ecio_above_-6" in styles
    lon, lat = map(float, marks[0].find(".//k:coordinates", ns).text.split(","))
    seconds = (points["time"].iloc[0] - START).total_seconds()
    assert lon == pytest.approx(road_longitude(seconds), abs=1e-7) and lat == 22.54


def test_committed_track_is_what_the_generator_writes(tmp_path):
    import subprocess

    from conftest import BUILD

    generator = BUILD / "tools" / "make-sample" / "tessavo-make-sample"
    if not generator.exists():
        pytest.skip(f"{generator} is not built")
    subprocess.run([str(generator), str(tmp_path / "drive_test.bin")], check=True,
                   capture_output=True)
    assert (tmp_path / "drive_test.gpx").read_bytes() == TRACK.read_bytes()


def test_capture_fixes_follow_the_road():
    """The sample's own position fixes: once a second from 1 s to 319 s, on the GPX track's
    road to the 1e-5 degree of the record."""
    fixes = analysis.capture_fixes(SAMPLE)
    assert len(fixes) == 319
    assert list(fixes["time"].iloc[[0, -1]]) == [START + pd.Timedelta(seconds=s) for s in (1, 319)]
    seconds = (fixes["time"] - START).dt.total_seconds()
    assert fixes["longitude"].to_numpy() == pytest.approx(road_longitude(seconds), abs=5e-6)
    assert fixes["latitude"].eq(22.54).all()


@pytest.mark.parametrize("kind", ["gpx", "nmea", "capture"])
def test_cli_geojson_equals_the_python_one(kind, tmp_path):
    """tessavo-decode --format geojson (its own small GPX and NMEA readers, or the capture's
    fixes as they come) against tessavo.positions (gpxpy, pynmea2, or the capture's fixes as
    a whole track) on the same positions."""
    track = TRACK
    if kind == "nmea":
        track = tmp_path / "drive.nmea"
        write_nmea(positions.read_track(TRACK), track)
    given = () if kind == "capture" else ("--track", track)
    ours = json.loads(cli("--format", "geojson", *given, SAMPLE))["features"]
    theirs = positions.to_geojson(*positions.located_points(
        SAMPLE, None if kind == "capture" else positions.read_track(track)))
    theirs = theirs["features"]
    assert len(ours) == len(theirs) > 800
    for a, b in zip(ours, theirs):
        assert a["geometry"]["coordinates"] == pytest.approx(b["geometry"]["coordinates"],
                                                             abs=1e-8)
        pa, pb = a["properties"], b["properties"]
        assert pd.Timestamp(pa.pop("time")) == pd.Timestamp(pb.pop("time"))
        assert pa == pytest.approx(pb) if pa["kind"] == "measurement" else pa == pb


def test_cli_kml_equals_the_python_one():
    ours = ET.fromstring(cli("--format", "kml", "--track", TRACK, SAMPLE))
    theirs = ET.fromstring(positions.to_kml(*positions.located_points(
        SAMPLE, positions.read_track(TRACK))))
    ns = {"k": "http://www.opengis.net/kml/2.2"}
    a, b = (root.findall(".//k:Placemark", ns) for root in (ours, theirs))
    assert len(a) == len(b) > 800
    for x, y in zip(a, b):
        assert x.find("k:styleUrl", ns).text == y.find("k:styleUrl", ns).text
        assert (pd.Timestamp(x.find(".//k:when", ns).text) ==
                pd.Timestamp(y.find(".//k:when", ns).text))
        xs = [float(v) for v in x.find(".//k:coordinates", ns).text.split(",")]
        ys = [float(v) for v in y.find(".//k:coordinates", ns).text.split(",")]
        assert xs == pytest.approx(ys, abs=1e-7)
