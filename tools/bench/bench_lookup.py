#!/usr/bin/env python3
"""One click's answers against a big bank: 2000 lookups in a 100 000-entry bank file.

Compares GetPrivateProfileStringA per lookup (what the listing does, under Wine) with a
BankIndex built once and then asked (under Wine and natively). Wine caches a parsed
profile between calls, so its per-lookup figure is a walk of the parsed key list; the
real Windows reader reads the file again on every call.
    bench_lookup.py --build DIR
"""
import argparse
import os
import pathlib
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import ROOT, RIG, run  # noqa: E402


def write_bank(path, entries=100000):
    rng = random.Random(7)
    choices = ["A", "B", "C", "D", "AB", "ABCD", "正确", "错误", "人民代表大会制度"]
    lines = ["[考试题目]"] + [f"{i}={rng.choice(choices)}" for i in range(1, entries + 1)]
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("gbk"))




def field(text, name):
    match = re.search(rf"{name}=([0-9.]+)", text)
    return float(match.group(1)) if match else float("nan")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--lookups", type=int, default=2000)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    native = build / "bin/bench_lookup"
    exe = build / "win64/bin/bench_lookup.exe"
    wine_dir = build / "wine"
    with tempfile.TemporaryDirectory(dir=build) as tmp:
        bank = pathlib.Path(tmp) / "bank100k.ini"
        write_bank(bank)
        print(f"   bank: 100000 entries, {bank.stat().st_size} bytes; {args.lookups} lookups", flush=True)
        results = {}
        if native.exists():
            text = run([native, bank, "index", str(args.lookups)])
            note = " (native build with sanitizers)" if "Sanitizer" in text else ""
            results["native index"] = text
            print(f"   native  index: build {field(text, 'build_ms'):.1f} ms + lookups "
                  f"{field(text, 'lookups_ms'):.1f} ms = {field(text, 'total_ms'):.1f} ms{note}", flush=True)
        if exe.exists():
            started = not (wine_dir / "env").exists()
            if started:
                run([RIG, "start", wine_dir])
            try:
                env = dict(os.environ, LC_ALL="zh_CN.UTF-8")  # the bank's code page
                winbank = "Z:" + str(bank)
                text = run([RIG, "run", wine_dir, exe, winbank, "index", str(args.lookups)], env)
                results["wine index"] = text
                print(f"   Wine    index: build {field(text, 'build_ms'):.1f} ms + lookups "
                      f"{field(text, 'lookups_ms'):.1f} ms = {field(text, 'total_ms'):.1f} ms", flush=True)
                text = run([RIG, "run", wine_dir, exe, winbank, "api", str(args.lookups)], env)
                results["wine api"] = text
                print(f"   Wine    GetPrivateProfileStringA per lookup: {field(text, 'total_ms'):.1f} ms",
                      flush=True)
            finally:
                if started:
                    run([RIG, "stop", wine_dir])
        sums = {name: re.search(r"checksum=(\d+)", text).group(1) for name, text in results.items()}
        if len(set(sums.values())) > 1:
            print(f"   answers differ between the ways: {sums}")
            return 1
        print("   all ways gave the same answers", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
