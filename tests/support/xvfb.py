"""An X server of its own for a GUI test, and the X tools the tests drive it with.

Each test starts its own Xvfb on a display number it takes with the X servers' lock file, so tests run in
parallel. The server listens on the abstract socket only: it never makes nor removes a file in
/tmp/.X11-unix, where another server's socket may lie. Run under scripts/own-x11.sh, that socket and the
folder are private to the test as well. A missing tool fails the test; it never skips it.
"""

import contextlib
import os
import pathlib
import select
import shutil
import subprocess
import sys
import time

SCREEN = "1920x1080x24"
LOCK_FILE = "/tmp/.X{}-lock"
SOCKET_FILE = "/tmp/.X11-unix/X{}"


def require_tools(*names):
    """Exits with a failure when one of the programs is not installed."""
    missing = [name for name in names if shutil.which(name) is None]
    if missing:
        sys.exit("missing test tools: " + " ".join(missing))


def holder_ended(lock):
    """Whether the lock file names a process that no longer runs. A lock still being written, or naming a
    process of another user, is held."""
    try:
        pid = int(pathlib.Path(lock).read_text())
        os.kill(pid, 0)
    except ProcessLookupError:
        return pid > 0
    except (OSError, ValueError):
        pass
    return False


def create_lock(lock):
    """The open lock file this process creates, taking it back where its process has ended (as after a test
    killed at its time-out), as X servers do; None where another process holds it."""
    for _ in range(2):
        try:
            return os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
        except FileExistsError:
            if not holder_ended(lock):
                return None
            with contextlib.suppress(FileNotFoundError):
                os.unlink(lock)
    return None


def take_number(first):
    """The lowest display number from first on whose lock file this process creates and that has no socket
    file. The lock holds this process's pid as X servers write it, so they leave the number alone too; the
    caller removes it."""
    for number in range(first, first + 1000):
        fd = create_lock(LOCK_FILE.format(number))
        if fd is None:
            continue
        with os.fdopen(fd, "w") as lock:
            lock.write(f"{os.getpid():10d}\n")
        if not os.path.lexists(SOCKET_FILE.format(number)):
            return number
        os.unlink(LOCK_FILE.format(number))
    raise RuntimeError(f"no free display number from {first} on")


def start_server(args, timeout):
    """Starts an X server (args, to which -displayfd is added) and returns it with its display once it takes
    connections; (None, None) when it ends first, as Xvfb on a number whose abstract socket another server in
    this network namespace has."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(args + ["-displayfd", str(write_end)], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        reported = b""
        deadline = time.monotonic() + timeout
        while not reported.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                end(server)
                raise RuntimeError(f"{args[0]} did not report its display")
            chunk = os.read(read_end, 16)
            if not chunk:
                server.wait()
                return None, None
            reported += chunk
        return server, ":" + reported.decode().strip()
    finally:
        os.close(read_end)


def end(server):
    # SIGTERM first, so the server closes down as at a logout.
    server.terminate()
    try:
        server.wait(timeout=10)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait()


@contextlib.contextmanager
def xvfb(timeout=30.0, servers=None):
    """Starts Xvfb on a free display and yields its name (":N"); ends that server at the end (servers gets it)."""
    require_tools("Xvfb")
    number, server = -1, None
    for _ in range(20):
        number = take_number(number + 1)
        try:
            # -noreset: a server that resets when its last client leaves drops a client connecting meanwhile
            # ("Can't open display"), as the program does while xdotool's searches come and go.
            server, _ = start_server(["Xvfb", f":{number}", "-nolock", "-noreset", "-screen", "0", SCREEN,
                                      "-nolisten", "tcp", "-nolisten", "unix"], timeout)
        finally:
            if server is None:
                os.unlink(LOCK_FILE.format(number))
        if server is not None:
            break
    else:
        raise RuntimeError(f"Xvfb ended before it took a display, up to :{number}")
    if servers is not None:
        servers.append(server)
    try:
        yield f":{number}"
    finally:
        end(server)
        os.unlink(LOCK_FILE.format(number))


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
