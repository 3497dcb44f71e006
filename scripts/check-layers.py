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

# The layers from the bottom up: a file may include its own layer and those below it. The subsystems are
# layers too, so data flows one way between any two of them: the shared records (model) at their foot, the
# traffic engine at their head, the shell (app, main.cpp) above all.
ORDER = [
    "platform",
    "core",
    "settings",
    "state",
    "sim/simconnect",
    "model",
    "aircraft",
    "update",
    "airports",
    "sim",
    "realtraffic",
    "traffic",
    "app",
]
# Folders given the layer of another; the longest prefix wins, so sim/simconnect is not taken for sim.
ALIASES = {"main.cpp": "app"}
# Layers that may include only some of those below them: the simulator protocol knows nothing of settings
# or state.
NARROW = {"sim/simconnect": {"platform", "core"}}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".c", ".inc"}


def layer_of(relative_path):
    names = ORDER + list(ALIASES)
    for prefix in sorted(names, key=len, reverse=True):
        if relative_path == prefix or relative_path.startswith(prefix + "/"):
            return ALIASES.get(prefix, prefix)
    return None


def may_include(own, other):
    if own == other:
        return True
    if own in NARROW:
        return other in NARROW[own]
    return ORDER.index(other) < ORDER.index(own)


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
            elif not may_include(own, other):
                breaks.append(f"{relative}:{number}: \"{target}\": {own} may not include {other}, "
                              f"which is not below it")
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
