"""Helpers for the rig tests: Windows programs under Wine on the fixture's Xvfb
display, driven with real input from xdotool and observed with winprobe, X
screenshots and the X server's own cursor image.

The fixture (tests/rig/wine-env, started by the ctest fixture "wine") exports
DISPLAY, WINEPREFIX, TIYAN_WINE and TIYAN_WINE_DIR; tiyan_rig_test adds
TIYAN_BIN (the x86_64 Windows programs), TIYAN_NATIVE_BIN, TIYAN_SOURCE and
TIYAN_RIG. To run a rig test by hand against a build directory BUILD:

    tests/rig/wine-env start BUILD/wine
    TIYAN_BIN=BUILD/win64/bin tests/rig/wine-env run-linux BUILD/wine python3 TEST.py

Bare Xvfb has no window manager: windows are where the program puts them,
and keys go to Wine's foreground window.

Tested by tests/rig/rig_selftest.py.
"""
import ctypes
import ctypes.util
import json
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import threading
import time


class RigError(Exception):
    pass


def env(name):
    value = os.environ.get(name)
    if not value:
        raise RigError(f"{name} is not set: run inside the Wine fixture (tests/rig/wine-env)")
    return value


def bin_dir():
    return pathlib.Path(env("TIYAN_BIN"))


def build_dir():
    """The native build directory: the Wine fixture lives in its folder wine/."""
    return pathlib.Path(env("TIYAN_WINE_DIR")).parent


def out_dir(name):
    """A directory for a test's files, under the build directory's rig-out/."""
    base = build_dir() / "rig-out" / name
    base.mkdir(parents=True, exist_ok=True)
    return base


def winpath(path):
    """The Windows path of a Unix path (Wine maps drive Z: to the root)."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def wait_until(predicate, timeout=10.0, interval=0.1, message="condition"):
    """Calls predicate until it returns a true value, which is returned; raises on time-out."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise RigError(f"timed out after {timeout} s waiting for {message}")
        time.sleep(interval)


# The rig's own helper programs read "@FILE" as the UTF-8 lines of FILE
# (tests/rig/command_line_win.h). Wine decodes a Unix command line by the Unix
# locale, which under the C locale would mangle Chinese arguments.
RESPONSE_FILE_PROGRAMS = {"pagehost", "winprobe", "withenv"}


class WinProcess:
    """A Windows program running under Wine in the background."""

    def __init__(self, exe, args, name, extra_env, cwd):
        self.name = name
        folder = out_dir("processes")
        stamp = f"{name}-{os.getpid()}-{time.monotonic_ns()}"
        self.stdout_path = folder / f"{stamp}.out"
        self.stderr_path = folder / f"{stamp}.err"
        args = [str(a) for a in args]
        self.response_path = None
        if exe.stem in RESPONSE_FILE_PROGRAMS and not all(a.isascii() for a in args):
            self.response_path = folder / f"{stamp}.args"
            self.response_path.write_text("\n".join(args), encoding="utf-8")
            args = ["@" + winpath(self.response_path)]
        process_env = dict(os.environ)
        process_env.update(extra_env or {})
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.popen = subprocess.Popen([env("TIYAN_WINE"), str(exe), *args],
                                          stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                          env=process_env, cwd=cwd)
        self.pid = self.popen.pid

    def poll(self):
        return self.popen.poll()

    def wait(self, timeout=None):
        """The exit code; raises subprocess.TimeoutExpired on time-out."""
        return self.popen.wait(timeout)

    def kill(self):
        if self.popen.poll() is None:
            self.popen.send_signal(signal.SIGKILL)
            self.popen.wait(10)

    def output(self):
        return self.stdout_path.read_bytes() + self.stderr_path.read_bytes()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()


def start(exe, *args, name=None, env_vars=None, cwd=None):
    """Starts a Windows program (a path, or a name in TIYAN_BIN) under Wine."""
    exe = pathlib.Path(exe)
    if not exe.is_absolute():
        exe = bin_dir() / exe
    return WinProcess(exe, args, name or exe.stem, env_vars, cwd)


