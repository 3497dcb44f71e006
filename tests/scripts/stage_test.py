#!/usr/bin/env python3
"""The demo's scripts on real folders: stage_test.py BUILD_DIR

stage.sh into an empty folder, again over a changed parameters.xml and learned file, and with --fresh;
demo.sh with a RealTraffic port taken, and with a simulator stand-in that never names its port.
"""
import filecmp
import json
import os
import socket
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

PROJECT = Path(__file__).resolve().parents[2]
BUILD = Path(sys.argv.pop(1)).resolve()
SEALED = ["AIG-regcodes.enc", "airports.enc", "dbase.enc"]


def run(script, *args):
    return subprocess.run(["bash", str(PROJECT / "scripts" / script), *map(str, args)],
                          capture_output=True, text=True, timeout=60)


class Staging(unittest.TestCase):
    def test_staged_kept_and_fresh(self):
        with tempfile.TemporaryDirectory() as tmp:
            dest = Path(tmp)
            stage = dest / "stage"
            # The sample scenery is the scenery generator's; an existing folder is kept as it is.
            (stage / "sample_scenery").mkdir(parents=True)
            result = run("stage.sh", "--build", BUILD, "--into", dest)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(sorted(p.name for p in (stage / "input").iterdir() if p.is_file()), SEALED)
            for name in SEALED:
                for copy in (stage / "input" / name, dest / "site" / "11" / name):
                    self.assertTrue(filecmp.cmp(copy, BUILD / "sealed" / "input" / name, shallow=False), copy)
            versions = json.loads((dest / "site" / "versions.json").read_text())
            self.assertEqual(versions["p3d"], {"major": 11, "minor": 10, "patch": 5})
            self.assertEqual(len(list((stage / "sample_liveries").rglob("aircraft.cfg"))), 12)
            for name in ["scenario.scn", "short.scn", "world.json", "expect.json"]:
                self.assertTrue((stage / "demo" / name).is_file(), name)

            parameters = stage / "appdata" / "Corvane_P3D" / "parameters.xml"
            learned = stage / "airports" / "learned" / "stock" / "EDDF.xml"
            for changed in (parameters, learned):
                changed.write_text("changed by the last run")
            (stage / "Log.txt").write_text("log")
            self.assertEqual(run("stage.sh", "--build", BUILD, "--into", dest).returncode, 0)
            self.assertEqual(parameters.read_text(), "changed by the last run")
            self.assertEqual(learned.read_text(), "changed by the last run")

            self.assertEqual(run("stage.sh", "--build", BUILD, "--into", dest, "--fresh").returncode, 0)
            self.assertTrue(filecmp.cmp(learned, PROJECT / "data/airports/learned/stock/EDDF.xml", shallow=False))
            self.assertIn('name="PROGRAM_VERSION" value="11.10.5"', parameters.read_text())
            self.assertFalse((stage / "Log.txt").exists())

    def test_missing_source_stops_staging(self):
        with tempfile.TemporaryDirectory() as tmp:
            result = run("stage.sh", "--build", Path(tmp), "--into", Path(tmp) / "dest")
            self.assertEqual(result.returncode, 2)
            self.assertIn(f"stage.sh: missing {Path(tmp).resolve()}/src/corvane", result.stderr)


class SeedParameters(unittest.TestCase):
    def test_seed_keeps_and_replace_sets(self):
        cases = [  # arguments, value of PORT_NUMBER after a seed of 10747 then this call
            (["PORT_NUMBER=4000"], "10747"),
            (["--replace", "PORT_NUMBER=4000"], "4000"),
        ]
        for extra, expected in cases:
            with tempfile.TemporaryDirectory() as tmp:
                file = Path(tmp) / "parameters.xml"
                seed = [sys.executable, str(PROJECT / "scripts" / "seed_parameters.py")]
                subprocess.run(seed + [str(file), "PORT_NUMBER=10747"], check=True)
                args = extra[:-1] + [str(file), extra[-1]]
                subprocess.run(seed + args, check=True)
                self.assertIn(f'name="PORT_NUMBER" value="{expected}"', file.read_text(), extra)


class DemoGuards(unittest.TestCase):
    def test_busy_port_then_silent_standin(self):
        with tempfile.TemporaryDirectory() as tmp:
            dest = Path(tmp)
            (dest / "stage" / "demo").mkdir(parents=True)
            standin = dest / "build" / "tools" / "simstandin" / "simstandin"
            standin.parent.mkdir(parents=True)
            pid_file = dest / "standin.pid"
            standin.write_text(f"#!/bin/sh\necho $$ >{pid_file}\nexec sleep 60\n")
            standin.chmod(0o755)
            args = ["--build", dest / "build", "--in", dest, "--headless", "--duration", "1"]
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as taken:
                taken.bind(("127.0.0.1", 49005))
                result = run("demo.sh", *args)
            self.assertEqual((result.returncode, result.stderr), (3, "port 49005 is in use\n"))
            self.assertFalse(pid_file.exists(), "nothing starts before the ports are free")

            result = run("demo.sh", *args)
            self.assertEqual(result.returncode, 4, result.stderr)
            self.assertIn("demo.sh: simstandin gave no port line within 10 s", result.stderr)
            self.assertFalse(os.path.exists(f"/proc/{pid_file.read_text().strip()}"), "the stand-in is stopped")


if __name__ == "__main__":
    unittest.main()
