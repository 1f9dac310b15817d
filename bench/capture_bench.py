#!/usr/bin/env python3
"""Live capture measured end to end: tessavo-sim replays a capture at full speed (looping)
over a pseudo-terminal and over TCP into tessavo-capture, which records it (-w), decodes it
into JSON lines on a pipe and keeps the live view on.

Reported per link:
  MB/s, items/s   sustained over the run (recorded bytes, JSON lines)
  CPU s per MB    tessavo-capture's user + system time per MB recorded
  latency         from the simulator writing a frame's last byte to its JSON line being read
                  here (both CLOCK_MONOTONIC), median and 99th percentile; once at full speed
                  (queues full, so it includes the time spent waiting in the port's buffers)
                  and once paced at --paced-speed times the capture's own pace.

A handset sends tens of KB/s; the goal is 100 times that with the live view on, and a 99th
percentile latency under 100 ms. Nothing here asserts: it prints what it measured.
"""
import argparse
import bisect
import collections
import os
import subprocess
import sys
import tempfile
import time

HEAD_HEX = 24  # record length, log code and time stamp: the first 12 bytes of the OutFile record


def start_sim(args, work, link, speed):
    timing = os.path.join(work, f"timing-{link}-{speed}.log")
    cmd = [args.sim, args.capture, "--speed", speed, "--loop", "--timing-log", timing]
    cmd += ["--pty"] if link == "pty" else ["--tcp", "0"]
    sim = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = sim.stdout.readline()
    where = line.split()[-1]
    port = ["--serial", where] if link == "pty" else ["--tcp", where]
    return sim, port, timing


def run(args, work, link, speed):
    sim, port, timing = start_sim(args, work, link, speed)
    record = os.path.join(work, f"record-{link}-{speed}.bin")
    cmd = [args.capture_tool, *port, "-w", record, "--force", "--format", "jsonl", "--outfile",
           "--live", "--duration", str(args.seconds)]
    started = time.monotonic()
    capture = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    arrivals = []  # (monotonic ns, record head hex)
    for line in capture.stdout:
        now = time.monotonic_ns()
        # Only the OutFile record's head is needed; finding it is cheaper than parsing the
        # line, so this reader keeps up with the tool.
        at = line.find(b'"outfile":"')
        if at >= 0 and b'"log_code":null' not in line:
            at += len('"outfile":"')
            arrivals.append((now, line[at:at + HEAD_HEX].decode()))
    _, status, usage = os.wait4(capture.pid, 0)
    wall = time.monotonic() - started
    sim.terminate()
    sim.wait()
    sends = collections.defaultdict(list)  # head -> send times, ascending
    with open(timing) as f:
        for line in f:
            ns, *head = line.split()
            sends["".join(head)].append(int(ns))
    latencies = []
    for now, head in arrivals:
        # The frame an item comes from is the latest one with its head sent before the item
        # arrived (a looping replay sends every head again each round).
        times = sends.get(head, [])
        i = bisect.bisect_right(times, now)
        if i:
            latencies.append((now - times[i - 1]) / 1e6)
    latencies.sort()
    size = os.path.getsize(record)
    mb = size / 1e6
    cpu = usage.ru_utime + usage.ru_stime

    def pct(p):
        return latencies[min(len(latencies) - 1, int(p * len(latencies)))] if latencies else float("nan")

    return {
        "link": link, "speed": speed, "status": os.waitstatus_to_exitcode(status), "seconds": wall,
        "MB": mb, "MB/s": mb / wall, "items": len(arrivals), "items/s": len(arrivals) / wall,
        "cpu_s_per_MB": cpu / mb if mb else float("nan"), "cpu_share": cpu / wall,
        "latency_ms_p50": pct(0.50), "latency_ms_p99": pct(0.99), "matched": len(latencies),
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.path.join(root, "build"))
    parser.add_argument("--capture", default=os.path.join(root, "samples", "drive_test.bin"))
    parser.add_argument("--seconds", type=float, default=8)
    parser.add_argument("--paced-speed", default="20")
    args = parser.parse_args()
    args.sim = os.path.join(args.build, "tools", "tessavo-sim", "tessavo-sim")
    args.capture_tool = os.path.join(args.build, "tools", "tessavo-capture", "tessavo-capture")
    print(f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} CPUs (the rates are shares of what other processes leave)")
    rows = []
    with tempfile.TemporaryDirectory(prefix="tessavo_capture_bench_") as work:
        for link in ("pty", "tcp"):
            for speed in ("max", args.paced_speed):
                rows.append(run(args, work, link, speed))
    keys = ["link", "speed", "status", "MB/s", "items/s", "cpu_s_per_MB", "cpu_share", "latency_ms_p50",
            "latency_ms_p99", "items", "matched"]
    print("  ".join(f"{k:>14}" for k in keys))
    for row in rows:
        print("  ".join(f"{row[k]:>14.3f}" if isinstance(row[k], float) else f"{row[k]:>14}" for k in keys))
    return 0


if __name__ == "__main__":
    sys.exit(main())
