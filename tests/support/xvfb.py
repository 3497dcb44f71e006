"""An X server of its own for a GUI test, and the X tools the tests drive it with.

Each test starts its own Xvfb with -displayfd, so no display number is fixed and tests can run in
parallel. A missing tool fails the test; it never skips it.
"""

import contextlib
import os
import select
import shutil
import subprocess
import sys
import time

SCREEN = "1920x1080x24"


def require_tools(*names):
    """Exits with a failure when one of the programs is not installed."""
    missing = [name for name in names if shutil.which(name) is None]
    if missing:
        sys.exit("missing test tools: " + " ".join(missing))


@contextlib.contextmanager
def xvfb(timeout=30.0, servers=None):
    """Starts Xvfb on a free display and yields its name (":N"); ends that server at the end (servers gets it)."""
    require_tools("Xvfb")
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    if servers is not None:
        servers.append(server)
    try:
        number = b""
        deadline = time.monotonic() + timeout
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                raise RuntimeError("Xvfb did not report its display")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb ended before it reported its display")
            number += chunk
        yield ":" + number.decode().strip()
    finally:
        os.close(read_end)
        # SIGTERM lets the server remove its lock file: a stale one makes two servers that start together
        # both take its display.
        server.terminate()
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def run_tool(display, *args, check=True):
    """Runs an X tool against the display and returns its standard output."""
    env = dict(os.environ, DISPLAY=display)
    done = subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=30)
    if check and done.returncode != 0:
        raise RuntimeError(f"{' '.join(args)} failed ({done.returncode}): {done.stderr.strip()}")
    return done.stdout


def find_window(display, name_pattern, timeout=30.0, gone=lambda: None):
    """The id of the first window whose name matches the pattern, polling up to timeout seconds.

    gone() is asked on every poll; a text from it (the program has ended, say) ends the wait at once.
    """
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = run_tool(display, "xdotool", "search", "--name", name_pattern, check=False).split()
        if found:
            return int(found[0])
        why = gone()
        if why:
            raise RuntimeError(f"no window named {name_pattern}: {why}")
        time.sleep(0.1)
    raise RuntimeError(f"no window named {name_pattern} within {timeout} s")


def window_info(display, window):
    """xwininfo's fields of the window as a dict ("Width": "880", "Map State": "IsViewable", ...)."""
    info = {}
    for line in run_tool(display, "xwininfo", "-id", str(window)).splitlines():
        key, sep, value = line.strip().partition(":")
        if sep and value:
            info[key.strip()] = value.strip()
    return info


def screenshot(display, window, path):
    """Writes an XWD screenshot of the window to path."""
    run_tool(display, "xwd", "-silent", "-id", str(window), "-out", str(path))
