"""decode_file and to_dataframe against hand-worked packets and the command-line decoder."""

import io
import json
import os
import random
import re
import subprocess
import sys
from datetime import datetime, timezone

import numpy as np
import pandas as pd
import pytest

import tessavo
from conftest import BUILD, CAPTURE_NAMES, SAMPLE, capture, cli, frame, log_packet


def test_frame_builder_matches_a_known_frame():
    assert frame(bytes.fromhex("01020304")) == bytes.fromhex("0102030491397e")


@pytest.mark.parametrize("name", ("sample", "random") + CAPTURE_NAMES)
def test_item_counts_equal_the_cli(name, tmp_path):
    if name == "sample":
        path = SAMPLE
    elif name == "random":
        path = tmp_path / "random.bin"
        path.write_bytes(random.Random(15).randbytes(200_000))
    else:
        path = capture(name)
    summary = cli("--format", "summary", path, status=4 if name == "random" else 0)
    expected = int(re.search(rb"report items +(\d+)", summary)[1])
    assert sum(1 for _ in tessavo.decode_file(path)) == expected
    assert name != "random" or expected == 0


# Position text of log 0x1014 (6 bytes, longitude in 9 characters and latitude in 8, both in
# units of 10^-5 degree, two fields in 3), 0x102D with receive AGC 150 (150 / 3 - 148.581 dBm) and no finger, and a pilot sets
# reply (field 0x1234, one pilot per set, strengths in units of -0.5 dB).
POSITION = bytes(6) + b"-09712345" + b"03245678" + b"123-45" + b"\x01\x02"
POWER = bytes(13) + bytes([150, 120, 0xF6]) + bytes([0] * 5) + bytes([1, 0, 0]) + b"\xa5" * 4
PILOTS = bytes([0x40, 0x34, 0x12, 1, 1, 1]) + bytes.fromhex("f00016002100 1c00 1500 1a00")
GPS_2016 = 1451606400 - 315964800 + 17  # 2016-01-01T00:00:00Z with 17 leap seconds
GPS_2017 = 1483228800 - 315964800 + 18  # 2017-01-01T00:00:00Z with 18


def test_hand_worked_items():
    stream = b"".join(map(frame, [
        log_packet(0x1014, POSITION, GPS_2016), log_packet(0x102D, POWER, GPS_2017 + 0.5),
        PILOTS]))
    with tessavo.Decoder() as decoder:
        position, power, pilots = decoder.feed(stream)
    assert (position.log_code, position.command, position.time, position.time_raw) == (
        0x1014, None, datetime(2016, 1, 1, tzinfo=timezone.utc), (GPS_2016 + 315964800, 0))
    assert position.struct_params["position_fix"] == {
        "latitude_deg": pytest.approx(32.45678), "longitude_deg": pytest.approx(-97.12345),
        "field_3a": 123, "field_3b": -45}
    assert power.time == datetime(2017, 1, 1, 0, 0, 0, 500000, tzinfo=timezone.utc)
    assert power.params["rx_power"] == pytest.approx(-98.581)
    assert (pilots.log_code, pilots.command) == (None, 0x40)
    assert pilots.struct_params["pilot_sets"] == {
        "header_word": 0x1234,
        "active": [{"pn": 240, "strength": 22, "ecio_db": -11.0}],
        "candidate": [{"pn": 33, "strength": 28, "ecio_db": -14.0}],
        "neighbour": [{"pn": 21, "strength": 26, "ecio_db": -13.0}]}


def test_feed_collects_and_refeeds_past_a_full_ring():
    # 700 position frames in one call fill the 300-node ring twice; the same bytes cut at
    # every 997th byte (frames split between calls) give the same items.
    stream = b"".join(frame(log_packet(0x1014, POSITION, GPS_2016 + i)) for i in range(700))
    with tessavo.Decoder() as whole, tessavo.Decoder() as pieces:
        one_call = [item.time_raw[0] for item in whole.feed(stream)]
        cut = [item.time_raw[0] for start in range(0, len(stream), 997)
               for item in pieces.feed(stream[start:start + 997])]
    expected = [GPS_2016 + 315964800 + i for i in range(700)]
    assert one_call == expected and cut == expected


def test_side_blocks_and_inherited_values():
    packets = [log_packet(0x102D, POWER, GPS_2016), log_packet(0x1014, POSITION, GPS_2016 + 1)]
    with tessavo.Decoder(inherited=True, blocks=("frame", "payload")) as decoder:
        power, position = decoder.feed(b"".join(map(frame, packets)))
    assert power.blocks["frame"] == frame(packets[0])
    assert position.blocks["payload"] == POSITION  # the log record after its header
    assert position.params == {} and position.inherited["rx_power"] == pytest.approx(-98.581)


# GPS seconds around the leap second inserted before 2015-07-01 (16 -> 17 s).
JUNE_2015 = 1435708800 - 315964800 + 16  # 2015-06-30T23:59:60