def show_page(page_file, name, *options, url=None, rect="40,40,500,240", timeout=60.0):
    """Shows the HTML file page_file in a page host titled name (at rect, with the
    page host's further options) and returns (the host process, the report of its
    "Internet Explorer_Server" window) once the host's frame is visible."""
    args = ["--html", winpath(page_file), "--title", name, "--rect", rect]
    if url is not None:
        args += ["--url", url]
    host = start("pagehost.exe", *args, *options)
    try:
        frame = wait_window(cls="TiyanPageHost", title=name, visible=True, timeout=timeout)
        return host, child(frame, "Internet Explorer_Server")
    except BaseException:
        host.kill()
        raise


def run(exe, *args, timeout=60, env_vars=None):
    """Runs a Windows program to its end; returns (exit code, output bytes)."""
    with start(exe, *args, env_vars=env_vars) as process:
        code = process.wait(timeout)
        output = process.output()
    for path in (process.stdout_path, process.stderr_path, process.response_path):
        if path:
            path.unlink()
    return code, output


# --- winprobe -----------------------------------------------------------------

# Probe commands that only look, and so may run again. Once in a long CI run, Wine
# ended a probe with exit code 1 before its first line ran (no report, no output).
LOOKING_PROBES = {"find", "wait", "waitgone", "cursor", "answer"}


def probe(command, *args, timeout=60):
    """Runs winprobe and returns its JSON report, with the exit code as "exit"."""
    attempts = 2 if command in LOOKING_PROBES else 1
    for attempt in range(attempts):
        with tempfile.TemporaryDirectory(dir=out_dir("probe")) as folder:
            report = pathlib.Path(folder) / "probe.json"
            code, output = run("winprobe.exe", winpath(report), command, *args, timeout=timeout)
            if report.exists():
                data = json.loads(report.read_text(encoding="utf-8"))
                data["exit"] = code
                return data
        message = f"winprobe {command} wrote no report (exit {code}): {output!r}"
        if attempt + 1 < attempts:
            print(f"{message}; running it again", file=sys.stderr)
    raise RigError(message)


def _filter_args(cls=None, title=None, pid=None, hwnd=None, visible=False, depth=None):
    args = []
    if cls is not None:
        args += ["--class", cls]
    if title is not None:
        args += ["--title", title]
    if pid is not None:
        args += ["--pid", pid]
    if hwnd is not None:
        args += ["--hwnd", hwnd]
    if visible:
        args.append("--visible")
    if depth is not None:
        args += ["--depth", depth]
    return args


def find_windows(**filters):
    """Top-level windows (with their children) that match: cls, title, pid, hwnd, visible."""
    return probe("find", *_filter_args(**filters))["windows"]


def wait_window(timeout=20.0, **filters):
    """The first matching top-level window, once there is one."""
    report = probe("wait", *_filter_args(**filters), "--timeout", int(timeout * 1000),
                   timeout=timeout + 30)
    if report["exit"] != 0 or not report["windows"]:
        raise RigError(f"no window matching {filters} within {timeout} s")
    return report["windows"][0]


def wait_gone(timeout=20.0, **filters):
    report = probe("waitgone", *_filter_args(**filters), "--timeout", int(timeout * 1000),
                   timeout=timeout + 30)
    if report["exit"] != 0:
        raise RigError(f"windows matching {filters} still there after {timeout} s")


def window(hwnd):
    """A window's current state (a top-level or a child), or None when it is gone."""
    windows = probe("find", "--hwnd", hwnd)["windows"]
    return windows[0] if windows else None


def children(win, cls=None, text=None):
    """All descendants of a window report, depth first, optionally by class and text."""
    found = []
    for child in win.get("children", []):
        if (cls is None or child["class"] == cls) and (text is None or child["text"] == text):
            found.append(child)
        found += children(child, cls, text)
    return found


def child(win, cls=None, text=None):
    matches = children(win, cls, text)
    if not matches:
        raise RigError(f"no child of class {cls!r} and text {text!r} in window {win['hwnd']}")
    return matches[0]


