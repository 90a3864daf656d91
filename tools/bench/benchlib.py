"""What the benchmark scripts share: running a command with its output through a
file (Wine's background processes may keep a pipe open) and with its peak memory
measured, the Wine fixture of the build directory, and the rows of the report.

Each bench_*.py script has measure(bench) -> [Row]: one row per figure, our value
next to a reference measured in the same run, and the peak memory of each side.
run_bench.py gathers the rows of every script into one table; a script run by
itself prints its own.
"""
import contextlib
import dataclasses
import os
import pathlib
import re
import signal
import subprocess
import tempfile
import time
import unicodedata

ROOT = pathlib.Path(__file__).resolve().parents[2]
RIG = ROOT / "tests/rig/wine-env"
MB = 1024 * 1024


def run(cmd, env=None, timeout=1800):
    """Runs cmd and returns its output; exits with a message when it fails."""
    with tempfile.TemporaryFile() as out:
        rc = subprocess.call(cmd, stdout=out, stderr=subprocess.STDOUT, env=env, timeout=timeout)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    if rc != 0:
        raise SystemExit(f"failed ({rc}): {' '.join(map(str, cmd))}\n{text}")
    return text


@dataclasses.dataclass
class Measured:
    text: str  # stdout and stderr
    seconds: float  # wall time of the whole command
    peak: int  # bytes: the peak resident set (see measured())


TIME = "/usr/bin/time"


def measured(cmd, env=None, timeout=1800, check=True):
    """Runs cmd and measures it: its wall time and its peak memory (see Launched)."""
    with tempfile.TemporaryFile() as out:
        launched = Launched(cmd, env, out)
        code, peak = launched.wait(timeout)
        out.seek(0)
        text = out.read().decode("utf-8", "replace")
    if check and code != 0:
        raise BenchError(f"failed ({code}): {' '.join(map(str, cmd))}\n{text}")
    return Measured(text, launched.seconds, peak)


class Launched:
    """A command started with its output into the file `out`, whose peak memory is
    measured: the maximum resident set that /usr/bin/time -v reports (the kernel's
    figure, taken when the process is reaped; the machine setup installs the program).
    Not the kernel's figure for a child of this script: a child of a large process
    starts with its parent's high-water mark. Under Wine the process started is the
    Windows process itself; processes it starts with CreateProcess are not children of
    it on the Linux side and are not counted."""

    def __init__(self, cmd, env, out):
        if not os.path.exists(TIME):
            raise BenchError(f"{TIME} is missing: run make setup")
        self._times = tempfile.NamedTemporaryFile(prefix="tiyan-bench-time-")
        cmd = [TIME, "-v", "-o", self._times.name, *[str(c) for c in cmd]]
        self.start = time.monotonic()
        self.seconds = None
        self.process = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT, env=env)

    def wait(self, timeout):
        """(exit code, peak bytes); past `timeout` seconds the process is killed and
        BenchError raised."""
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise BenchError(f"{self.process.args} took longer than {timeout} s") from None
        self.seconds = time.monotonic() - self.start
        peak = max_rss_bytes(pathlib.Path(self._times.name).read_text())
        self._times.close()
        return self.process.returncode, peak

    def kill(self):
        """Ends the process that the time program runs, then the time program."""
        pid = self.process.pid
        if self.process.poll() is None:
            kids = pathlib.Path(f"/proc/{pid}/task/{pid}/children")
            for kid in (kids.read_text().split() if kids.exists() else []):
                with contextlib.suppress(ProcessLookupError):
                    os.kill(int(kid), signal.SIGKILL)
            self.process.kill()
        self.process.wait(10)


def max_rss_bytes(time_output):
    """The peak resident set that /usr/bin/time -v reports, in bytes."""
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", time_output)
    return int(match.group(1)) * 1024 if match else 0


class BenchError(Exception):
    pass


def fields(line):
    """The key=value fields of one line of a benchmark program."""
    return dict(re.findall(r"(\w+)=(\S+)", line))


def field_lines(text, key):
    """The field dictionaries of the lines that have `key`."""
    return [f for f in map(fields, text.splitlines()) if key in f]


