"""The radio values of a capture over time, drawn with matplotlib.

    python3 -m tessavo.plot CAPTURE -o plot.png

Panels: receive and transmit power (1x and EV-DO), the best Ec/Io (and the EV-DO SINR),
the serving PN with the channel, and the EV-DO rates when the capture has any. Call,
connection and handoff events (tessavo.analysis, as tessavo-decode --format events finds
them) are vertical lines.
"""

import argparse
import sys
from pathlib import Path

from . import catalogue
from .analysis import valid_only
from .dataframe import to_dataframe

# (title, unit, [(column, label)], [(column, label)] on a second axis)
PANELS = (
    ("Power", "dBm", [("rx_power", "1x receive"), ("tx_power", "1x transmit"),
                      ("do_rx_power0", "EV-DO receive"), ("do_tx_power", "EV-DO transmit")], []),
    ("Best pilot", "dB", [("best_pilot_ecio", "1x best Ec/Io"),
                          ("active_best_ecio", "best active Ec/Io"),
                          ("do_best_sinr", "EV-DO best SINR")], []),
    ("Serving PN and channel", "PN", [("best_pilot_pn", "1x best PN"),
                                      ("do_serving_pn", "EV-DO serving PN")],
     [("cdma_channel", "1x channel"), ("do_channel", "EV-DO channel")]),
    ("EV-DO rates", "kbit/s", [("do_drc_rate", "requested (DRC)"),
                               ("data_fwd_rate", "forward data"),
                               ("data_rev_rate", "reverse data"),
                               ("rev_bit_rate", "reverse packets")], []),
)
_KBIT = {"do_drc_rate", "data_fwd_rate", "data_rev_rate", "rev_bit_rate"}
_EVENT_COLOURS = ("tab:red", "tab:purple", "tab:brown", "black", "tab:olive", "tab:pink",
                  "tab:cyan", "tab:gray", "gold")


def events(capture, module="B101"):
    """{event name: times} of the drive-test events of a capture (tessavo.analysis)."""
    from .analysis import events as drive_events

    table = drive_events(capture, module=module)
    return {name: rows["time"] for name, rows in table.groupby("event", sort=False)}


def plot(capture, output, title=None, **options):
    """Draws the capture into `output` (any format matplotlib writes, by its extension)."""
    from matplotlib.dates import DateFormatter
    from matplotlib.figure import Figure
    from matplotlib.lines import Line2D

    wanted = {c for panel in PANELS for c, _ in panel[2] + panel[3]}
    known = {p.name for p in catalogue.SCALARS} | {v.name for v in catalogue.VIEWS}
    frame = to_dataframe(capture, params=sorted(wanted & known), **options)
    # Values are drawn only while valid: a gap where a technology's logging or state ended.
    frame = valid_only(frame, capture, options.get("module", "B101"))
    present = [panel for panel in PANELS
               if any(frame[c].notna().any() for c, _ in panel[2] + panel[3] if c in frame)]
    present = present or PANELS[:1]
    # A Figure of its own, without pyplot: no backend is chosen or changed (notebooks keep theirs).
    figure = Figure(figsize=(12, 2.6 * len(present) + 0.8))
    axes = figure.subplots(len(present), 1, sharex=True, squeeze=False)
    marks = events(capture, options.get("module", "B101")) if len(frame) else {}
    for ax, (name, unit, lines, second) in zip(axes[:, 0], present):
        _lines(ax, frame, lines)
        ax.set_title(name, loc="left", fontsize=10)
        ax.set_ylabel(unit)
        ax.grid(True, alpha=0.3)
        if any(c in frame and frame[c].notna().any() for c, _ in second):
            twin = ax.twinx()
            _lines(twin, frame, second, style="--")
            twin.set_ylabel("channel")
            handles = ax.get_legend_handles_labels()
            more = twin.get_legend_handles_labels()
            ax.legend(handles[0] + more[0], handles[1] + more[1], loc="upper right", fontsize=8)
        elif ax.lines:
            ax.legend(loc="upper right", fontsize=8)
        for colour, (label, times) in zip(_EVENT_COLOURS, marks.items()):
            for when in times:
                ax.axvline(when, color=colour, alpha=0.6, linewidth=0.8)
    if marks:
        handles = [Line2D([], [], color=colour, linewidth=0.8) for colour in _EVENT_COLOURS]
        labels = [f"{label} ({len(times)})" for label, times in marks.items()]
        figure.legend(handles[:len(labels)], labels, loc="lower center", ncol=3, fontsize=8,
                      frameon=False)
    axes[-1, 0].xaxis.set_major_formatter(DateFormatter("%H:%M:%S"))
    day = f", {frame.index[0]:%Y-%m-%d}" if len(frame) else ""
    axes[-1, 0].set_xlabel(f"time (UTC{day})")
    figure.suptitle(title or Path(capture).name)
    figure.tight_layout(rect=(0, 0.06 if marks else 0, 1, 1))
    figure.savefig(output, dpi=100)
    return output


def _lines(ax, frame, lines, style="-"):
    for column, label in lines:
        if column in frame and frame[column].notna().any():
            series = frame[column].astype(float)
            if column in _KBIT:
                series = series / 1000
            ax.plot(frame.index, series, style, label=label, linewidth=0.9,
                    drawstyle="steps-post")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tessavo.plot", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("capture", help="capture file (raw DIAG byte stream)")
    parser.add_argument("-o", "--output", help="picture to write (default: CAPTURE.png)")
    parser.add_argument("--title", help="title of the picture (default: the file name)")
    parser.add_argument("--module", default="B101", help="module type (default B101)")
    args = parser.parse_args(argv)
    output = args.output or str(Path(args.capture).name) + ".png"
    try:
        plot(args.capture, output, title=args.title, module=args.module)
    except OSError as error:
        print(f"tessavo.plot: {error}", file=sys.stderr)
        return 1
    print(output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
