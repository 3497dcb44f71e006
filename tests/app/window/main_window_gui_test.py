#!/usr/bin/env python3
"""The program's main window on the FLTK backend under its own Xvfb.

Usage: main_window_gui_test.py CORVANE X_CLOSE_WINDOW DBASE_ENC
Checks the window's name, class and size, a few pixels of each painted area, and that the window manager's
close and SIGTERM both end the program with 0 and store the window position. A click on "Always on top" and
Enter in the callsign field store their values. "Scan liveries" ticked while the start-up's download hangs
restarts the run, which goes on until SIGTERM.
"""

import os
import pathlib
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "support"))
import xvfb  # noqa: E402
import xwd_pixels  # noqa: E402

# Liveness bounds only: a passing run takes well under a second per wait, a busy machine far longer.
TIMEOUT = 30.0
EXIT_BOUND = 5.0
NAME = "Corvane_P3D"

RED = (255, 0, 0)
BLACK = (0, 0, 0)
LIGHT_BLUE = (153, 204, 255)
LIME_GREEN = (50, 205, 50)
# (point, colour, what is there)
PIXELS = [
    ((410, 100), RED, "simulator block, not connected"),
    ((440, 100), BLACK, "RealTraffic block, not started"),
    ((860, 60), BLACK, "top panel"),
    ((860, 380), LIGHT_BLUE, "settings area"),
    ((860, 420), BLACK, "counters area"),
    ((860, 470), LIME_GREEN, "status line"),
]


def check(condition, message):
    if not condition:
        raise AssertionError(message)



PROJECT = pathlib.Path(__file__).resolve().parents[3]
SEED_SCRIPT = PROJECT / "scripts" / "seed_parameters.py"


def seed_run_parameters(parameters, root):
    """A user's parameters.xml ready to run: the livery scan on a one-file generated tree, the scenery scan
    on an empty folder."""
    subprocess.run([os.environ["GEN_LIVERY_TREE"], "--out", str(root / "liveries"), "--files", "1",
                    "--sections", "1-1", "--dbase", str(PROJECT / "data" / "input" / "dbase.xml")], check=True)
    (root / "scenery").mkdir()
    subprocess.run([sys.executable, str(SEED_SCRIPT), str(parameters),
                    "SCAN_LIVERIES=true", f"lfolder0={root / 'liveries'}", "SCAN_AIRPORTS=true",
                    f"afolder0={root / 'scenery'}"],
                   check=True)


