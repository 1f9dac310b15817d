"""The campaign report over a folder (--campaign), each capture a task on a real Dask
scheduler with worker processes: one row per capture, the totals, and the files left out."""

from html.parser import HTMLParser

import pytest
from distributed import LocalCluster

from conftest import SAMPLE
from tessavo import analysis, report


class _Table(HTMLParser):
    """The cells of the rows of the table with id `wanted`, and the items of #left-out."""

    def __init__(self, wanted):
        super().__init__()
        self.wanted, self.rows, self.left, self._in, self._text = wanted, [], [], None, None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag in ("table", "ul") and attrs.get("id") in (self.wanted, "left-out"):
            self._in = attrs["id"]
        elif tag == "tr" and self._in == self.wanted:
            self.rows.append([])
        elif tag in ("td", "li") and self._in:
            self._text = ""

    def handle_data(self, data):
        if self._text is not None:
            self._text += data

    def handle_endtag(self, tag):
        if tag in ("td", "li") and self._text is not None:
            (self.rows[-1] if tag == "td" else self.left).append(self._text.strip())
            self._text = None
        elif tag in ("table", "ul"):
            self._in = None


def test_campaign_of_a_folder_on_dask(tmp_path):
    folder = tmp_path / "drive"
    folder.mkdir()
    data = SAMPLE.read_bytes()
    (folder / "a_whole.bin").write_bytes(data)
    (folder / "b_half.bin").write_bytes(data[: len(data) // 2])  # cut inside a frame
    (folder / "c_notes.md").write_text("# Drive of 14 May\n" * 20)
    out = tmp_path / "campaign.html"
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster:
        assert report.main(["--campaign", str(folder), "--scheduler", cluster.scheduler_address,
                            "-o", str(out)]) == 0
    page = _Table("campaign")
    page.feed(out.read_text(encoding="utf-8"))
    header, *rows = page.rows
    assert [row[0] for row in rows] == ["a_whole.bin", "b_half.bin", "all captures"]
    assert page.left == [f"{folder / 'c_notes.md'}: nothing decodes"]
    columns = [key for key, _ in report.CAMPAIGN]
    whole = dict(zip(columns, rows[0][1:]))
    half = dict(zip(columns, rows[1][1:]))
    total = dict(zip(columns, rows[2][1:]))
    # The whole sample: two calls set up and released, six soft handoffs and one hard one,
    # 319.42 s from the first item to the last (samples/README.md); the half as the analysis
    # finds it in this process.
    assert (whole["call_attempts"], whole["call_drops"], whole["soft_handoffs"],
            whole["hard_handoffs"], whole["call_setup_success_rate"],
            whole["duration"]) == ("2", "0", "6", "1", "100", "319.42")
    expected_half = analysis.kpis(folder / "b_half.bin")["values"]
    assert half == {key: report._number(expected_half[key]) for key in columns}
    for key in ("call_attempts", "soft_handoffs", "hard_handoffs", "call_drops"):
        assert int(total[key]) == int(whole[key]) + int(half[key]), key
    assert float(total["duration"]) == pytest.approx(float(whole["duration"]) +
                                                     float(half["duration"]), abs=0.01)
