#!/usr/bin/env python3
"""Checks that the program's includes point down its layers.

Usage: check-layers.py SRC_ROOT

Reads every #include "..." of the sources under SRC_ROOT and prints one line per include that reaches a
layer the including file may not use, then exits 1; exits 0 with a one-line summary when none does.
Includes in angle brackets (the standard library, installed libraries) are not judged.
"""
import pathlib
import re
import sys

# Folder prefixes, the longest first so that sim/simconnect is not taken for sim.
LAYERS = [
    ("sim/simconnect", 5),
    ("platform", 1),
    ("core", 2),
    ("settings", 3),
    ("state", 4),
    ("realtraffic", 6),
    ("sim", 6),
    ("traffic", 6),
    ("aircraft", 6),
    ("airports", 6),
    ("update", 6),
    ("app", 7),
    ("main.cpp", 7),
]

# What each layer may include besides itself.
ALLOWED = {
    1: set(),
    2: {1},
    3: {1, 2},
    4: {1, 2, 3},
    5: {1, 2},
    6: {1, 2, 3, 4, 5},
    7: {1, 2, 3, 4, 5, 6},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".c", ".inc"}


def layer_of(relative_path):
    for prefix, layer in LAYERS:
        if relative_path == prefix or relative_path.startswith(prefix + "/"):
            return layer
    return None


def breaks_in(root):
    breaks = []
    files = 0
    for path in sorted(root.rglob("*")):
        if not path.is_file() or path.suffix not in SOURCE_SUFFIXES:
            continue
        files += 1
        relative = path.relative_to(root).as_posix()
        own = layer_of(relative)
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            other = layer_of(target)
            if own is None or other is None:
                breaks.append(f"{relative}:{number}: \"{target}\": outside the known layers "
                              f"(layer {own} includes layer {other})")
            elif other != own and other not in ALLOWED[own]:
                breaks.append(f"{relative}:{number}: \"{target}\": layer {own} may not include layer {other}")
    return breaks, files


def main(argv):
    if len(argv) != 2:
        print("usage: check-layers.py SRC_ROOT", file=sys.stderr)
        return 2
    root = pathlib.Path(argv[1])
    if not root.is_dir():
        print(f"check-layers: {root} is not a folder", file=sys.stderr)
        return 2
    breaks, files = breaks_in(root)
    for line in breaks:
        print(line)
    if breaks:
        print(f"check-layers: {len(breaks)} includes point up or outside the layers ({files} files read)")
        return 1
    print(f"check-layers: every include of {files} files points down")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
