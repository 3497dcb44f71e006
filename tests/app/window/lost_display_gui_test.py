#!/usr/bin/env python3
"""lost_display_gui_test.py CORVANE SIMSTANDIN RTFEED WORLD DBASE_ENC: a killed Xvfb ends the program as a close does.

The X server goes at several moments of a run: before the program opens it, during the start-up, while
traffic flows, and while an error waits for the user. Each ends with 0: before the run started with one line
saying so, after it with the closing lines of a close. The harness's own server leaves another server's
socket file, and its display answers no more once it is gone. Where own-x11.sh falls back, no server of the
test touches a socket file outside; a display lock whose process has ended is taken back, a live one is not.
Those two rows run with a /tmp of their own, from a checkout below /tmp as well as from one elsewhere.
"""

import json
import os
import pathlib
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import main_window_gui_test as gui
import xvfb

# (case, install path, the display goes after this text ("feed:" in rtfeed's lines, "log:" in the log; None:
# before the program starts) and that many seconds more, exit bound in s, closing lines)
CASES = [
    ("before the window", True, None, 0, 5.0,
     ["The display is gone or does not open before the run started, exiting"]),
    ("during start-up", True, "log:dbase records read", 0, 15.0, ["Exiting: USER CLOSED SIM"]),
    ("traffic flows", True, "feed:Qs121=", 2, 15.0,
     ["Exiting: USER CLOSED SIM", "SimConnect closed ok", "QNH Reader disconnected", "Traffic Reader disconnected"]),
    ("after SYSTEM ERROR 151", False, "log:Error 151: No P3D install path", 0, 5.0, ["Exiting: SYSTEM ERROR"]),
]


def run_case(argv, root, name, install_path, before, after, bound, closing):
    feed_log = pathlib.Path(root) / "rtfeed.log"
    with socket.create_server(("127.0.0.1", 0)) as free:
        rt_port = free.getsockname()[1]
    sim = subprocess.Popen([argv[2], "--tcp4", "127.0.0.1:0", "--world", argv[4]], stdout=subprocess.PIPE, text=True)
    feed = subprocess.Popen([argv[3], "--auto", "12", "--tcp-port", str(rt_port)], stdout=feed_log.open("w"), stderr=subprocess.STDOUT)
    port = json.loads(sim.stdout.readline())["tcp4"]

    def prepare(root, registry):
        (root / "program/SimConnect.cfg").write_text(f"[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort={port}\n")
        (root / "appdata/InsideSystems").mkdir()
        parameters = root / "appdata/Corvane_P3D/parameters.xml"
        if install_path:
            # RealTraffic's port joins the seeded parameters.xml, whose livery scan ends without a user error.
            subprocess.run([sys.executable, str(gui.SEED_SCRIPT), str(parameters), f"PORT_NUMBER={rt_port}"],
                           check=True)
        else:
            # No livery or scenery folder either: with one the run goes on without an install path. Error 151
            # comes before the scans.
            parameters.write_text(
                f'<root><parameters><parameter name="PORT_NUMBER" value="{rt_port}" /></parameters></root>')
        (root / "appdata/InsideSystems/RealTraffic.jar").write_text("")
        if not install_path:
            registry.write_text("Windows Registry Editor Version 5.00\r\n\r\n")

    servers = []
    processes = [sim, feed]  # all ended however the case ends, so none holds the test's output open
    try:
        with xvfb.xvfb(servers=servers) as display:
            if before is None:
                servers[0].terminate()  # the X server ends and drops every client, leaving no stale lock
                servers[0].wait()
            program = gui.Program(argv[1], display, root, argv[5], prepare)
            processes.insert(0, program.process)
            if before is not None:
                source, text = before.split(":", 1)
                read = feed_log.read_text if source == "feed" else program.log_tail
                deadline = time.monotonic() + gui.TIMEOUT
                while text not in read() and program.ended() is None and time.monotonic() < deadline:
                    time.sleep(0.1)
                time.sleep(after)  # traffic, positions and the time go both ways meanwhile
                servers[0].terminate()
            killed = time.monotonic()
            code = program.process.wait(timeout=bound)
            print(f"{name}: exit code {code} {time.monotonic() - killed:.1f} s after the display went")
            lines = [line.strip() for line in program.log_tail().splitlines() if line.strip()]
            saved_at = re.fullmatch(r"\w{3} \w{3} \d\d \d\d:\d\d:\d\d \d{4}", lines[-1])
            # The closing down's lines in their order; the two readers stop on their own threads, in either order.
            found = [line for line in lines if line in closing]
            in_order = found[:2] == closing[:2] and sorted(found) == sorted(closing)
            started = before is not None
            gui.check(code == 0 and in_order and (not started or saved_at and gui.stored_x(program.parameters) == 400)
                      and (not (before or "").startswith("feed:") or " exit" in feed_log.read_text()),
                      f"{name}: exit code {code}: {program.log_tail()[-600:]}")
    finally:
        for process in processes:
            process.kill()
            process.wait()


def reaches(display):
    return subprocess.run(["xwininfo", "-root"], env=dict(os.environ, DISPLAY=display), capture_output=True,
                          timeout=30).returncode == 0


def namespace_way(flags):
    """The first way to new namespaces flags (["--net"]) open to this process, as root or through a user
    namespace of its own; None where there is none."""
    for way in (["unshare"] + flags, ["unshare", "--user", "--map-root-user"] + flags):
        if subprocess.run(way + ["true"], capture_output=True).returncode == 0:
            return way
    return None


