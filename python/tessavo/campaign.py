"""A whole campaign of captures decoded in parallel on a Dask cluster.

    python3 -m tessavo.campaign DIR -o OUT [--scheduler ADDR] [--format csv|jsonl]

Each capture is one Dask task with a decoder object of its own. It writes OUT/<capture
name>.csv (the wide table of `to_dataframe`) or .jsonl (one object per item) and returns a
summary row: items per log code, time span, frames and bad frames (a CRC that does not
verify, or a frame too long for the library). A capture that fails is reported in its row
(column `error`) and the others go on. Without a client or scheduler address a LocalCluster
is started on this machine's cores; with an address the same code runs on that cluster,
whose workers must be able to import this package and read the captures.
"""

import argparse
import binascii
import json
import os
import sys
from collections import Counter
from pathlib import Path

import pandas as pd

from . import _tables
from .dataframe import to_dataframe
from .decoder import decode_file

FORMATS = ("csv", "jsonl")
_REVERSED = bytes(int(f"{b:08b}"[::-1], 2) for b in range(256))


def crc16_x25(data):
    """CRC-16/X.25 of the DIAG frames (the reflected CCITT polynomial computed by the
    unreflected one over bit-reversed bytes, its result reversed back)."""
    crc = binascii.crc_hqx(data.translate(_REVERSED), 0xFFFF)
    return int(f"{crc:016b}"[::-1], 2) ^ 0xFFFF


def scan_frames(data):
    """Counts of the 0x7E-terminated frames of a byte stream: all, bad CRC, too long."""
    pieces = data.split(b"\x7e")[:-1]  # what follows the last 0x7E is no frame
    counts = Counter(frames=0, bad_crc=0, oversized=0)
    for piece in pieces:
        if not piece:
            continue
        counts["frames"] += 1
        if len(piece) + 1 >= _tables.MAX_FRAME_LENGTH:
            counts["oversized"] += 1
            continue
        packet = piece.replace(b"\x7d\x5e", b"\x7e").replace(b"\x7d\x5d", b"\x7d")
        compact = (len(packet) >= 8 and packet[0] == _tables.LOG_COMMAND
                   and int.from_bytes(packet[6:8], "little") == _tables.COMPACT_LOG_CODE)
        if not compact and (len(packet) < 3 or
                            crc16_x25(packet[:-2]) != int.from_bytes(packet[-2:], "little")):
            counts["bad_crc"] += 1
    return dict(counts)


def _replace(target, write):
    partial = target.with_name(target.name + ".partial")
    write(partial)
    os.replace(partial, target)


def _jsonable(value):
    if isinstance(value, bytes):
        return value.hex()
    if isinstance(value, dict):
        return {k: _jsonable(v) for k, v in value.items()}
    if isinstance(value, list):
        return [_jsonable(v) for v in value]
    return value


def decode_capture(path, output, fmt="csv", module="B101"):
    """Decodes one capture into `output` and returns its summary row (raises on failure)."""
    path, output = Path(path), Path(output)
    with open(path, "rb") as capture:
        frames = scan_frames(capture.read())
    if fmt == "csv":
        frame = to_dataframe(path, module=module)
        codes = frame["log_code"].astype(str).value_counts().to_dict() if len(frame) else {}
        first, last = (frame["time"].iloc[0], frame["time"].iloc[-1]) if len(frame) else (None,) * 2
        table = frame.assign(msg_code=frame["msg_code"].map("0x{:08x}".format))
        _replace(output, lambda target: table.to_csv(
            target, index=False, date_format="%Y-%m-%dT%H:%M:%S.%fZ"))
        items = len(frame)
    else:
        codes, first, last, items = Counter(), None, None, 0

        def write(target):
            nonlocal first, last, items
            with open(target, "w", encoding="utf-8") as out:
                for item in decode_file(path, module=module):
                    first = first or item.time
                    last, items = item.time, items + 1
                    codes[item.code_text] += 1
                    row = {"index": item.index, "time": item.time.isoformat(),
                           "time_raw": item.time_raw, "msg_code": item.msg_code,
                           "log_code": item.log_code, "command": item.command,
                           "direction": item.direction, "params": item.params,
                           "cleared": item.cleared, "struct_params": item.struct_params}
                    out.write(json.dumps(_jsonable(row)) + "\n")

        _replace(output, write)
    return {"capture": str(path), "output": str(output), "items": items,
            "first_time": first, "last_time": last,
            "span_s": (last - first).total_seconds() if items else 0.0,
            "frames": frames["frames"], "bad_frames": frames["bad_crc"] + frames["oversized"],
            "error": None, **{f"items_{code}": n for code, n in codes.items()}}


