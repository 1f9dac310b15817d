"""tessavo.analysis: the same events as tessavo-decode --format events (one engine), options
that change what the KPIs count, and the errors a caller can make."""

import csv
import io
import math

import pytest

from conftest import SAMPLE, capture, cli
from tessavo import analysis


def cli_events(path):
    rows = list(csv.DictReader(io.StringIO(cli("--format", "events", path).decode())))
    return [(r["time"], r["technology"], r["event"], r["details"], int(r["item"])) for r in rows]


def python_events(path):
    frame = analysis.events(path)
    times = frame["time"].dt.strftime("%Y-%m-%dT%H:%M:%S.%fZ")
    return list(zip(times, frame["technology"], frame["event"], frame["details"], frame["item"]))


@pytest.mark.parametrize("name", [None, "sprint_2015.mi2log"])
def test_events_equal_the_cli(name):
    path = SAMPLE if name is None else capture(name)
    expected = cli_events(path)
    assert expected, "the capture has events"
    assert python_events(path) == expected


def test_kpis_follow_their_options():
    default = analysis.kpis(SAMPLE)["values"]
    # Every pilot table has at least one pilot within 0 dB of the best (the best itself).
    anything = analysis.kpis(SAMPLE, pollution_pilots=1, pollution_window_db=0)["values"]
    assert default["pilot_pollution_share"] == 0
    assert anything["pilot_pollution_share"] == 100
    # The sample's receive power stays above -100 dBm: weak only with a looser threshold.
    loose = analysis.kpis(SAMPLE, weak_ecio_db=0, weak_rx_dbm=0)["values"]
    assert default["weak_coverage_episodes"] == 0
    assert loose["weak_coverage_episodes"] >= 1 and loose["weak_coverage_time"] >= 5
    assert math.isnan(default["do_connection_success_rate"])


def test_kpis_tables():
    kpis = analysis.kpis(SAMPLE)
    assert kpis["event_counts"]["call_setup_success"] == 2
    assert set(kpis["pns"]["pn"]) == {168, 252, 336}
    # EV-DO: sector 120 serves from 273.15 s, 240 from 288.15 s to the end (319.47 s).
    sectors = kpis["do_sectors"].set_index("pn")
    assert sectors["serving_seconds"].to_dict() == pytest.approx({120: 15.0, 240: 31.32})
    ecio = kpis["distributions"].loc["best_pilot_ecio"]
    assert ecio["p5"] <= ecio["median"] <= ecio["p95"]
    assert ecio["cdf"][-1][1] == 1.0


def test_errors():
    with pytest.raises(TypeError, match="unknown analysis option 'weak'"):
        analysis.kpis(SAMPLE, weak=1)
    with pytest.raises(ValueError, match="cannot open"):
        analysis.events("/nonexistent/capture.bin")
    with pytest.raises(ValueError, match="unknown module type"):
        analysis.events(SAMPLE, module="B999")


def test_valid_only_empties_what_the_cli_empties():
    """The frame after valid_only has the cells of tessavo-decode's CSV state view."""
    import tessavo

    names = ["rx_power", "tx_power", "best_pilot_ecio"]
    frame = analysis.valid_only(tessavo.to_dataframe(SAMPLE, params=names), SAMPLE)
    rows = list(csv.DictReader(io.StringIO(
        cli("--format", "csv", "--params", ",".join(names), SAMPLE).decode())))
    assert len(rows) == len(frame)
    for name in names:
        shown = [row[name] != "" for row in rows]
        assert list(frame[name].notna()) == shown, name
    assert not shown[-1] and sum(shown) > 1000  # best Ec/Io ends with the 1x logs
