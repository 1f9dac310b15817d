"""The campaign on a two-worker LocalCluster, and the plot."""

import random
import re

import pandas as pd
import pytest
from distributed import LocalCluster

from conftest import CAPTURE_NAMES, SAMPLE, capture, cli
from tessavo import campaign, plot


def test_campaign_reports_every_capture_and_the_failing_one(tmp_path):
    paths = [capture(name) for name in CAPTURE_NAMES]
    corrupt = tmp_path / "corrupt.bin"
    corrupt.write_bytes(random.Random(9).randbytes(100_000))
    missing = tmp_path / "missing.qmdl"
    out = tmp_path / "out"
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster:
        status = campaign.main([*map(str, paths + [corrupt, missing]), "-o", str(out),
                                "--scheduler", cluster.scheduler_address])
    assert status == 1  # a capture failed
    summary = pd.read_csv(out / "summary.csv")
    rows = summary.set_index("capture")
    for path in paths:
        text = cli("--format", "summary", path)
        row = rows.loc[str(path)]
        assert row["items"] == int(re.search(rb"report items +(\d+)", text)[1])
        assert row["bad_frames"] == int(re.search(rb"(\d+) with a bad CRC", text)[1])
        assert len(pd.read_csv(row["output"])) == row["items"]
    assert rows.loc[str(corrupt), "items"] == 0 and pd.isna(rows.loc[str(corrupt), "error"])
    assert rows.loc[str(missing), "error"].startswith("FileNotFoundError")
    assert "missing.qmdl" in rows.loc[str(missing), "error"]
    sprint = rows.loc[str(capture("sprint_2015.mi2log"))]
    assert sprint[[c for c in summary.columns if c.startswith("items_")]].sum() == sprint["items"]


def test_plot_of_the_sample(tmp_path):
    target = tmp_path / "plot.png"
    assert plot.main([str(SAMPLE), "-o", str(target)]) == 0
    assert target.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n" and target.stat().st_size > 20_000
    with pytest.raises(FileNotFoundError):
        plot.plot(tmp_path / "missing.qmdl", target)