def _task(path, output, fmt, module):
    try:
        return decode_capture(path, output, fmt, module)
    except Exception as error:  # reported in the summary; the campaign goes on
        return _failed(path, error)


def _failed(path, error):
    return {"capture": str(path), "output": None, "items": 0, "error":
            f"{type(error).__name__}: {error}"}


def _outputs(paths, out_dir, fmt):
    names, outputs = Counter(), []
    for path in paths:
        name = Path(path).name
        names[name] += 1
        stem = name if names[name] == 1 else f"{name}-{names[name]}"
        outputs.append(Path(out_dir) / f"{stem}.{fmt}")
    return outputs


def decode_campaign(paths, client=None, out_dir=".", fmt="csv", module="B101", workers=None):
    """Decodes every capture on the cluster of `client` (a distributed.Client, or a
    scheduler address), or on a LocalCluster of `workers` processes (default: the cores)
    when none is given. Returns the summary DataFrame, one row per capture in order."""
    from distributed import Client, LocalCluster

    if fmt not in FORMATS:
        raise ValueError(f"format is one of {', '.join(FORMATS)}")
    paths = [str(p) for p in paths]
    outputs = _outputs(paths, out_dir, fmt)
    Path(out_dir).mkdir(parents=True, exist_ok=True)
    own = []
    if client is None or isinstance(client, str):
        if client is None:
            cluster = LocalCluster(n_workers=workers or os.cpu_count(), threads_per_worker=1,
                                   processes=True, dashboard_address=None)
            own.append(cluster)
        client = Client(client or cluster)
        own.insert(0, client)
    try:
        futures = client.map(_task, paths, [str(o) for o in outputs], [fmt] * len(paths),
                             [module] * len(paths), pure=False)
        rows = []
        for path, future in zip(paths, futures):
            try:
                rows.append(future.result())
            except Exception as error:  # the task itself was lost (a worker died)
                rows.append(_failed(path, error))
    finally:
        for resource in own:
            resource.close()
    summary = pd.DataFrame(rows)
    counts = sorted(c for c in summary.columns if c.startswith("items_"))
    summary[counts] = summary[counts].fillna(0).astype("int64")
    for column in ("frames", "bad_frames"):
        summary[column] = summary.get(column, pd.Series(dtype=float)).astype("Int64")
    fixed = ["capture", "output", "items", "first_time", "last_time", "span_s", "frames",
             "bad_frames", "error"]
    return summary.reindex(columns=fixed + counts)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tessavo.campaign", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("captures", nargs="+",
                        help="capture files, or folders whose files are all captures")
    parser.add_argument("-o", "--output", required=True, help="folder of the outputs")
    parser.add_argument("--scheduler", help="address of a Dask scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, help="local worker processes (default: cores)")
    parser.add_argument("--format", choices=FORMATS, default="csv")
    parser.add_argument("--module", default="B101", help="module type (default B101)")
    args = parser.parse_args(argv)
    paths = []
    for given in map(Path, args.captures):
        paths += sorted(p for p in given.iterdir() if p.is_file()) if given.is_dir() else [given]
    summary = decode_campaign(paths, client=args.scheduler, out_dir=args.output,
                              fmt=args.format, module=args.module, workers=args.workers)
    target = Path(args.output) / "summary.csv"
    summary.to_csv(target, index=False)
    shown = summary[["capture", "items", "span_s", "frames", "bad_frames", "error"]]
    print(shown.astype(object).fillna("").to_string(index=False))
    print(f"summary: {target}")
    return 1 if summary["error"].notna().any() else 0


if __name__ == "__main__":
    sys.exit(main())
