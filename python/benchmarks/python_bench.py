"""The Python package's figures as a user pays them, next to tessavo-decode's.

    PYTHONPATH=build/python /usr/bin/python3 python/benchmarks/python_bench.py \
        [--capture sprint_2015.mi2log] [--build build] [--campaign 1000]

Every measurement runs in a process of its own (its peak resident memory is the kernel's
ru_maxrss; an interpreter that only imports tessavo and pandas is the baseline), on
concatenations of the capture made under BUILD/bench-python (x10 and x100). Rows:

- iter_dataframes(rows=100_000) over x10 and x100: peak memory (the two should be within
  20 % of each other);
- to_dataframe, all columns and two parameters, on x100: time against the CLI's CSV of the
  same columns, peak memory above the baseline against the frame's memory_usage(deep=True);
- decode_file (one Item per report item) on the capture against the CLI's JSON lines;
- a campaign of generated captures (pieces of the capture and of the sample, of varied
  lengths) on a two-worker LocalCluster, on `dask scheduler` + two `dask worker` processes,
  and as one CLI process per capture under GNU parallel -j 2: MB/s per worker.

No figure is asserted; the goals of each row are printed beside it.
"""

import argparse
import json
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CAPTURES = next((p for p in (ROOT.parent / "shared" / "captures",
                             ROOT.parents[1] / "shared" / "captures") if p.exists()),
                ROOT.parent / "shared" / "captures")
# Imported before the clock starts: a user's program has them loaded already.
BASE = "import tessavo, pandas"

# Child programs: each prints one JSON object.
CHILD = {
    "baseline": "result = {}",
    "iter": """
rows = 0
for frame in tessavo.iter_dataframes(path, rows=100_000):
    rows += len(frame)
result = {"rows": rows}""",
    "frame": """
frame = tessavo.to_dataframe(path, params=params)
result = {"rows": len(frame), "columns": frame.shape[1],
          "frame_bytes": int(frame.memory_usage(deep=True).sum())}""",
    "items": """
result = {"items": sum(1 for _ in tessavo.decode_file(path))}""",
}


def run_child(kind, path=None, params=None, env=None):
    code = f"import json, sys, time\n{BASE}\npath, params = {str(path)!r}, {params!r}\n" \
           f"started = time.perf_counter()\n{CHILD[kind]}\n" \
           "result['seconds'] = time.perf_counter() - started\n" \
           "import resource\nresult['peak'] = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024\n" \
           "print(json.dumps(result))"
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True,
                         env=env)
    return json.loads(out.stdout.splitlines()[-1])


def timed(command):
    started = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - started


def concatenation(capture, times, folder):
    target = folder / f"{capture.stem}_x{times}.bin"
    if not target.exists() or target.stat().st_size != capture.stat().st_size * times:
        data = capture.read_bytes()
        with open(target, "wb") as out:
            for _ in range(times):
                out.write(data)
    return target


def mb(value):
    return f"{value / 1e6:,.0f} MB"


def memory_rows(capture, folder, baseline):
    print("\n## iter_dataframes(rows=100_000): peak memory against the capture's size")
    peaks = {}
    for times in (10, 100):
        path = concatenation(capture, times, folder)
        result = run_child("iter", path)
        peaks[times] = result["peak"]
        print(f"x{times:<4} {mb(path.stat().st_size):>9}  {result['rows']:>10,} rows  "
              f"{result['seconds']:7.1f} s  peak {mb(result['peak'])} "
              f"({mb(result['peak'] - baseline)} above the interpreter)")
    ratio = peaks[100] / peaks[10]
    print(f"x100 / x10 peak: {ratio:.2f} (goal: within 1.2)")


def frame_rows(capture, folder, cli, baseline):
    path = concatenation(capture, 100, folder)
    print(f"\n## to_dataframe on x100 ({mb(path.stat().st_size)}) against the CLI's CSV")
    with tempfile.TemporaryDirectory() as scratch:
        for label, params in (("all columns", None), ("two parameters", ["tx_power", "rx_power"])):
            result = run_child("frame", path, params)
            selection = ["--params", ",".join(params)] if params else []
            tool = timed([cli, "-q", "--format", "csv", *selection, "-o",
                          os.path.join(scratch, "out.csv"), str(path)])
            above = result["peak"] - baseline
            print(f"{label:15} {result['rows']:,} x {result['columns']}: "
                  f"{result['seconds']:.1f} s (CLI CSV {tool:.1f} s, ratio "
                  f"{result['seconds'] / tool:.2f}, goal 2); peak {mb(result['peak'])}, "
                  f"{mb(above)} above the interpreter for a frame of "
                  f"{mb(result['frame_bytes'])} (ratio {above / max(result['frame_bytes'], 1):.2f}, goal 2)")


