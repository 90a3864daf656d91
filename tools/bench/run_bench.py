#!/usr/bin/env python3
"""Runs every benchmark script beside this file (bench_*.py) and prints their reports.

Each script takes --build DIR (the native build directory, which holds the Windows
programs under win64/bin and the Wine fixture under wine/) and prints its own report.
"""
import argparse
import pathlib
import subprocess
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("only", nargs="*", help="names of benchmarks to run (default: all)")
    args = parser.parse_args()
    here = pathlib.Path(__file__).resolve().parent
    scripts = sorted(here.glob("bench_*.py"))
    if args.only:
        scripts = [s for s in scripts if any(name in s.stem for name in args.only)]
    failed = 0
    for script in scripts:
        print(f"== {script.stem[len('bench_'):]}", flush=True)
        rc = subprocess.call([sys.executable, str(script), "--build", args.build])
        if rc != 0:
            print(f"   benchmark failed with exit code {rc}", flush=True)
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