class Program:
    """corvane in a program folder of its own, with every desktop location in temp folders."""

    def __init__(self, binary, display, root, dbase, prepare=None, site=None):
        self.root = pathlib.Path(root)
        # The install folder names its version: the program reads "v5" or "v6" from the path, and a temp
        # folder's random name may hold either.
        for name in ("program", "program/docs", "program/input", "home", "runtime", "appdata", "p3d_v5",
                     "p3d_v5/Scenery"):
            (self.root / name).mkdir()
        shutil.copyfile(dbase, self.root / "program" / "input" / "dbase.enc")
        # The sealed airports lie beside the dbase, with the two airport folders an installation has.
        shutil.copyfile(pathlib.Path(dbase).with_name("airports.enc"), self.root / "program" / "input" / "airports.enc")
        for name in ("program/airports", "program/airports/my_thirdparty", "program/airports/my_ORBX"):
            (self.root / name).mkdir(exist_ok=True)
        os.chmod(self.root / "runtime", 0o700)
        # Prepar3D v5 in the registry, so that the run gets as far as the wait for the simulator.
        registry = self.root / "home" / "registry.reg"
        registry.write_text("Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\r\n"
                            f'"SetupPath"="{self.root / "p3d_v5"}"\r\n', encoding="utf-8")
        seed_run_parameters(self.root / "appdata" / NAME / "parameters.xml", self.root)
        if prepare is not None:
            prepare(self.root, registry)  # more of the surroundings, before the program starts
        env = dict(os.environ, DISPLAY=display, CORVANE_UI="fltk", HOME=str(self.root / "home"),
                   XDG_CONFIG_HOME=str(self.root / "home"), XDG_RUNTIME_DIR=str(self.root / "runtime"),
                   CORVANE_APPDATA_DIR=str(self.root / "appdata"), CORVANE_REGISTRY_FILE=str(registry))
        if site is not None:
            env["CORVANE_DOWNLOAD_BASE_URL"] = site
        self.process = subprocess.Popen([binary], cwd=self.root / "program", env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    @property
    def parameters(self):
        return self.root / "appdata" / NAME / "parameters.xml"

    def wait_for_exit(self, what):
        try:
            code = self.process.wait(timeout=EXIT_BOUND)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{what}: the program still runs after {EXIT_BOUND} s")
        check(code == 0, f"{what}: exit code {code}; stderr: {self.process.stderr.read()}")

    def ended(self):
        """None while the program runs; else its exit code and stderr."""
        code = self.process.poll()
        if code is None:
            return None
        return f"the program ended with {code}; stderr: {self.process.stderr.read()!r}"

    def log_tail(self):
        log = self.root / "program" / "Log.txt"
        return log.read_text(errors="replace")[-2000:] if log.exists() else "(no Log.txt)"

    def thread_dump(self):
        """Every thread's stack of a program that still runs (gdb), to tell a hang from a slow start."""
        if self.process.poll() is not None or shutil.which("gdb") is None:
            return ""
        done = subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-ex", "thread apply all bt"],
                              capture_output=True, text=True, timeout=60, check=False)
        return done.stdout[-6000:]

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def check_window(display, window):
    info = xvfb.window_info(display, window)
    check(info.get("Width") == "880" and info.get("Height") == "476",
          f"the client area is {info.get('Width')}x{info.get('Height')}, not 880x476")
    props = xvfb.run_tool(display, "xprop", "-id", str(window), "WM_NAME", "WM_CLASS")
    check(f'WM_NAME(STRING) = "{NAME}"' in props or f'WM_NAME(UTF8_STRING) = "{NAME}"' in props,
          f"WM_NAME: {props}")
    check(f'WM_CLASS(STRING) = "{NAME}", "{NAME}"' in props, f"WM_CLASS: {props}")


def wait_for_paint(display, window, folder):
    """The window's pixels once the status line is painted."""
    path = pathlib.Path(folder) / "window.xwd"
    deadline = time.monotonic() + TIMEOUT
    while True:
        xvfb.screenshot(display, window, path)
        image = xwd_pixels.read_xwd(path)
        if image.pixel(860, 470) == LIME_GREEN or time.monotonic() > deadline:
            return image
        time.sleep(0.1)


def check_pixels(image):
    for point, colour, what in PIXELS:
        actual = image.pixel(*point)
        check(actual == colour, f"{what} at {point}: {actual}, expected {colour}")


def stored_x(parameters):
    text = parameters.read_text()
    found = re.search(r'name="MAIN_WINDOW_X" value="(-?\d+)"', text)
    check(found is not None, f"no MAIN_WINDOW_X in {parameters}")
    return int(found.group(1))


def stored_value(parameters, name):
    """The stored value of name, or None while the file or the element is not there."""
    text = parameters.read_text() if parameters.exists() else ""
    found = re.search(rf'name="{name}" value="([^"]*)"', text)
    return found.group(1) if found else None


def wait_for_value(parameters, name, wanted, bound):
    """The values of name seen until it equals wanted or the bound passes, in order, repeats dropped."""
    seen = []
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        value = stored_value(parameters, name)
        if not seen or seen[-1] != value:
            seen.append(value)
        if value == wanted:
            time.sleep(0.5)  # a second flip would show now
            seen.append(stored_value(parameters, name))
            break
        time.sleep(0.05)
    return seen


