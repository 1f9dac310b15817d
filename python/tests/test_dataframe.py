"""to_dataframe and iter_dataframes against the command-line decoder's CSV."""

import io

import numpy as np
import pandas as pd
import pytest

import tessavo
from conftest import SAMPLE, capture, cli
from tessavo.decoder import identity_text

SPRINT = "sprint_2015.mi2log"
# (to_dataframe options, the CLI's options for the same table)
CASES = [
    ({}, []),
    ({"layout": "long"}, ["--csv-layout", "long"]),
    ({"params": ["tx_power", "active_best_pn", "rx_power", "channel_state"]},
     ["--params", "tx_power,active_best_pn,rx_power,channel_state"]),
    ({"log_codes": [0x119A, 0x1007]}, ["--log-code", "119A,0x1007"]),
    ({"params": ["rx_power", "latitude"], "decoded_only": True},
     ["--params", "rx_power,latitude", "--decoded-only"]),
]


# The frames keep every last-known value, as the CLI's --carry-forward all does
# (tessavo.analysis.valid_only applies the validity rules).
def _expected(path, options):
    csv = cli("--format", "csv", "--carry-forward", "all", *options, path)
    return pd.read_csv(io.BytesIO(csv), dtype=str, keep_default_na=False)


def _as_cli_text(frame, column):
    """A column as the CSV writes it, for comparison."""
    values = frame[column]
    labels = tessavo.catalogue.find(column)
    if isinstance(values.dtype, pd.CategoricalDtype):  # back from label to number
        numbers = {label: str(value) for value, label in labels.values.items()}
        return values.astype(object).map(lambda v: "" if pd.isna(v) else numbers.get(v, v))
    return values


def _check(frame, expected, long):
    assert (frame.index == pd.to_datetime(expected["time"])).all()
    assert frame.index.name == "time" and str(frame.index.tz) == "UTC"
    assert (frame["item"].to_numpy() == expected["index"].astype(int)).all()
    codes = [identity_text(None if pd.isna(l) else l, None if pd.isna(c) else c)
             for l, c in zip(frame["log_code"], frame["command"])]
    assert codes == expected["log_code"].tolist()
    if long:
        assert frame["parameter"].astype(str).tolist() == expected["parameter"].tolist()
        for got, want in zip(frame["value"], expected["value"]):  # identities are texts
            assert got == want if isinstance(got, str) else \
                (np.isnan(got) if want == "" else got == float(want))
        assert frame["unit"].astype(str).tolist() == expected["unit"].tolist()
        return
    assert frame["msg_code"].map("0x{:08x}".format).tolist() == expected["msg_code"].tolist()
    assert frame["msg_name"].astype(object).fillna("").tolist() == expected["msg_name"].tolist()
    parameters = list(expected.columns[6:])
    assert list(frame.columns[6:]) == parameters
    for column in parameters:
        got = _as_cli_text(frame, column)
        if tessavo.dataframe._TEXT[tessavo.dataframe._KEY[column]]:  # identities, as texts
            assert got.astype(object).fillna("").tolist() == expected[column].tolist(), column
            continue
        want = expected[column].replace("", np.nan).astype(float)
        assert np.array_equal(pd.to_numeric(got).astype(float), want, equal_nan=True), column


@pytest.mark.parametrize("name", ("sample", SPRINT))
@pytest.mark.parametrize("options,cli_options", CASES)
def test_dataframe_equals_the_cli_csv(name, options, cli_options):
    path = SAMPLE if name == "sample" else capture(name)
    expected = _expected(path, cli_options)
    long = options.get("layout") == "long"
    _check(tessavo.to_dataframe(path, **options), expected, long)
    parts = list(tessavo.iter_dataframes(path, rows=1000, **options))
    assert all(part["item"].nunique() <= 1000 if long else len(part) <= 1000 for part in parts)
    assert len({tuple(part.columns) for part in parts}) <= 1
    if parts or len(expected):
        _check(pd.concat(parts), expected, long)


def test_frames_are_pandas_native():
    frame = tessavo.to_dataframe(SAMPLE, tz="America/Chicago")
    assert str(frame.index.tz) == "America/Chicago"
    assert (frame.log_code == 0x119A).sum() == (frame.log_code.astype(str) == "4506").sum() > 0
    assert frame.msg_code.dtype == frame.log_code.dtype == "Int64"
    assert isinstance(frame["channel_state"].dtype, pd.CategoricalDtype)
    assert frame.attrs["units"]["rx_power"] == "dBm" == tessavo.units()["rx_power"]
    # pandas keeps the arrays made for it: one block per run of float columns
    assert frame.select_dtypes("float").shape[1] > 1
