"""A whole campaign of captures decoded in parallel on a Dask cluster.

    python3 -m tessavo.campaign DIR -o OUT [--scheduler ADDR] [--format csv|jsonl]

Each capture is one Dask task with a decoder object of its own. It writes OUT/<capture
name>.csv (the wide table of `tessavo-decode --format csv`, by the same writer) or .jsonl
(the CLI's JSON lines) and returns a summary row: items per log code, time span, frames and
bad frames (a CRC that does not verify, or a frame too long for the library). Compressed
captures (gzip, xz, zstd) are decoded; a file in which no frame, or fewer than half of at
least 100, passes its check is no DIAG capture: it is reported (column `skipped`) and
left. A capture that fails is reported in its row (column `error`) and the others go on.

Without a client or scheduler address the captures are decoded on the threads of one
worker in this process (the decoding runs without the interpreter lock), so no process is
started and a script without a main guard cannot start itself again. With an address the
same code runs on that cluster, whose workers must be able to import this package and read
the captures.
"""

import argparse
import multiprocessing
import os
import sys
import time
from collections import Counter
from contextlib import contextmanager
from pathlib import Path

import pandas as pd

from . import _decode
from .decoder import module_type, read_chunks

FORMATS = ("csv", "jsonl")
NOT_A_CAPTURE = "not a DIAG capture"
# Fewer good frames than this share, over at least the count, is no DIAG capture.
_GOOD_SHARE, _FRAMES_JUDGED = 0.5, 100


def is_capture(frames, bad_frames):
    """Whether frame counts are those of a DIAG capture."""
    good = frames - bad_frames
    return good > 0 and (frames < _FRAMES_JUDGED or good >= _GOOD_SHARE * frames)


def decode_capture(path, output, fmt="csv", module="B101"):
    """Decodes one capture into `output` and returns its summary row (raises on failure)."""
    path, output = Path(path), Path(output)
    partial = output.with_name(output.name + ".partial")
    job = _decode.CaptureJob(str(partial), fmt, module_type(module))
    try:
        for chunk in read_chunks(path, 1 << 20):
            job.feed(chunk)
        counts = job.finish()
    except BaseException:
        partial.unlink(missing_ok=True)
        raise
    row = {"capture": str(path), "output": str(output), "skipped": None, "error": None}
    by_code = counts.pop("items_by_code")
    if not is_capture(counts["frames"], counts["bad_frames"]):
        partial.unlink()
        row.update(counts, output=None, skipped=NOT_A_CAPTURE)
        return row
    os.replace(partial, output)
    row.update(counts)
    row.update({f"items_{code}": n for code, n in by_code.items()})
    return row


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


def _refuse_in_spawned_worker():
    # A process started by "spawn" or "forkserver" imports the main script as __mp_main__
    # while it is still inheriting its parent's state: a call at the script's top level
    # would start a cluster from inside its own worker.
    main = sys.modules.get("__main__")
    if getattr(multiprocessing.current_process(), "_inheriting", False) or \
            getattr(main, "__name__", "") == "__mp_main__":
        raise RuntimeError(
            "decode_campaign was called while a new worker process imported the script that "
            "calls it; put the call under `if __name__ == \"__main__\":`")


class _Progress:
    """A one-line progress bar on standard error when it is a terminal."""

    def __init__(self, total):
        self.total, self.done, self.bytes = total, 0, 0
        self.started = time.monotonic()
        self.shown = sys.stderr.isatty()

    def update(self, row):
        self.done += 1
        self.bytes += row.get("bytes") or 0
        if self.shown:
            width = 30
            filled = width * self.done // max(self.total, 1)
            rate = self.bytes / 1e6 / max(time.monotonic() - self.started, 1e-9)
            print(f"\r[{'#' * filled}{'.' * (width - filled)}] {self.done}/{self.total} "
                  f"captures, {rate:.1f} MB/s", end="", file=sys.stderr, flush=True)

    def close(self):
        if self.shown:
            print(file=sys.stderr)


