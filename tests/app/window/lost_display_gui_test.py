#!/usr/bin/env python3
"""Losing the display closes the program as its close button would.

Usage: lost_display_gui_test.py CORVANE SIMSTANDIN RTFEED WORLD DBASE_ENC
Each case runs the program on the FLTK backend under an Xvfb of its own and kills that Xvfb while the run
goes on: a run with both stand-ins while traffic flows, and a run that waits after SYSTEM ERROR 151 (no
install path). The program must end with 0 within the case's bound, with the closing lines of a close.
"""

import json
import pathlib
import re
import subprocess
import sys
import tempfile
import time

import main_window_gui_test as gui
import xvfb

NO_PATH = "No P3D install path detected. Type the full Install Path above, then press Enter"
# (case, with the stand-ins, the text after which the display goes: in rtfeed's lines with the stand-ins,
# else in the log; exit bound in s; the log's last lines in their order)
CASES = [
    ("traffic flows", True, "Qs121=", 15.0,
     ["Exiting: USER CLOSED SIM", "SimConnect closed ok", "QNH Reader disconnected", "Traffic Reader disconnected"]),
    ("after SYSTEM ERROR 151", False, NO_PATH, 5.0, ["Exiting: SYSTEM ERROR"]),
]


class StandIns:
    """The simulator stand-in (found through SimConnect.cfg) and rtfeed, which logs what it receives."""

    def __init__(self, simstandin, rtfeed, world, root):
        self.root = pathlib.Path(root)
        self.sim = subprocess.Popen([simstandin, "--tcp4", "127.0.0.1:0", "--world", world],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        port = json.loads(self.sim.stdout.readline())["tcp4"]
        self.feed_log = self.root / "rtfeed.log"
        with open(self.feed_log, "w") as out:
            self.feed = subprocess.Popen([rtfeed, "--auto", "12", "--edition", "prof", "--qnh", "1008"],
                                         stdout=out, stderr=subprocess.STDOUT)
        self.port = port

    def prepare(self, root, _registry):
        (root / "program" / "SimConnect.cfg").write_text(
            f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={self.port}\n")
        (root / "appdata" / "InsideSystems").mkdir(parents=True)
        (root / "appdata" / "InsideSystems" / "RealTraffic.jar").write_text("")

    def stop(self):
        for process in (self.sim, self.feed):
            process.terminate()
            process.wait()


def no_install_path(_root, registry):
    registry.write_text("Windows Registry Editor Version 5.00\r\n\r\n", encoding="utf-8")


def wait_for_text(program, read, line):
    deadline = time.monotonic() + gui.TIMEOUT
    while time.monotonic() < deadline:
        if line in read():
            return
        gui.check(program.ended() is None, f"before '{line}': {program.ended()}")
        time.sleep(0.1)
    raise AssertionError(f"no '{line}' within {gui.TIMEOUT} s: {program.log_tail()!r}")


def run_case(binary, tools, dbase, name, standins, before, bound, last_lines):
    with tempfile.TemporaryDirectory() as root:
        servers = []
        feed = StandIns(*tools, root) if standins else None
        try:
            with xvfb.xvfb(servers=servers) as display:
                program = gui.Program(binary, display, root, dbase, feed.prepare if feed else no_install_path)
                try:
                    wait_for_text(program, feed.feed_log.read_text if feed else program.log_tail, before)
                    time.sleep(2)  # traffic and position lines go both ways meanwhile
                    servers[0].kill()
                    killed = time.monotonic()
                    try:
                        code = program.process.wait(timeout=bound)
                    except subprocess.TimeoutExpired:
                        raise AssertionError(f"{name}: still runs {bound} s after the display went\n"
                                             f"{program.thread_dump()}") from None
                    print(f"{name}: exit code {code} {time.monotonic() - killed:.1f} s after the display went")
                    gui.check(code == 0, f"{name}: exit code {code}; stderr: {program.process.stderr.read()}")
                    lines = [line.strip() for line in program.log_tail().splitlines() if line.strip()]
                    found = [line for line in lines if line in last_lines]
                    gui.check(found == last_lines, f"{name}: closing lines {found}, expected {last_lines}")
                    # The closing down ran whole: the window position saved, and the time logged last.
                    gui.check(re.fullmatch(r"\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}", lines[-1]) is not None,
                              f"{name}: the log ends with {lines[-1]!r}")
                    gui.check(gui.stored_x(program.parameters) == 400, f"{name}: the window position is not saved")
                    if feed:
                        gui.check(" exit" in feed.feed_log.read_text(), f"{name}: rtfeed got no 'exit'")
                finally:
                    program.stop()
        finally:
            if feed:
                feed.stop()


def main(argv):
    if len(argv) != 6:
        sys.exit(__doc__)
    xvfb.require_tools("Xvfb")
    for case in CASES:
        run_case(argv[1], argv[2:5], argv[5], *case)
    print("lost_display_gui: all checks passed")


if __name__ == "__main__":
    main(sys.argv)
