"""Decoder, decode_file and structures against hand-worked packets and the command-line
decoder's JSON lines."""

import json
import os
import random
import re
import subprocess
import sys
from datetime import datetime, timezone
from itertools import islice

import pytest

import tessavo
from conftest import BUILD, CAPTURE_NAMES, ROOT, SAMPLE, capture, cli, frame, log_packet

SPRINT = "sprint_2015.mi2log"


def test_frame_builder_matches_a_known_frame():
    assert frame(bytes.fromhex("01020304")) == bytes.fromhex("0102030491397e")


def path_of(name, tmp_path):
    if name == "sample":
        return SAMPLE
    if name == "random":
        path = tmp_path / "random.bin"
        path.write_bytes(random.Random(15).randbytes(200_000))
        return path
    return capture(name)


@pytest.mark.parametrize("name", ("sample", "random") + CAPTURE_NAMES)
def test_item_counts_equal_the_cli(name, tmp_path):
    path = path_of(name, tmp_path)
    summary = cli("--format", "summary", path, status=4 if name == "random" else 0)
    expected = int(re.search(rb"report items +(\d+)", summary)[1])
    assert sum(1 for _ in tessavo.decode_file(path)) == expected
    assert name != "random" or expected == 0


def _scalar(record):
    return record["value"]


def _struct(record):
    return record["fields"] if "fields" in record else bytes.fromhex(record["hex"])


@pytest.mark.parametrize("name", ("sample", SPRINT))
def test_items_equal_the_cli_jsonl(name, tmp_path):
    """Every item: identity, time, the values set and cleared, and every structure decoded
    into the CLI's fields (or its bytes where the CLI shows hex)."""
    path = path_of(name, tmp_path)
    rows = cli("--format", "jsonl", path).splitlines()
    items = tessavo.decode_file(path)
    count = 0
    for item, line in zip(items, rows):
        row = json.loads(line)
        count += 1
        assert item.index == row["index"]
        assert item.code_text == (row["command"] and f"cmd:{row['command']}" or row["log_code"])
        assert item.time.isoformat(timespec="microseconds")[:-6] + "Z" == row["time"]
        assert list(item.time_raw) == row["time_raw"] and f"0x{item.msg_code:08x}" == row["msg_code"]
        assert item.msg_name == row["msg_name"]
        assert item.params == {p["name"]: _scalar(p) for p in row["params"] if p["state"] == "fresh"}
        assert item.cleared == tuple(p["name"] for p in row["params"]
                                     if p["state"] in ("cleared", "retired"))
        assert item.struct_params == {s["name"]: _struct(s) for s in row["struct_params"]
                                      if s["state"] in ("fresh", "inherited")}
    assert count == len(rows) and next(items, None) is None


# Position text of log 0x1014 (6 bytes, longitude in 9 characters and latitude in 8, both in
# units of 10^-5 degree, two fields in 3), 0x102D with receive AGC 150 (150 / 3 - 148.581 dBm)
# and no finger, and a pilot sets reply (field 0x1234, one pilot per set, strengths in units
# of -0.5 dB).
POSITION = bytes(6) + b"-09712345" + b"03245678" + b"123-45" + b"\x01\x02"
POWER = bytes(13) + bytes([150, 120, 0xF6]) + bytes([0] * 5) + bytes([1, 0, 0]) + b"\xa5" * 4
POWER_153 = POWER[:13] + bytes([153]) + POWER[14:]  # 153 / 3 - 148.581 dBm
PILOTS = bytes([0x40, 0x34, 0x12, 1, 1, 1]) + bytes.fromhex("f00016002100 1c00 1500 1a00")
GPS_2016 = 1451606400 - 315964800 + 17  # 2016-01-01T00:00:00Z with 17 leap seconds
GPS_2017 = 1483228800 - 315964800 + 18  # 2017-01-01T00:00:00Z with 18
JUNE_2015 = 1435708800 - 315964800 + 16  # 2015-06-30T23:59:60, the 17th leap second


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


@pytest.mark.parametrize("gps,utc,leap", [
    (0, datetime(1980, 1, 6, tzinfo=timezone.utc), False),
    (JUNE_2015 - 1, datetime(2015, 6, 30, 23, 59, 59, tzinfo=timezone.utc), False),
    (JUNE_2015, datetime(2015, 6, 30, 23, 59, 59, tzinfo=timezone.utc), True),
    (JUNE_2015 + 1, datetime(2015, 7, 1, tzinfo=timezone.utc), False),
])
def test_item_times_in_utc(gps, utc, leap, tmp_path):
    path = tmp_path / "one.bin"
    path.write_bytes(frame(log_packet(0x102D, POWER, gps)))
    (item,) = tessavo.decode_file(path)
    assert (item.time, item.leap_second) == (utc, leap)
    assert tessavo.to_dataframe(path).index[0] == utc


def test_side_blocks_and_inherited_values():
    packets = [log_packet(0x102D, POWER, GPS_2016), log_packet(0x1014, POSITION, GPS_2016 + 1)]
    with tessavo.Decoder(inherited=True, blocks=("frame", "payload")) as decoder:
        power, position = decoder.feed(b"".join(map(frame, packets)))
    assert power.blocks["frame"] == frame(packets[0])
    assert position.blocks["payload"] == POSITION  # the log record after its header
    assert position.params == {} and position.inherited["rx_power"] == pytest.approx(-98.581)


