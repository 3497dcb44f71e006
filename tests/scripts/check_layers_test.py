#!/usr/bin/env python3
"""The layering check fails on a tree with one include that points up, and names the file."""
import pathlib
import subprocess
import sys
import tempfile

script = pathlib.Path(sys.argv[1])

# (file, its include, expected exit code)
cases = [
    ("core/x.cpp", "app/y.h", 1),
    ("sim/simconnect/x.cpp", "settings/y.h", 1),
    ("state/x.h", "traffic/y.h", 1),
    ("traffic/x.cpp", "state/y.h", 0),
    ("app/window/x.cpp", "sim/simconnect/y.h", 0),
    ("sim/x.cpp", "traffic/y.h", 1),
    ("model/x.h", "airports/y.h", 1),
    ("traffic/x.cpp", "sim/y.h", 0),
]

failures = 0
for source, include, expected in cases:
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder)
        planted = root / source
        planted.parent.mkdir(parents=True)
        planted.write_text(f'#include <vector>\n#include "{include}"\n')
        result = subprocess.run([sys.executable, str(script), str(root)], capture_output=True, text=True)
        named = source in result.stdout
        if result.returncode != expected or (expected == 1 and not named):
            failures += 1
            print(f"FAIL {source} including {include}: exit {result.returncode} (expected {expected}), "
                  f"output: {result.stdout.strip()}")
print(f"{len(cases) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