def item_rows(capture, cli):
    print(f"\n## decode_file on {capture.name} against the CLI's JSON lines")
    result = min((run_child("items", capture) for _ in range(3)), key=lambda r: r["seconds"])
    with tempfile.TemporaryDirectory() as scratch:
        tool = min(timed([cli, "-q", "--format", "jsonl", "-o", os.path.join(scratch, "o.jsonl"),
                          str(capture)]) for _ in range(3))
    print(f"{result['items']:,} items: {result['seconds']:.2f} s, best of 3 (CLI JSONL {tool:.2f} s, "
          f"ratio {result['seconds'] / tool:.2f}, goal 3)")


def campaign_captures(capture, sample, count, folder):
    """`count` captures cut from the capture and the sample at frame ends, 50 KB to 1 MB."""
    target = folder / f"campaign_{count}"
    if target.exists() and len(list(target.iterdir())) == count:
        return sorted(target.iterdir())
    shutil.rmtree(target, ignore_errors=True)
    target.mkdir(parents=True)
    sources = [capture.read_bytes(), sample.read_bytes()]
    chance = random.Random(27)
    for i in range(count):
        data = sources[i % 2]
        start = data.find(b"\x7e", chance.randrange(len(data) // 2)) + 1
        end = data.find(b"\x7e", min(len(data) - 1, start + chance.randrange(50_000, 1_000_000)))
        (target / f"capture_{i:04}.bin").write_bytes(data[start:end + 1 if end > 0 else None])
    return sorted(target.iterdir())


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def campaign_rows(capture, count, folder, cli):
    paths = campaign_captures(capture, ROOT / "samples" / "drive_test.bin", count, folder)
    size = sum(p.stat().st_size for p in paths)
    print(f"\n## campaign of {count} captures ({mb(size)}), two workers, MB/s per worker")
    out = folder / "campaign_out"
    rates = {}
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir()
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as listing:
        listing.write("".join(f"{p}\n" for p in paths))
        listing.flush()
        seconds = timed(["parallel", "-j", "2", "--arg-file", listing.name, cli, "-q",
                         "--format", "csv", "-o", f"{out}/{{/}}.csv", "{}"])
    rates["GNU parallel -j 2, one CLI per capture"] = size / seconds / 2

    from distributed import Client, LocalCluster

    from tessavo.campaign import decode_campaign

    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        started = time.perf_counter()
        summary = decode_campaign(paths, client=client, out_dir=out)
        rates["LocalCluster, two worker processes"] = size / (time.perf_counter() - started) / 2
    assert summary["error"].isna().all()

    port = free_port()
    address = f"tcp://127.0.0.1:{port}"
    processes = [subprocess.Popen(["dask", "scheduler", "--host", "127.0.0.1", "--port", str(port),
                                   "--dashboard-address", ":0"], stderr=subprocess.DEVNULL)]
    try:
        processes += [subprocess.Popen(["dask", "worker", address, "--nthreads", "1",
                                        "--no-dashboard"], stderr=subprocess.DEVNULL)
                      for _ in range(2)]
        with Client(address, timeout=60) as client:
            client.wait_for_workers(2, timeout=120)
            started = time.perf_counter()
            decode_campaign(paths, client=client, out_dir=out)
            rates["dask scheduler + two dask worker processes"] = \
                size / (time.perf_counter() - started) / 2
    finally:
        for process in reversed(processes):
            process.terminate()
            process.wait(timeout=60)
    started = time.perf_counter()
    decode_campaign(paths, out_dir=out, workers=2)
    rates["no cluster given: two threads in process"] = size / (time.perf_counter() - started) / 2
    reference = rates["GNU parallel -j 2, one CLI per capture"]
    for label, rate in rates.items():
        print(f"{label:45} {rate / 1e6:6.1f} MB/s per worker  ({reference / rate:.2f}x the time "
              f"of GNU parallel; goal 1.3)")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--capture", type=Path, default=CAPTURES / "sprint_2015.mi2log")
    parser.add_argument("--build", type=Path, default=ROOT / "build")
    parser.add_argument("--campaign", type=int, default=1000, help="captures (0: no campaign)")
    args = parser.parse_args()
    if not args.capture.exists():
        print(f"python_bench.py: {args.capture} is absent; name a capture with --capture",
              file=sys.stderr)
        return 2
    for program in ("parallel", "dask"):
        if args.campaign and shutil.which(program) is None:
            print(f"python_bench.py: {program} is not installed (scripts/install-deps.sh)",
                  file=sys.stderr)
            return 2
    os.environ.setdefault("TZ", "CST-8")
    folder = args.build / "bench-python"
    folder.mkdir(parents=True, exist_ok=True)
    cli = str(args.build / "tools" / "tessavo-decode")
    baseline = run_child("baseline")["peak"]
    print(f"capture {args.capture} ({mb(args.capture.stat().st_size)}); an interpreter with "
          f"tessavo and pandas imported peaks at {mb(baseline)}")
    memory_rows(args.capture, folder, baseline)
    frame_rows(args.capture, folder, cli, baseline)
    item_rows(args.capture, cli)
    if args.campaign:
        campaign_rows(args.capture, args.campaign, folder, cli)
    return 0


if __name__ == "__main__":
    sys.exit(main())