def check_servers_apart():
    """Another X server in a network namespace of its own holds the lowest display with its socket file: the
    test's own server leaves that file, and once it is gone its display reaches no server. That server makes and
    removes its socket file, so it runs only where /tmp/.X11-unix is the test's own, under own-x11.sh."""
    if os.environ.get("CORVANE_X11_OWNED") != os.readlink("/proc/self/ns/mnt"):
        print("servers apart: skipped, /tmp/.X11-unix is the machine's (own-x11.sh made no namespace)")
        return
    way = namespace_way(["--net"])
    if way is None:
        print("servers apart: skipped, no network namespace can be made here")
        return
    other, other_display = xvfb.start_server(way + ["Xvfb", "-nolisten", "tcp"], gui.TIMEOUT)
    gui.check(other is not None, "the other X server did not start")
    try:
        with xvfb.xvfb() as display:
            gui.check(reaches(display), f"{display} does not answer")
        gui.check(not reaches(display), f"{display} still answers after its server ended")
        gui.check(reaches(other_display), f"{other_display} lost its socket file to {display}")
    finally:
        xvfb.end(other)


def outside_socket_stays():
    """own-x11.sh falls back (its `ip` fails) beside a server on :0 with its lock and socket file: that file stays."""
    outside = pathlib.Path(xvfb.SOCKET_FILE.format(0))
    outside.parent.mkdir(mode=0o1777)
    server = socket.socket(socket.AF_UNIX)
    server.bind(str(outside))
    pathlib.Path(xvfb.LOCK_FILE.format(0)).write_text(f"{os.getpid():10d}\n")
    inode = outside.stat().st_ino
    failing = pathlib.Path("/tmp/failing")
    failing.mkdir()
    (failing / "ip").write_text("#!/bin/sh\nexit 1\n")
    (failing / "ip").chmod(0o755)
    done = subprocess.run([str(gui.PROJECT / "scripts/own-x11.sh"), sys.executable, __file__, "--case",
                           "check_servers_apart"], env=dict(os.environ, PATH=f"{failing}:{os.environ['PATH']}"),
                          capture_output=True, text=True, timeout=120)
    print(done.stdout + done.stderr, end="")
    gui.check(outside.exists() and outside.stat().st_ino == inode, "the socket file of :0 was replaced or removed")
    gui.check(done.returncode == 0 and "servers apart: skipped" in done.stdout, "servers apart ran in the fallback")


def stale_lock_taken_back():
    """A lock on :0 naming a process that has ended is taken back; one naming a running process stays."""
    ended = subprocess.Popen(["true"])
    ended.wait()
    lock = pathlib.Path(xvfb.LOCK_FILE.format(0))
    # (process named in the lock, the display the harness takes, the lock afterwards)
    for pid, expected, left in ((ended.pid, ":0", None), (os.getpid(), ":1", f"{os.getpid():10d}\n")):
        lock.write_text(f"{pid:10d}\n")
        with xvfb.xvfb() as display:
            pass
        kept = lock.read_text() if lock.exists() else None
        gui.check((display, kept) == (expected, left), f"a lock of pid {pid}: took {display}, left {kept!r}")


# The tmpfs over /tmp hides everything below it, the checkout too where it lies there. The shell stands in the
# checkout as the tmpfs comes, so its "." still is the checkout, and binds that back at the checkout's path; mount
# must not canonicalize "." into that path, which by then names an empty folder of the tmpfs.
SANDBOX = ('cd "$1" && mount -t tmpfs sandbox /tmp && mkdir -p "$1" && mount --no-canonicalize --bind . "$1" && '
           'shift && exec "$@"')


def in_sandbox(case):
    """Runs case, a function of this file, where /tmp holds nothing but the checkout and the network is only
    loopback of its own, so the X servers, locks and socket files it makes are its own."""
    way = namespace_way(["--net", "--mount"])
    if way is None:
        print(f"{case.__name__}: skipped, no network and mount namespace can be made here")
        return
    code = run_named(case.__name__, way + ["sh", "-c", SANDBOX, "sandbox", str(gui.PROJECT), sys.executable,
                                           __file__, "--case", case.__name__])
    gui.check(code == 0, f"{case.__name__} failed")


def run_named(name, args):
    """Runs args, prints each line they print after name, and returns their exit code."""
    done = subprocess.run(args, capture_output=True, text=True, timeout=180)
    print("".join(f"{name}: {line}\n" for line in (done.stdout + done.stderr).splitlines()), end="")
    return done.returncode


def sandboxed():
    """The rows that need a /tmp of their own, each in a sandbox."""
    for case in (outside_socket_stays, stale_lock_taken_back):
        in_sandbox(case)


def sandboxed_from_tmp():
    """The sandboxed rows run from a copy of the tree below /tmp, as from a checkout there: the sandbox's own /tmp
    hides none of what they run."""
    with tempfile.TemporaryDirectory(dir="/tmp") as copy:
        for part in ("scripts", "tests/support", "tests/app/window"):
            shutil.copytree(gui.PROJECT / part, pathlib.Path(copy, part))
        test = pathlib.Path(copy, "tests/app/window", pathlib.Path(__file__).name)
        code = run_named("from /tmp", [sys.executable, str(test), "--case", "sandboxed"])
    gui.check(code == 0, "the sandboxed rows failed from a copy of the tree below /tmp")


def main(argv):
    if argv[1] == "--case":
        globals()[argv[2]]()
        return
    check_servers_apart()
    sandboxed()
    sandboxed_from_tmp()
    for case in CASES:
        with tempfile.TemporaryDirectory() as root:
            run_case(argv, root, *case)
    print("lost_display_gui: all checks passed")


if __name__ == "__main__":
    main(sys.argv)
