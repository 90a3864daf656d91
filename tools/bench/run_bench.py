#!/usr/bin/env python3
"""Runs the benchmarks and prints one report: a table with one row per figure, our
value next to a reference measured in the same run (the literal way or the raw
platform operation), their ratio, and the peak memory of each side.

    run_bench.py --build DIR [-v] [NAME ...]

DIR is the native build directory, which holds the Windows programs under win64/bin
and win32/bin and the Wine fixture under wine/ (started here unless it runs already).
-v shows each benchmark's details above the table. NAMEs pick benchmarks by name
(size, capture, click, lookup, startup, download, regex).
"""
import argparse
import datetime
import importlib
import os
import pathlib
import platform
import subprocess
import sys
import time
import traceback

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import Bench, BenchError, failed_row, table  # noqa: E402

# In the order they run; the long ones last but one, regex adds details only.
BENCHMARKS = ["size", "capture", "lookup", "click", "startup", "download", "regex"]


def machine_lines():
    try:
        wine = subprocess.run([os.environ.get("WINE", "/usr/lib/wine/wine64"), "--version"],
                              capture_output=True, text=True, timeout=60).stdout.strip()
    except OSError:
        wine = "not found"
    model = ""
    cpuinfo = pathlib.Path("/proc/cpuinfo")
    if cpuinfo.exists():
        for line in cpuinfo.read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    load = " / ".join(f"{x:.2f}" for x in os.getloadavg())
    return [f"date: {datetime.datetime.now().astimezone().isoformat(timespec='seconds')}",
            f"machine: {os.cpu_count()} cores{', ' + model if model else ''}; {platform.system()} "
            f"{platform.release()}; load average at start {load}",
            f"wine: {wine}"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("-v", "--verbose", action="store_true",
                        help="each benchmark's details above the table")
    parser.add_argument("only", nargs="*", help="names of benchmarks to run (default: all)")
    args = parser.parse_args()
    names = [n for n in BENCHMARKS if not args.only or n in args.only]
    bench = Bench(args.build, args.verbose)
    rows, started = [], time.monotonic()
    header = machine_lines()
    try:
        for name in names:
            begun = time.monotonic()
            print(f"== {name}", flush=True)
            try:
                found = importlib.import_module(f"bench_{name}").measure(bench)
            except (BenchError, OSError, subprocess.SubprocessError, KeyError, ValueError) as error:
                if not isinstance(error, BenchError):
                    traceback.print_exc()
                print(f"   {name} failed: {error}", flush=True)
                found = [failed_row(name, str(error) or type(error).__name__)]
            rows += found
            print(f"   ({time.monotonic() - begun:.0f} s)", flush=True)
    finally:
        bench.close()
    print()
    for line in header + [f"build: {bench.build.name}, benchmarks took "
                          f"{time.monotonic() - started:.0f} s", ""] + table(rows):
        print(line)
    print("\nratio = ours / reference; peak = maximum resident set of the process "
          "(the Wine process for Windows programs)")
    return 1 if any(r.failed for r in rows) else 0


if __name__ == "__main__":
    sys.exit(main())
