"""The campaign on a real Dask cluster (a LocalCluster, and a `dask scheduler` with `dask
worker` processes), a script without a main guard, and the plot."""

import os
import pty
import random
import re
import shutil
import socket
import subprocess
import sys
import time
from contextlib import contextmanager

import pandas as pd
import pytest
from distributed import LocalCluster

from conftest import CAPTURE_NAMES, ROOT, SAMPLE, capture, cli
from tessavo import campaign, plot


def _items(path):
    return int(re.search(rb"report items +(\d+)", cli("--format", "summary", path))[1])


def _folder(tmp_path):
    """Captures (raw and compressed), two text files, random bytes and a missing file."""
    folder = tmp_path / "drive"
    folder.mkdir()
    shutil.copy(SAMPLE, folder / "sample.bin")
    (folder / "sample.bin.gz").write_bytes(subprocess.run(
        ["gzip", "-c", str(SAMPLE)], check=True, capture_output=True).stdout)
    (folder / "README.md").write_text("# Drive of 14 May\n\nCaptures of the drive.\n" * 50)
    (folder / "FIELDS.md").write_text("| field | meaning |\n|---|---|\n| rx | power |\n" * 50)
    (folder / "random.bin").write_bytes(random.Random(9).randbytes(100_000))
    return folder


@contextmanager
def _command_line_cluster(workers=2):
    """`dask scheduler` and `dask worker` processes on 127.0.0.1, stopped at the end."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    address = f"tcp://127.0.0.1:{port}"
    dask = [sys.executable, "-m", "distributed.cli.dask_scheduler"]
    processes = [subprocess.Popen(dask + ["--host", "127.0.0.1", "--port", str(port),
                                          "--dashboard-address", ":0"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    try:
        for _ in range(workers):
            processes.append(subprocess.Popen(
                [sys.executable, "-m", "distributed.cli.dask_worker", address, "--nthreads",
                 "1", "--no-dashboard"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        from distributed import Client
        with Client(address, timeout=60) as client:
            client.wait_for_workers(workers, timeout=120)
        yield address
    finally:
        for process in reversed(processes):
            process.terminate()
            process.wait(timeout=60)


@pytest.mark.parametrize("cluster", ("local", "command line"))
def test_campaign_reports_every_capture_skips_text_and_names_the_failing_one(cluster, tmp_path):
    folder = _folder(tmp_path)
    captures = [capture(name) for name in CAPTURE_NAMES] if cluster == "local" else []
    missing = tmp_path / "missing.qmdl"
    out = tmp_path / "out"
    arguments = [*map(str, [folder, *captures, missing]), "-o", str(out), "--scheduler"]
    if cluster == "local":
        with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as local:
            status = campaign.main(arguments + [local.scheduler_address])
    else:
        with _command_line_cluster() as address:
            status = campaign.main(arguments + [address])
    assert status == 1  # a capture failed
    rows = pd.read_csv(out / "summary.csv").set_index("capture")
    for path in [folder / "sample.bin", folder / "sample.bin.gz", *captures]:
        row = rows.loc[str(path)]
        assert row["items"] == _items(path if path.suffix != ".gz" else SAMPLE)
        assert pd.isna(row["skipped"]) and pd.isna(row["error"])
        assert len(pd.read_csv(row["output"], dtype=str)) == row["items"]
        counts = row[[c for c in rows.columns if c.startswith("items_")]]
        assert counts.sum() == row["items"]
    assert (out / "sample.bin.csv").read_bytes() == cli("--format", "csv", SAMPLE)
    for name in ("README.md", "FIELDS.md", "random.bin"):
        row = rows.loc[str(folder / name)]
        assert row["skipped"] == "not a DIAG capture" and pd.isna(row["output"])
    assert not list(out.glob("*.md.csv")) and not list(out.glob("*.partial"))
    assert rows.loc[str(missing), "error"].startswith("FileNotFoundError")
    assert "missing.qmdl" in rows.loc[str(missing), "error"]


SCRIPT = """
import multiprocessing, sys
from tessavo.campaign import decode_campaign

# No main guard: a process started by "spawn" imports this script again.
summary = decode_campaign([sys.argv[1]], out_dir=sys.argv[2], workers=2)
print("items", int(summary["items"][0]))
if multiprocessing.parent_process() is None:
    child = multiprocessing.get_context("spawn").Process(target=print)
    child.start()
    child.join()
    print("child", child.exitcode)
"""


def test_a_script_without_main_guard_finishes(tmp_path):
    script = tmp_path / "drive.py"
    script.write_text(SCRIPT)
    started = time.monotonic()
    result = subprocess.run([sys.executable, str(script), str(SAMPLE), str(tmp_path / "out")],
                            capture_output=True, text=True, timeout=300, cwd=tmp_path)
    assert result.returncode == 0, result.stderr[-2000:]
    assert f"items {_items(SAMPLE)}" in result.stdout and "child 1" in result.stdout
    assert "put the call under `if __name__ == \"__main__\":`" in result.stderr
    assert len(result.stderr.splitlines()) < 100 and time.monotonic() - started < 300


def test_progress_bar_on_a_terminal(tmp_path):
    primary, secondary = pty.openpty()
    try:
        process = subprocess.Popen(
            [sys.executable, "-m", "tessavo.campaign", str(SAMPLE), str(SAMPLE), "-o",
             str(tmp_path / "out"), "--workers", "2"], stderr=secondary, stdout=subprocess.DEVNULL)
        os.close(secondary)
        shown = b""
        while True:
            try:
                chunk = os.read(primary, 4096)
            except OSError:  # the terminal's other side closed
                break
            if not chunk:
                break
            shown += chunk
        assert process.wait(timeout=300) == 0
    finally:
        os.close(primary)
    assert b"\r[###############" in shown and b"2/2 captures" in shown


def test_plot_of_the_sample(tmp_path):
    target = tmp_path / "plot.png"
    assert plot.main([str(SAMPLE), "-o", str(target)]) == 0
    assert target.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n" and target.stat().st_size > 20_000
    with pytest.raises(FileNotFoundError):
        plot.plot(tmp_path / "missing.qmdl", target)
