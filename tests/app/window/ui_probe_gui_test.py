#!/usr/bin/env python3
"""The window layer's FLTK backend under its own Xvfb, driven by xdotool through the probe program.

Usage: ui_probe_gui_test.py UI_PROBE X_CLOSE_WINDOW
Checks clicks and Space on a check box, picking from a drop-down list with the keyboard, typing into an
edit field with a hook, Escape, the window manager's close, SIGTERM, a worker's post, a message box that
nothing waits for, always on top, and where text is drawn.
"""

import os
import pathlib
import queue
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "support"))
import xvfb  # noqa: E402
import xwd_pixels  # noqa: E402

# Liveness bounds only: a passing run takes well under a second per wait, a busy machine far longer.
TIMEOUT = 30.0
# Control places in the probe's client area (see ui_probe.cpp).
PUSH = (60, 142)
CHECK = (26, 176)
LIST = (80, 210)
EDIT = (120, 248)


class Probe:
    """The probe process and the lines it prints."""

    def __init__(self, program, display):
        env = dict(os.environ, DISPLAY=display, CORVANE_UI="fltk")
        self.process = subprocess.Popen([program], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))

    def expect(self, wanted, what):
        """Waits for a line starting with wanted; returns the lines seen before it and the line."""
        before = []
        deadline = time.monotonic() + TIMEOUT
        while True:
            left = deadline - time.monotonic()
            try:
                line = self.lines.get(timeout=max(left, 0.01))
            except queue.Empty:
                raise AssertionError(f"{what}: no line '{wanted}' within {TIMEOUT} s; after {self.seen[-8:]}")
            self.seen.append(line)
            if line.startswith(wanted):
                return before, line
            before.append(line)

    def command(self, text):
        self.process.stdin.write(text + "\n")
        self.process.stdin.flush()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def is_yellow(rgb):
    r, g, b = rgb
    return r >= 200 and g >= 200 and b <= 100


def click(display, window, point):
    xvfb.run_tool(display, "xdotool", "mousemove", "--window", str(window), str(point[0]), str(point[1]),
                  "click", "1")


def key(display, window, *names):
    xvfb.run_tool(display, "xdotool", "key", "--window", str(window), *names)


def test_check_box(display, window, probe):
    click(display, window, CHECK)
    _, line = probe.expect("Command id=1002", "click on the check box")
    check(line == "Command id=1002 code=0 check=0", f"check box click: {line}")
    key(display, window, "space")
    _, line = probe.expect("Command id=1002", "Space on the check box")
    check(line == "Command id=1002 code=0 check=0", f"check box Space: {line}")


def top_windows(display):
    """The ids of the root window's children."""
    ids = set()
    for line in xvfb.run_tool(display, "xwininfo", "-root", "-children").splitlines():
        word = line.strip().split(" ", 1)[0]
        if word.startswith("0x"):
            ids.add(int(word, 16))
    return ids


def wait_for_popup(display, before):
    """Waits until a new top-level window is mapped: the drop-down's list."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        for candidate in top_windows(display) - before:
            if "IsViewable" in xvfb.run_tool(display, "xwininfo", "-id", str(candidate), check=False):
                return
        time.sleep(0.05)
    raise AssertionError("the drop-down's list did not open")


def test_drop_down(display, window, probe):
    before = top_windows(display)
    click(display, window, LIST)
    wait_for_popup(display, before)
    xvfb.run_tool(display, "xdotool", "key", "Down", "Return")
    _, line = probe.expect("Command id=1003", "picking from the drop-down")
    check(line == "Command id=1003 code=1 sel=1 text=R&D count=5 first=a/b", f"drop-down pick: {line}")


def test_edit(display, window, probe):
    click(display, window, EDIT)
    xvfb.run_tool(display, "xdotool", "type", "--window", str(window), "ab/c")
    key(display, window, "Return")
    _, line = probe.expect("Hook Char 13", "Return in the edit field")
    check(line == "Hook Char 13 text=ab/c", f"edit hook at Return: {line}")


def test_escape_and_close(display, window, probe, close_tool):
    key(display, window, "Escape")
    click(display, window, PUSH)  # a later event: everything before it has been handled when it arrives
    before, line = probe.expect("Command id=1001", "push button after Escape")
    check(line.startswith("Command id=1001 code=0"), f"push button: {line}")
    check("Close" not in before, f"Escape closed the window: {before}")
    subprocess.run([close_tool, str(window)], env=dict(os.environ, DISPLAY=display), check=True, timeout=30)
    probe.expect("Close", "WM_DELETE_WINDOW")
    time.sleep(0.3)
    state = xvfb.window_info(display, window).get("Map State")
    check(state == "IsViewable", f"the window after Close is {state}")


def test_worker_post(probe, count=1):
    probe.command("post")
    _, line = probe.expect("App+5 from worker", "a worker's post")
    check(line == f"App+5 from worker w={count}", f"worker post: {line}")


def test_signal(probe):
    probe.process.send_signal(15)
    probe.expect("Close", "SIGTERM")


def test_message_box(display, probe, close_tool):
    probe.command("box")
    box = xvfb.find_window(display, "^Corvane$")
    test_worker_post(probe, 2)  # the probe goes on while the box is open
    subprocess.run([close_tool, str(box)], env=dict(os.environ, DISPLAY=display), check=True, timeout=30)
    deadline = time.monotonic() + TIMEOUT
    # FLTK destroys a hidden window's X window, so xwininfo may not find it at all.
    while "IsViewable" in xvfb.run_tool(display, "xwininfo", "-id", str(box), check=False):
        check(time.monotonic() < deadline, "the message box stays after its close")
        time.sleep(0.1)
    probe.command("top")  # no window manager answers; the probe must simply go on
    test_worker_post(probe, 3)


def test_text_anchor(display, window):
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "probe.xwd"
        xvfb.screenshot(display, window, path)
        image = xwd_pixels.read_xwd(path)
    columns = range(0, 200)
    inside = [(x, y) for y in range(455, 471) for x in columns if is_yellow(image.pixel(x, y))]
    above = [(x, y) for y in range(0, 455) for x in columns if is_yellow(image.pixel(x, y))]
    check(inside, "no yellow text pixels in rows 455-470")
    check(not above, f"yellow pixels above row 455: {above[:5]}")


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    program, close_tool = argv[1], argv[2]
    xvfb.require_tools("Xvfb", "xdotool", "xwd", "xwininfo")
    with xvfb.xvfb() as display:
        probe = Probe(program, display)
        try:
            window = xvfb.find_window(display, "^ui_probe$")
            probe.expect("Paint", "first paint")
            test_check_box(display, window, probe)
            test_drop_down(display, window, probe)
            test_edit(display, window, probe)
            test_escape_and_close(display, window, probe, close_tool)
            test_worker_post(probe)
            test_signal(probe)
            test_message_box(display, probe, close_tool)
            test_text_anchor(display, window)
            probe.command("quit")
            code = probe.process.wait(timeout=TIMEOUT)
            check(code == 0, f"the probe ended with {code}")
        finally:
            if probe.process.poll() is None:
                probe.process.kill()
                probe.process.wait()
    print("ui_probe_gui: all checks passed")


if __name__ == "__main__":
    main(sys.argv)