def use_controls(display, window, parameters):
    """A click on "Always on top" flips its stored value exactly once; Enter in the callsign field blocks."""
    before = wait_for_value(parameters, "ALWAYS_ON_TOP", "false", TIMEOUT)[-1]
    check(before == "false", f"ALWAYS_ON_TOP is stored as {before}")
    xvfb.run_tool(display, "xdotool", "mousemove", "--window", str(window), "754", "155", "click", "1")
    seen = wait_for_value(parameters, "ALWAYS_ON_TOP", "true", EXIT_BOUND)
    check(seen[-2:] == ["true", "true"], f"ALWAYS_ON_TOP went {seen}")
    xvfb.run_tool(display, "xdotool", "mousemove", "--window", str(window), "150", "267", "click", "1")
    xvfb.run_tool(display, "xdotool", "type", "abc123")
    xvfb.run_tool(display, "xdotool", "key", "Return")
    seen = wait_for_value(parameters, "BLOCK_CALLSIGN", "ABC123", EXIT_BOUND)
    check(seen[-1] == "ABC123", f"BLOCK_CALLSIGN went {seen}")


def held_site():
    """A downloads site that takes the connection and never answers: a start-up download that hangs."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    return listener


def without_scan(root, _registry):
    subprocess.run([sys.executable, str(SEED_SCRIPT), "--replace",
                    str(root / "appdata" / NAME / "parameters.xml"), "SCAN_LIVERIES=false"], check=True)


def log_holds_in_order(program, lines, bound):
    """True once Log.txt holds lines in this order, False after the bound."""
    deadline = time.monotonic() + bound
    while time.monotonic() < deadline:
        log = program.root / "program" / "Log.txt"
        found = log.read_text(errors="replace").splitlines() if log.exists() else []
        at = 0
        for line in found:
            if at < len(lines) and line == lines[at]:
                at += 1
        if at == len(lines):
            return True
        time.sleep(0.1)
    return False


def restart_during_download(display, window, program, site):
    """A click on "Scan liveries" while the start-up's first download hangs: the run restarts, and the new run
    gets as far as the wait for the simulator."""
    check(select.select([site], [], [], TIMEOUT)[0], "the start-up asked the site nothing")
    xvfb.run_tool(display, "xdotool", "mousemove", "--window", str(window), "11", "155", "click", "1")
    lines = ["Your liveries will be scanned", "Exiting: NEW SETTINGS", "Restart countdown finished",
             "Waiting for Prepar3Dv5 ..."]
    check(log_holds_in_order(program, lines, TIMEOUT), f"no restart: {program.log_tail()!r}")
    check(program.ended() is None, f"the program ended instead of restarting: {program.ended()}")


def run_case(binary, close_tool, dbase, display, how):
    with tempfile.TemporaryDirectory() as root:
        site = held_site() if how == "restart during a download" else None
        program = Program(binary, display, root, dbase, prepare=without_scan if site else None,
                          site=f"http://127.0.0.1:{site.getsockname()[1]}/downloads/" if site else None)
        try:
            try:
                window = xvfb.find_window(display, f"^{NAME}$", TIMEOUT, program.ended)
            except RuntimeError as error:
                raise AssertionError(f"{how}: {error}; log: {program.log_tail()!r}\n{program.thread_dump()}") from None
            check_window(display, window)
            check_pixels(wait_for_paint(display, window, root))
            if how == "controls":
                use_controls(display, window, program.parameters)
            if site is not None:
                restart_during_download(display, window, program, site)
            if how == "WM_DELETE_WINDOW":
                subprocess.run([close_tool, str(window)], env=dict(os.environ, DISPLAY=display), check=True,
                               timeout=30)
            else:
                program.process.send_signal(signal.SIGTERM)
            program.wait_for_exit(how)
            check(stored_x(program.parameters) == 400, f"{how}: MAIN_WINDOW_X is {stored_x(program.parameters)}")
        finally:
            program.stop()
            if site is not None:
                site.close()


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    binary, close_tool, dbase = argv[1], argv[2], argv[3]
    xvfb.require_tools("Xvfb", "xdotool", "xwd", "xwininfo", "xprop")
    with xvfb.xvfb() as display:
        for how in ("WM_DELETE_WINDOW", "SIGTERM", "controls", "restart during a download"):
            run_case(binary, close_tool, dbase, display, how)
    print("main_window_gui: all checks passed")


if __name__ == "__main__":
    main(sys.argv)