def wait_answering(hwnd, timeout=600.0):
    """Waits until the window's thread handles a message again, that is, until
    whatever blocks it now (a click being handled, say) is over. Returns the
    seconds the probe waited; raises when the window did not answer in time."""
    report = probe("answer", "--hwnd", hwnd, "--timeout", int(timeout * 1000),
                   timeout=timeout + 60)
    if not report.get("answered"):
        raise RigError(f"window {hwnd} did not answer within {timeout} s")
    return report["waitedMs"] / 1000.0


def list_rows(hwnd):
    """The cells of the list view hwnd, row by row, or None when its thread did
    not answer the probe (busy or hung): such a list only reads as empty."""
    view = window(hwnd)
    if view is None or not view["listview"].get("answered"):
        return None
    return view["listview"]["items"]


def current_rows(list_hwnd, timeout=60.0):
    """The rows of the list view list_hwnd, read once its thread answers."""
    def read():
        rows = list_rows(list_hwnd)
        return None if rows is None else (rows,)

    return wait_until(read, timeout=timeout, message="the list to answer")[0]


def wait_new_rows(main_hwnd, list_hwnd, before, timeout=600.0):
    """The rows of the list view list_hwnd once a click (say) has replaced `before`:
    read with main_hwnd's thread answering, different from `before`, and the same on
    two reads in a row. A window that answers may still be inside a cross-process
    call (COM answers sent messages while it waits), and one read goes cell by cell,
    so a single read can straddle the moment the rows change."""
    if before is None:
        raise RigError("the rows before the click were not read (the list did not answer)")
    last = [None]

    def settled():
        wait_answering(main_hwnd, timeout)
        rows = list_rows(list_hwnd)
        done = rows is not None and rows != before and rows == last[0]
        last[0] = rows
        return (rows,) if done else None

    return wait_until(settled, timeout=timeout, message="new rows in the list")[0]


def post_close(hwnd):
    return probe("post", "--hwnd", hwnd, "--message", "WM_CLOSE")


def foreground(hwnd):
    return probe("foreground", "--hwnd", hwnd)


def cursor_info(hwnd=None):
    args = ["--hwnd", hwnd] if hwnd is not None else []
    return probe("cursor", *args)["cursor"]


def centre(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


# --- input with xdotool ---------------------------------------------------------

def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE, timeout=30)


def mousemove(x, y):
    xdotool("mousemove", "--sync", x, y)


def mousedown(button=1):
    xdotool("mousedown", button)


def mouseup(button=1):
    xdotool("mouseup", button)


def click(x, y, button=1, pause=0.1):
    mousemove(x, y)
    time.sleep(pause)
    xdotool("click", button)


def key(*keys):
    """Presses keys (xdotool names, e.g. "Escape", "alt+F4") in the X focus window."""
    xdotool("key", *keys)