@pytest.mark.parametrize("gps,utc,leap", [
    (0, datetime(1980, 1, 6, tzinfo=timezone.utc), False),
    (JUNE_2015 - 1, datetime(2015, 6, 30, 23, 59, 59, tzinfo=timezone.utc), False),
    (JUNE_2015, datetime(2015, 6, 30, 23, 59, 59, tzinfo=timezone.utc), True),
    (JUNE_2015 + 1, datetime(2015, 7, 1, tzinfo=timezone.utc), False),
])
def test_gps_to_utc(gps, utc, leap):
    origin = tessavo.decoder.library_origin()
    assert tessavo.decoder.utc_of((gps + origin, 0), origin) == (utc, leap)
    assert tessavo.dataframe.utc_times(np.array([gps + origin]), np.array([0]), origin)[0] == utc


def test_struct_layouts_and_identities_equal_the_cli_jsonl():
    expected = [json.loads(line) for line in cli("--format", "jsonl", SAMPLE).splitlines()]
    items = list(tessavo.decode_file(SAMPLE))
    assert len(items) == len(expected)
    seen = set()
    for item, row in zip(items, expected):
        assert item.code_text == (row["command"] and f"cmd:{row['command']}" or row["log_code"])
        assert item.time.isoformat(timespec="microseconds")[:-6] + "Z" == row["time"]
        for record in row["struct_params"]:
            if record["name"] in ("pilot_sets", "sector_table", "position_fix"):
                seen.add(record["name"])
                assert item.struct_params[record["name"]] == record["fields"]
    assert {"pilot_sets", "sector_table"} <= seen  # the sample has no position fix


# The sample clears tx_power when a call ends; chunks of 1000 items split its 2376. The frame
# keeps every last-known value, as the CLI's --carry-forward all (tessavo.analysis.valid_only
# applies the validity rules; test_analysis.py compares it with the CLI's default).
@pytest.mark.parametrize("layout,params", [
    ("wide", None), ("long", None), ("wide", ["tx_power", "active_best_pn", "rx_power"])])
def test_dataframe_equals_the_cli_csv(layout, params):
    frame_ = tessavo.to_dataframe(SAMPLE, layout=layout, params=params, chunk_items=1000)
    selection = ["--params", ",".join(params)] if params else []
    expected = pd.read_csv(io.BytesIO(
<<<<<<< HEAD
        cli("--format", "csv", "--csv-layout", layout, *selection, SAMPLE)))
    # The tool names signalling messages beside their codes; the DataFrame keeps the codes.
    expected = expected.drop(columns=["msg_name"], errors="ignore")
=======
        cli("--format", "csv", "--csv-layout", layout, "--carry-forward", "all", *selection,
            SAMPLE)))
>>>>>>> h6-analysis
    assert list(frame_.columns) == list(expected.columns)
    assert (frame_["time"] == pd.to_datetime(expected["time"])).all()
    assert (frame_["log_code"].astype(str) == expected["log_code"].fillna("")).all()
    for column in expected.columns.drop(["time", "log_code"]):
        got = frame_[column]
        if column == "msg_code":
            got = got.map("0x{:08x}".format)
        if expected[column].dtype == object:
            assert (got.astype(str) == expected[column].fillna("")).all(), column
        else:
            assert np.array_equal(got.astype(float), expected[column], equal_nan=True), column


def test_bad_input(tmp_path):
    missing = tmp_path / "missing.qmdl"
    with pytest.raises(FileNotFoundError, match="missing.qmdl"):
        next(tessavo.decode_file(missing))
    with pytest.raises(FileNotFoundError, match="missing.qmdl"):
        tessavo.to_dataframe(missing)
    if os.geteuid() != 0:  # root reads any file
        locked = tmp_path / "locked.qmdl"
        locked.write_bytes(b"\x7e")
        locked.chmod(0)
        with pytest.raises(PermissionError, match="locked.qmdl"):
            next(tessavo.decode_file(locked))
    with pytest.raises(ValueError):
        tessavo.Decoder("B999")
    decoder = tessavo.Decoder()
    decoder.close()
    with pytest.raises(ValueError):
        list(decoder.feed(b"\x7e"))


def test_installed_package_finds_its_library(tmp_path):
    subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(tmp_path)], check=True,
                   capture_output=True)
    env = {k: v for k, v in os.environ.items()
           if k not in ("LD_LIBRARY_PATH", "TESSAVO_LIBRARY")}
    env["PYTHONPATH"] = str(next(tmp_path.glob("lib*/python3/dist-packages")))
    code = "import tessavo, sys; print(sum(1 for _ in tessavo.decode_file(sys.argv[1])))"
    result = subprocess.run([sys.executable, "-c", code, str(SAMPLE)], env=env, check=True,
                            capture_output=True, text=True, cwd=tmp_path)
    assert int(result.stdout) == sum(1 for _ in tessavo.decode_file(SAMPLE))
    # the installed copy, not the build tree's, was loaded
    code = "import tessavo._native as native; print(native.lib.path)"
    where = subprocess.run([sys.executable, "-c", code], env=env, check=True,
                           capture_output=True, text=True, cwd=tmp_path)
    assert where.stdout.startswith(str(tmp_path))