def test_dtlog_text_on_its_own_item_and_the_last():
    # Two power reports a second apart, then a position fix (whose text is empty): each
    # report's text carries its own receive power, to two decimals.
    packets = [log_packet(0x102D, POWER, GPS_2016), log_packet(0x102D, POWER_153, GPS_2016 + 1),
               log_packet(0x1014, POSITION, GPS_2016 + 2)]
    for tail in (packets, packets[:2]):
        with tessavo.Decoder(dtlog=True) as decoder:
            items = [*decoder.feed(b"".join(map(frame, tail))), *decoder.finish()]
        texts = [item.blocks["dtlog"].split(b"\t")[:2] for item in items]
        assert texts[:2] == [[b"DM", b"-98.58"], [b"DM", b"-97.58"]]
        assert texts[2:] == ([[b""]] if len(tail) == 3 else [])


def _times(items):
    return [item.time_raw for item in items]


def _patterns(data):
    """Ways of feeding one stream: in 64 KB chunks iterated at once, fed without iterating
    then iterated, one item taken between feeds, and each chunk's iterator taken in reverse
    order of the chunks."""
    chunks = [data[i:i + 65536] for i in range(0, len(data), 65536)]

    def eager(d):
        return [item for chunk in chunks for item in d.feed(chunk)] + list(d.finish())

    def unread(d):
        for chunk in chunks:
            d.feed(chunk)
        return list(d.finish())

    def one_at_a_time(d):
        return [item for chunk in chunks for item in islice(d.feed(chunk), 1)] + list(d.finish())

    def reversed_iterators(d):
        iterators = [d.feed(chunk) for chunk in chunks]
        return [item for it in reversed(iterators) for item in it] + list(d.finish())

    return {"eager": eager, "unread": unread, "one_at_a_time": one_at_a_time,
            "reversed_iterators": reversed_iterators}


@pytest.mark.parametrize("name", ("sample", SPRINT))
@pytest.mark.parametrize("pattern", ("eager", "unread", "one_at_a_time", "reversed_iterators"))
def test_any_feeding_pattern_yields_every_item_once_in_order(name, pattern, tmp_path):
    path = path_of(name, tmp_path)
    expected = [tuple(json.loads(line)["time_raw"]) for line in cli("--format", "jsonl", path).splitlines()]
    with tessavo.Decoder() as decoder:
        items = _patterns(path.read_bytes())[pattern](decoder)
    assert _times(items) == expected
    assert [item.index for item in items] == list(range(len(expected)))


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


@pytest.mark.parametrize("call,error,message", [
    (lambda: tessavo.Decoder().feed(5), TypeError, "bytes-like object, not int"),
    (lambda: tessavo.Decoder(module=-1), ValueError, "unknown module type -1;"),
    (lambda: tessavo.Decoder("B999"), ValueError, "unknown module type 'B999'"),
    (lambda: tessavo.Decoder(module=1.5), TypeError, "not float"),
    (lambda: tessavo.Decoder(blocks=("body",)), ValueError, "unknown blocks"),
])
def test_bad_arguments(call, error, message):
    with pytest.raises(error, match=re.escape(message)):
        call()


def test_bad_files_and_closed_decoders(tmp_path):
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
    decoder = tessavo.Decoder()
    decoder.close()
    with pytest.raises(ValueError, match="closed"):
        decoder.feed(b"\x7e")
    finished = tessavo.Decoder()
    list(finished.finish())
    with pytest.raises(ValueError, match="finished"):
        finished.feed(b"\x7e")


@pytest.mark.parametrize("suffix,command", [(".gz", ["gzip", "-c"]), (".xz", ["xz", "-c"]),
                                            (".zst", ["zstd", "-q", "-c"])])
def test_compressed_captures_give_the_items_of_the_raw_one(suffix, command, tmp_path):
    packed = tmp_path / ("sample.bin" + suffix)
    try:
        packed.write_bytes(subprocess.run(command + [str(SAMPLE)], check=True,
                                          capture_output=True).stdout)
    except FileNotFoundError:
        pytest.skip(f"{command[0]} is not installed")
    assert _times(tessavo.decode_file(packed)) == _times(tessavo.decode_file(SAMPLE))


def _python(code, *args, env=None, cwd=None):
    return subprocess.run([sys.executable, "-c", code, *map(str, args)], env=env, cwd=cwd,
                          capture_output=True, text=True, timeout=300)


def test_installed_package_in_the_interpreters_site_folder(tmp_path):
    subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(tmp_path)], check=True,
                   capture_output=True)
    site = _python("import sysconfig; print(sysconfig.get_path('purelib'))").stdout.strip()
    # The installation mirrors the interpreter's site folder below the prefix (Debian:
    # /usr/local/lib/python3.X/dist-packages for the default prefix /usr/local).
    relative = os.path.relpath(site, "/usr/local") if site.startswith("/usr/local/") else None
    (package,) = tmp_path.glob("lib*/python3*/*-packages/tessavo")
    if relative:
        assert package.parent == tmp_path / relative
    env = {k: v for k, v in os.environ.items() if k not in ("LD_LIBRARY_PATH", "PYTHONPATH")}
    env["PYTHONPATH"] = str(package.parent)
    code = ("import sys, tessavo; print(tessavo.__file__); "
            "print(sum(1 for _ in tessavo.decode_file(sys.argv[1])))")
    result = _python(code, SAMPLE, env=env, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    where, count = result.stdout.split()
    assert where.startswith(str(tmp_path)) and int(count) == sum(1 for _ in tessavo.decode_file(SAMPLE))


def test_import_without_the_extension_says_what_to_build(tmp_path):
    package = tmp_path / "tessavo"
    package.mkdir()
    for source in (ROOT / "python" / "tessavo").glob("*.py"):
        (package / source.name).write_text(source.read_text())
    env = {**os.environ, "PYTHONPATH": str(tmp_path)}
    result = _python("import tessavo", env=env, cwd=tmp_path)
    assert result.returncode == 1 and "--target tessavo_python" in result.stderr
