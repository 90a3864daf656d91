#!/usr/bin/env python3
"""Builds the fuzz targets for libFuzzer (clang) and runs each for a bounded time.

Every target runs on a scratch corpus under the build folder, seeded from its
corpus in the repo, which is never written to. Crash inputs go to
<build>/fuzz-artifacts/<target>/. Prints, per target, the executions, the
coverage reached and any crash with its input; exits 1 when a target crashed.

    python3 tools/fuzz/run_fuzz.py --build build-libfuzzer --seconds 60 [target...]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]


def configure_and_build(build: Path, jobs: int) -> None:
    subprocess.run(
        ["cmake", "-S", str(SOURCE), "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
         "-DCMAKE_C_COMPILER=clang", "-DCMAKE_CXX_COMPILER=clang++", "-DTIYAN_LIBFUZZER=ON",
         "-DTIYAN_WINDOWS_BUILDS=OFF"],
        check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), "-j", str(jobs), "--target", "fuzz_targets"],
                   check=True)


def targets(build: Path):
    for line in (build / "fuzz_targets.txt").read_text().splitlines():
        if line.strip():
            name, corpus = line.split(" ", 1)
            yield name, Path(corpus)


def run_target(build: Path, name: str, corpus: Path, seconds: int, log_dir: Path) -> dict:
    scratch = build / "fuzz-corpus" / name
    scratch.mkdir(parents=True, exist_ok=True)
    for seed in corpus.iterdir():
        if seed.is_file():
            shutil.copyfile(seed, scratch / seed.name)
    artifacts = build / "fuzz-artifacts" / name
    artifacts.mkdir(parents=True, exist_ok=True)
    log = log_dir / f"{name}.log"
    with open(log, "w") as out:
        result = subprocess.run(
            [str(build / "bin" / name), str(scratch), f"-max_total_time={seconds}",
             f"-artifact_prefix={artifacts}/", "-print_final_stats=1", "-timeout=10",
             "-rss_limit_mb=2048"],
            stdout=out, stderr=subprocess.STDOUT)
    text = log.read_text(errors="replace")
    report = {"name": name, "returncode": result.returncode, "log": log}
    runs = re.findall(r"stat::number_of_executed_units:\s*(\d+)", text)
    report["executions"] = int(runs[-1]) if runs else None
    cov = re.findall(r"cov: (\d+) ft: (\d+)", text)
    report["coverage"] = cov[-1] if cov else None
    report["corpus"] = len(list(scratch.iterdir()))
    report["crashes"] = re.findall(r"Test unit written to (\S+)", text)
    return report


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build-libfuzzer")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("only", nargs="*", help="targets to run (default: all)")
    args = parser.parse_args()
    build = Path(args.build).resolve()
    if not args.no_build:
        configure_and_build(build, args.jobs)
    log_dir = build / "fuzz-logs"
    log_dir.mkdir(parents=True, exist_ok=True)
    failed = False
    for name, corpus in targets(build):
        if args.only and name not in args.only:
            continue
        print(f"fuzz: {name} for {args.seconds} s ...", flush=True)
        r = run_target(build, name, corpus, args.seconds, log_dir)
        cov = f"cov {r['coverage'][0]} ft {r['coverage'][1]}" if r["coverage"] else "cov ?"
        print(f"  {name}: {r['executions']} executions, {cov}, corpus {r['corpus']} inputs")
        if r["returncode"] != 0 or r["crashes"]:
            failed = True
            print(f"  {name}: FAULT (exit {r['returncode']}), log {r['log']}")
            for crash in r["crashes"]:
                print(f"  {name}: crash input {crash}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