class Bench:
    """One benchmark run: the build directory, its Wine fixture (started here unless it
    already runs, stopped again by close()), and where the details go."""

    def __init__(self, build, verbose=False):
        self.build = pathlib.Path(build).resolve()
        self.verbose = verbose
        self.wine_dir = self.build / "wine"
        self.win64 = self.build / "win64" / "bin"
        self.win32 = self.build / "win32" / "bin"
        self.native = self.build / "bin"
        self._started_fixture = False

    def say(self, text=""):
        """A line of the free-form details (shown with --verbose)."""
        if self.verbose:
            print(f"   {text}", flush=True)

    def need(self, path):
        if not pathlib.Path(path).exists():
            raise BenchError(f"{path} is not built (run make build first)")
        return path

    def start_fixture(self):
        if not (self.wine_dir / "env").exists():
            run([RIG, "start", self.wine_dir])
            self._started_fixture = True

    def close(self):
        if self._started_fixture:
            run([RIG, "stop", self.wine_dir])
            self._started_fixture = False

    def fixture_env(self):
        """The fixture's variables (DISPLAY, WINEPREFIX, TIYAN_WINE, ...)."""
        self.start_fixture()
        values = {}
        for line in (self.wine_dir / "env").read_text().splitlines():
            name, _, value = line.partition("=")
            if name:
                values[name] = value
        return values

    def wine_env(self, extra=None):
        """The environment of a Windows program run directly with the fixture's Wine,
        in the bank's and the pages' code page (936)."""
        env = dict(os.environ, LC_ALL="zh_CN.UTF-8")
        env.update(self.fixture_env())
        env.update(extra or {})
        if env.get("TIYAN_EXTRA_DLLOVERRIDES"):
            env["WINEDLLOVERRIDES"] += ";" + env["TIYAN_EXTRA_DLLOVERRIDES"]
        return env

    def wine(self, exe, *args, extra_env=None, timeout=1800):
        """Runs a Windows program under Wine, measured (see measured())."""
        env = self.wine_env(extra_env)
        return measured([env["TIYAN_WINE"], self.need(exe), *args], env, timeout)


@dataclasses.dataclass
class Row:
    figure: str
    ours: float
    unit: str  # "ms", "s" or "bytes"
    reference: str  # what the reference is
    ref: float
    ours_peak: int = None  # bytes, None when it does not apply
    ref_peak: int = None
    failed: str = None  # why the figure could not be measured

    @property
    def ratio(self):
        return self.ours / self.ref if self.ref else float("inf")


def failed_row(figure, why):
    return Row(figure, float("nan"), "", "", float("nan"), failed=why)


def value_text(value, unit):
    if value != value:  # nan
        return "-"
    if unit == "bytes":
        return f"{value / 1024:,.0f} KiB" if value < 10 * MB else f"{value / MB:,.1f} MB"
    if unit == "ms":
        return f"{value:,.1f} ms" if value < 10000 else f"{value / 1000:,.2f} s"
    return f"{value:,.2f} {unit}"


def memory_text(value):
    return "-" if value is None else f"{value / MB:,.1f} MB"


def _width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def _pad(text, width, right=False):
    gap = " " * max(0, width - _width(text))
    return gap + text if right else text + gap


def table(rows):
    """The report as lines of text: one row per figure."""
    head = ["figure", "ours", "reference", "ref value", "ratio", "peak ours", "peak ref"]
    right = [False, True, False, True, True, True, True]
    cells = []
    for r in rows:
        if r.failed:
            cells.append([r.figure, "FAILED", r.failed.splitlines()[0][:70], "", "", "", ""])
            continue
        cells.append([r.figure, value_text(r.ours, r.unit), r.reference,
                      value_text(r.ref, r.unit), f"{r.ratio:.2f}", memory_text(r.ours_peak),
                      memory_text(r.ref_peak)])
    widths = [max(_width(c[i]) for c in cells + [head]) for i in range(len(head))]
    lines = [" | ".join(_pad(h, w, a) for h, w, a in zip(head, widths, right)),
             "-+-".join("-" * w for w in widths)]
    for c in cells:
        lines.append(" | ".join(_pad(x, w, a) for x, w, a in zip(c, widths, right)).rstrip())
    return lines


def standalone(measure, argv=None):
    """main() of a script run by itself: its rows as a table, its details with -v."""
    import argparse
    import sys
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("-v", "--verbose", action="store_true")
    args = parser.parse_args(argv)
    bench = Bench(args.build, args.verbose)
    try:
        rows = measure(bench)
    except BenchError as error:
        print(error, file=sys.stderr)
        return 1
    finally:
        bench.close()
    print("\n".join(table(rows)))
    return 1 if any(r.failed for r in rows) else 0


@contextlib.contextmanager
def work_dir(bench, name):
    """A fresh folder under the build directory, removed afterwards."""
    with tempfile.TemporaryDirectory(prefix=f"bench-{name}-", dir=bench.build) as folder:
        yield pathlib.Path(folder)