def drag(points, steps=8, pause=0.03, hold=0.2, release=True):
    """Presses the left button at points[0], moves through the other points in
    small steps and releases at the last one (unless release is False)."""
    x, y = points[0]
    mousemove(x, y)
    time.sleep(hold)
    mousedown()
    time.sleep(hold)
    for nx, ny in points[1:]:
        for step in range(1, steps + 1):
            mousemove(x + (nx - x) * step // steps, y + (ny - y) * step // steps)
            time.sleep(pause)
        x, y = nx, ny
    time.sleep(hold)
    if release:
        mouseup()
        time.sleep(hold)


# --- what the screen shows ------------------------------------------------------

def screenshot(name):
    """Saves the whole screen as BUILD/screenshots/NAME.png; returns its path."""
    folder = build_dir() / "screenshots"
    folder.mkdir(exist_ok=True)
    path = folder / f"{name}.png"
    subprocess.run(["import", "-window", "root", str(path)], check=True, timeout=60,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def pixels(png, rect):
    """The RGB pixels of a screen rectangle (left, top, right, bottom) of a PNG, as
    rows of (r, g, b) tuples."""
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    raw = subprocess.run(["convert", str(png), "-crop", f"{width}x{height}+{left}+{top}",
                          "+repage", "-depth", "8", "rgb:-"],
                         check=True, capture_output=True, timeout=60).stdout
    if len(raw) != width * height * 3:
        raise RigError(f"cropping {rect} from {png} gave {len(raw)} bytes")
    return [[tuple(raw[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]


class _CursorImage(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short),
                ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
                ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                ("cursor_serial", ctypes.c_ulong),
                ("pixels", ctypes.POINTER(ctypes.c_ulong)),
                ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p)]


def cursor_image():
    """The cursor the X server shows now, as the person at the screen sees it:
    dict(width, height, xhot, yhot, argb=[rows of 32-bit ARGB values])."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes") or "libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(_CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(env("DISPLAY").encode())
    if not display:
        raise RigError("cannot open the X display")
    try:
        image = xfixes.XFixesGetCursorImage(display)
        if not image:
            raise RigError("the X server gave no cursor image")
        try:
            c = image.contents
            argb = [[c.pixels[y * c.width + x] & 0xFFFFFFFF for x in range(c.width)]
                    for y in range(c.height)]
            return {"width": c.width, "height": c.height, "xhot": c.xhot, "yhot": c.yhot,
                    "argb": argb}
        finally:
            x11.XFree(image)
    finally:
        x11.XCloseDisplay(display)


class _XWindowEvent(ctypes.Structure):
    """The fields that CreateNotify, ConfigureNotify, MapNotify, UnmapNotify and
    DestroyNotify share: the window, then (create and configure) its place and size."""
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("x", ctypes.c_int), ("y", ctypes.c_int),
                ("width", ctypes.c_int), ("height", ctypes.c_int)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("window", _XWindowEvent), ("pad", ctypes.c_long * 24)]


class ScreenRecord:
    """What the X server showed, in its own order: ("map" | "unmap", (x, y, width,
    height)) for every top-level window shown or hidden (or destroyed while shown) since
    the record began. Unlike repeated winprobe looks, which read one window after another
    while the program runs on, the order here is exact: a window that showed for a moment
    is there too. Top-level Windows windows are children of the root on bare Xvfb (a
    window manager would map frames of its own instead).

        with rig.ScreenRecord() as screen:
            ...
            screen.wait_for(lambda shows: ("map", rect) in shows)
    """

    CREATE, DESTROY, UNMAP, MAP, CONFIGURE = 16, 17, 18, 19, 22
    SUBSTRUCTURE_NOTIFY = 1 << 19

    def __init__(self):
        x11 = self._x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XPending.argtypes = [ctypes.c_void_p]
        x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_XEvent)]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self._display = x11.XOpenDisplay(env("DISPLAY").encode())
        if not self._display:
            raise RigError("cannot open the X display")
        x11.XSelectInput(self._display, x11.XDefaultRootWindow(self._display),
                         self.SUBSTRUCTURE_NOTIFY)
        x11.XSync(self._display, 0)  # selected before anything the test starts
        self._shows = []
        self._lock = threading.Lock()
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        places, shown = {}, set()
        event = _XEvent()
        while not self._stopping.is_set():
            if not self._x11.XPending(self._display):
                time.sleep(0.002)
                continue
            self._x11.XNextEvent(self._display, ctypes.byref(event))
            e = event.window
            if event.type in (self.CREATE, self.CONFIGURE):
                places[e.window] = (e.x, e.y, e.width, e.height)
            elif event.type == self.MAP:
                shown.add(e.window)
                self._add("map", places.get(e.window))
            elif event.type in (self.UNMAP, self.DESTROY) and e.window in shown:
                shown.discard(e.window)
                self._add("unmap", places.get(e.window))

    def _add(self, kind, place):
        with self._lock:
            self._shows.append((kind, place))

    def shows(self):
        with self._lock:
            return list(self._shows)

    def wait_for(self, predicate, timeout=10.0):
        """The shows so far, once predicate(shows) holds."""
        wait_until(lambda: predicate(self.shows()), timeout=timeout, interval=0.02,
                   message="the screen record")
        return self.shows()

    def stop(self):
        if self._display:
            self._stopping.set()
            self._thread.join(10)
            self._x11.XCloseDisplay(self._display)
            self._display = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
