#!/usr/bin/env python3
"""The demo's scripts on real folders: stage_test.py BUILD_DIR

stage.sh into an empty folder, again over a changed parameters.xml and learned file, and with --fresh;
demo.sh with a RealTraffic port taken, and with a simulator stand-in that never names its port; isolate.sh
in a namespace of its own and waiting for the lock; every script's and tool's --help.
"""
import fcntl
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


# The test runs where the fixed ports are its own; these runs of isolate.sh must start from outside.
OUTSIDE = {k: v for k, v in os.environ.items() if k != "CORVANE_PORTS_OWNED"}
BIND_BOTH = ("import os, socket\n"
             "print(os.readlink('/proc/self/ns/net'), flush=True)\n"
             "for port in (49004, 49005): socket.socket(socket.AF_INET, socket.SOCK_DGRAM).bind(('0.0.0.0', port))")


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

    def test_isolated_run_owns_the_ports_or_waits_for_the_lock(self):
        isolate = str(PROJECT / "scripts" / "isolate.sh")
        here = os.readlink("/proc/self/ns/net")
        with tempfile.NamedTemporaryFile() as lock, socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as taken:
            taken.bind(("0.0.0.0", 49005))
            result = subprocess.run([isolate, sys.executable, "-c", BIND_BOTH], capture_output=True, text=True,
                                    env=dict(OUTSIDE, CORVANE_PORTS_LOCK=lock.name), timeout=60)
        if result.stdout.strip() != here:
            self.assertEqual((result.returncode, result.stderr), (0, ""), "a namespace of its own: both ports free")
        else:
            self.assertIn("Address already in use", result.stderr, "the lock's way: the port in use is named")

        with tempfile.NamedTemporaryFile() as lock:
            env = dict(OUTSIDE, CORVANE_ISOLATE="lock", CORVANE_PORTS_LOCK=lock.name)
            # Another run holds the lock: one process (no fork), so that ending it frees the lock.
            holder = subprocess.Popen(["flock", "--no-fork", lock.name, "sh", "-c", "echo held; exec sleep 60"],
                                      stdout=subprocess.PIPE, text=True)
            self.assertEqual(holder.stdout.readline(), "held\n")
            waiting = subprocess.Popen([isolate, "echo", "ran"], env=env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True)
            line = waiting.stderr.readline()
            self.assertIn(f"waiting for {lock.name}, held by another run on RealTraffic's UDP ports", line)
            self.assertIsNone(waiting.poll(), "it waits while the lock is held")
            holder.kill()
            holder.wait()
            self.assertEqual(waiting.communicate(timeout=60)[0], "ran\n")
            # Started under `flock LOCK`: the lock is its own already.
            inside = subprocess.run(["flock", lock.name, isolate, "echo", "ran"], env=env, capture_output=True,
                                    text=True, timeout=60)
            self.assertEqual((inside.stdout, inside.stderr), ("ran\n", ""), "under the lock it runs at once")

    def test_help_prints_usage_at_once(self):
        tools = BUILD / "tools"
        cases = [  # program, a text of its usage
            (PROJECT / "run.sh", "--stay"),
            (PROJECT / "scripts" / "demo.sh", "--duration S"),
            (PROJECT / "scripts" / "isolate.sh", "CORVANE_PORTS_LOCK"),
            (PROJECT / "scripts" / "own-x11.sh", "/tmp/.X11-unix is an empty"),
            (tools / "simstandin" / "simstandin", "Defaults: --tcp4 127.0.0.1:0"),
            (tools / "simstandin" / "simstandin_summary", "--now"),
            (tools / "rtfeed" / "rtfeed", "--traffic-port 49005, --qnh-port 49004, --tcp-port 10747"),
            (tools / "gen" / "gen_livery_tree", "Defaults: --files 1000, --seed 1"),
            (tools / "gen" / "gen_scenery", "Defaults: --files 1000, --airport-share 0.02"),
            (tools / "gen" / "demo" / "gen_demo", "Defaults: --soak 500"),
        ]
        for program, text in cases:
            result = subprocess.run([str(program), "--help"], capture_output=True, text=True, timeout=30)
            self.assertEqual((result.returncode, result.stderr), (0, ""), program.name)
            self.assertIn(text, result.stdout, program.name)


if __name__ == "__main__":
    unittest.main()
