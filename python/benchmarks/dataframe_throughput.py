"""Throughput of tessavo.to_dataframe against `tessavo-decode --format csv` on one capture.

    PYTHONPATH=build/python /usr/bin/python3 python/benchmarks/dataframe_throughput.py [CAPTURE] [--build build]

Each side runs --runs times, alternately; the best run counts. The tool's time includes its
start and its first pass (the columns), the DataFrame's the whole call. The target is a
ratio of at least 0.5 (the exit status is 1 below it).
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import tessavo

ROOT = Path(__file__).resolve().parents[2]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("capture", nargs="?",
                        default=ROOT.parent / "shared" / "captures" / "sprint_2015.mi2log")
    parser.add_argument("--build", default=ROOT / "build", type=Path)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    size = os.path.getsize(args.capture)
    tool, python = [], []
    with tempfile.TemporaryDirectory() as scratch:
        command = [str(args.build / "tools" / "tessavo-decode"), "-q", "--format", "csv",
                   "-o", os.path.join(scratch, "out.csv"), str(args.capture)]
        for _ in range(args.runs):
            start = time.perf_counter()
            subprocess.run(command, check=True)
            tool.append(time.perf_counter() - start)
            start = time.perf_counter()
            frame = tessavo.to_dataframe(args.capture)
            python.append(time.perf_counter() - start)
    items = len(frame)
    print(f"capture        {args.capture} ({size} bytes, {items} items, {frame.shape[1]} columns)")
    for name, times in (("tessavo-decode", tool), ("to_dataframe", python)):
        best = min(times)
        print(f"{name:15}{best:.3f} s best of {len(times)}, {items / best:,.0f} items/s, "
              f"{size / best / 1e6:.2f} MB/s")
    ratio = min(tool) / min(python)
    print(f"ratio          {ratio:.2f} of the tool's throughput (target 0.50)")
    return 0 if ratio >= 0.5 else 1


if __name__ == "__main__":
    sys.exit(main())