@contextmanager
def cluster_client(client=None, workers=None):
    """A distributed.Client: `client` itself, a client of the scheduler at that address, or
    (None) one of a worker in this process with `workers` threads (default: the cores).
    What is opened here is closed at the end."""
    from distributed import Client, LocalCluster

    if client is not None and not isinstance(client, str):
        yield client
        return
    own = []
    try:
        if client is None:
            cluster = LocalCluster(n_workers=1, threads_per_worker=workers or os.cpu_count(),
                                   processes=False, dashboard_address=None)
            own.append(cluster)
        own.insert(0, Client(client or cluster))
        yield own[0]
    finally:
        for resource in own:
            resource.close()


def map_captures(function, calls, client=None, workers=None, on_result=None):
    """[function(*call) for call in calls], each call (a capture's path, then the function's
    other arguments) one Dask task on the cluster of `client` (as cluster_client takes it);
    `on_result(row)` sees each result as it comes. A call that raises, or is lost with its
    worker, gives `_failed(path, error)` in its place."""
    from distributed import as_completed

    _refuse_in_spawned_worker()
    calls = [(str(path), *rest) for path, *rest in calls]
    rows = [None] * len(calls)
    with cluster_client(client, workers) as live:
        futures = [live.submit(_guarded, function, *call, pure=False) for call in calls]
        place = {future.key: i for i, future in enumerate(futures)}
        for future in as_completed(futures):
            i = place[future.key]
            try:
                rows[i] = future.result()
            except Exception as error:  # the task itself was lost (a worker died)
                rows[i] = _failed(calls[i][0], error)
            if on_result:
                on_result(rows[i])
    return rows


def _guarded(function, path, *args):
    try:
        return function(path, *args)
    except Exception as error:  # reported in its row; the campaign goes on
        return _failed(path, error)


def capture_paths(given):
    """The captures named: files as given, folders as the files in them, sorted."""
    paths = []
    for path in map(Path, given):
        paths += sorted(p for p in path.iterdir() if p.is_file()) if path.is_dir() else [path]
    return paths


def decode_campaign(paths, client=None, out_dir=".", fmt="csv", module="B101", workers=None):
    """Decodes every capture on the cluster of `client` (a distributed.Client, or a
    scheduler address), or on `workers` threads (default: the cores) of a worker in this
    process when none is given. Returns the summary DataFrame, one row per capture in
    order."""
    _refuse_in_spawned_worker()
    if fmt not in FORMATS:
        raise ValueError(f"format is one of {', '.join(FORMATS)}")
    module_type(module)
    paths = [str(p) for p in paths]
    outputs = _outputs(paths, out_dir, fmt)
    Path(out_dir).mkdir(parents=True, exist_ok=True)
    progress = _Progress(len(paths))
    rows = map_captures(decode_capture,
                        [(p, str(o), fmt, module) for p, o in zip(paths, outputs)],
                        client=client, workers=workers, on_result=progress.update)
    progress.close()
    summary = pd.DataFrame(rows)
    counts = sorted(c for c in summary.columns if c.startswith("items_"))
    summary[counts] = summary[counts].fillna(0).astype("int64")
    for column in ("frames", "bad_frames", "bytes"):
        summary[column] = summary.get(column, pd.Series(dtype=float)).astype("Int64")
    fixed = ["capture", "output", "items", "bytes", "first_time", "last_time", "span_s",
             "frames", "bad_frames", "skipped", "error"]
    return summary.reindex(columns=fixed + counts)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tessavo.campaign", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("captures", nargs="+",
                        help="capture files, or folders whose files are all captures")
    parser.add_argument("-o", "--output", required=True, help="folder of the outputs")
    parser.add_argument("--scheduler", help="address of a Dask scheduler (tcp://host:8786)")
    parser.add_argument("--workers", type=int, help="local worker threads (default: cores)")
    parser.add_argument("--format", choices=FORMATS, default="csv")
    parser.add_argument("--module", default="B101", help="module type (default B101)")
    args = parser.parse_args(argv)
    summary = decode_campaign(capture_paths(args.captures), client=args.scheduler, out_dir=args.output,
                              fmt=args.format, module=args.module, workers=args.workers)
    target = Path(args.output) / "summary.csv"
    summary.to_csv(target, index=False)
    shown = summary[["capture", "items", "span_s", "frames", "bad_frames", "skipped", "error"]]
    print(shown.astype(object).fillna("").to_string(index=False))
    print(f"summary: {target}")
    return 1 if summary["error"].notna().any() else 0


if __name__ == "__main__":
    sys.exit(main())
