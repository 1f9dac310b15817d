"""Writes tessavo/_tables.py, the tables the Python package shares with the C++ code.

Run by the build (python/CMakeLists.txt), never by hand. Every table comes from where the
C++ code keeps it, so that it is written once:

- the record layout and the constants of the public header (#define TESSAVO_*);
- the parameter catalogue and the CSV views, from `tessavo-decode --list-params json`;
- the leap-second dates and the GPS epoch of the command-line decoder's clock;
- how a report item's log code or DIAG command is recovered (packet_identity.cpp);
- the names of the pilot sets and the mark of an unknown level (struct_views.cpp);
- the longest frame the library accepts (frame_scan.h).

A source whose table cannot be read in full stops the build rather than writing a short one.
"""

import argparse
import json
import pprint
import re
import subprocess
import sys
from pathlib import Path

NUMBER = r"(-?(?:0[xX][0-9A-Fa-f]+|\d+))[uU]?"


def fail(message):
    sys.exit(f"generate_tables.py: {message}")


def integer(text):
    return int(text, 0)


def header_constants(text):
    text = text.replace("\\\n", " ")  # continued lines
    pattern = re.compile(r"^#define (TESSAVO_\w+)\s+\(?" + NUMBER + r"\)?", re.MULTILINE)
    constants = {name: integer(value) for name, value in pattern.findall(text)}
    if "TESSAVO_REPORT_ITEM_SIZE" not in constants:
        fail("the header has no record layout")
    return constants


def array_block(text, name):
    """The initialiser of `std::array<T, N> name = {...};` and its declared size N."""
    match = re.search(r"std::array<[^;]*?,\s*([\w:]+)>\s+" + name + r"\s*=\s*\{", text)
    if not match:
        fail(f"{name} not found")
    depth, end = 1, match.end()
    while depth and end < len(text):
        depth += {"{": 1, "}": -1}.get(text[end], 0)
        end += 1
    return match.group(1).split("::")[-1], text[match.end():end - 1]


def declared_size(size, *texts):
    if size.isdigit():
        return int(size)
    for text in texts:
        found = re.search(size + r"\s*=\s*(\d+)", text)
        if found:
            return int(found.group(1))
    fail(f"size {size} not found")


def named_constant(text, name):
    found = re.search(r"\b" + name + r"\s*=\s*" + NUMBER + ";", text)
    if not found:
        fail(f"{name} not found")
    return integer(found.group(1))


def leap_seconds(item_time_cpp, item_time_h):
    size, block = array_block(item_time_cpp, "kLeapSecondDates")
    dates = [int(value) for value in re.findall(r"^\s*(\d+),", block, re.MULTILINE)]
    if len(dates) != declared_size(size) or dates != sorted(dates):
        fail("the leap-second table was not read in full")
    return named_constant(item_time_h, "kGpsEpochUnixSeconds"), dates


def packet_identity(cpp):
    size, block = array_block(cpp, "kCommandIdentities")
    pairs = re.findall(r"\{\s*" + NUMBER + r"\s*,\s*" + NUMBER + r"\s*\}", block)
    if len(pairs) != declared_size(size):
        fail("the command identities were not read in full")
    return {
        "LOG_COMMAND": named_constant(cpp, "kLogCommand"),
        "COMPACT_LOG_CODE": named_constant(cpp, "kCompactLogCode"),
        "TIME_QUERY_CODE": named_constant(cpp, "kTimeQueryCode"),
        "LOG_HEADER_PEEK": named_constant(cpp, "kLogHeaderPeek"),
        "COMMAND_IDENTITIES": {integer(a): integer(b) for a, b in pairs},
    }


def struct_views(cpp):
    size, block = array_block(cpp, "kSetNames")
    names = re.findall(r'"([^"]+)"', block)
    if len(names) != declared_size(size):
        fail("the set names were not read in full")
    no_value = re.search(r"\bkNoValue\s*=\s*(-?[\d.]+);", cpp)
    if not no_value:
        fail("kNoValue not found")
    return {"SET_NAMES": names, "NO_VALUE": float(no_value.group(1))}


def catalogue(decoder):
    text = subprocess.run([decoder, "--list-params", "json"], check=True, capture_output=True,
                          text=True).stdout
    entries = json.loads(text)
    for entry in entries:
        for key in ("id", "source"):
            if key in entry:
                entry[key] = integer(entry[key])
        if "values" in entry:
            entry["values"] = {int(value): label for value, label in entry["values"].items()}
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--decoder", required=True, help="the tessavo-decode program")
    parser.add_argument("--source", required=True, type=Path, help="the source tree")
    parser.add_argument("-o", "--output", required=True, type=Path)
    args = parser.parse_args()

    def read(relative):
        return (args.source / relative).read_text(encoding="utf-8")

    tool = "tools/common/"
    epoch, dates = leap_seconds(read(tool + "item_time.cpp"), read(tool + "item_time.h"))
    tables = {
        "HEADER": header_constants(read("include/tessavo/tessavo.h")),
        "GPS_EPOCH_UNIX_SECONDS": epoch,
        "LEAP_SECOND_DATES": dates,
        **packet_identity(read(tool + "packet_identity.cpp")),
        **struct_views(read(tool + "struct_views.cpp")),
        "MAX_FRAME_LENGTH": named_constant(read(tool + "frame_scan.h"), "kMaxFrameLength"),
        "CATALOGUE": catalogue(args.decoder),
    }
    lines = ["# Generated by python/generate_tables.py at build time. Do not edit.\n"]
    for name, value in tables.items():
        lines.append(f"{name} = {pprint.pformat(value, width=100, sort_dicts=False)}\n")
    text = "".join(lines)
    args.output.parent.mkdir(parents=True, exist_ok=True)
    if not args.output.exists() or args.output.read_text(encoding="utf-8") != text:
        args.output.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
