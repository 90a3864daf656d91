#!/usr/bin/env python3
"""The two page patterns over a 2 MB exam page (--megabytes to change).

Times the built-in engine natively, and under Wine RegexObject with the scripting
component "VBScript.RegExp" and with the built-in engine: one execute plus reading
every sub-match, as the answer lookup does. Three pages and patterns: the answer
pattern over a page that carries answers, the same over a page of ids (no match,
one scan), and the id pattern over that page.
    bench_regex.py --build DIR [--megabytes N]
"""
import argparse
import os
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import ROOT, RIG, run  # noqa: E402




def report(where, text, megabytes):
    results = {}
    for line in text.splitlines():
        fields = dict(re.findall(r"(\w+)=(\S+)", line))
        if "case" not in fields:
            continue
        ms = float(fields["ms"])
        rate = megabytes / (ms / 1000) if ms > 0 else float("inf")
        print(f"   {where:6} {fields['engine']:17} {fields['case']:31} {ms:8.1f} ms "
              f"{rate:7.1f} MB/s  {fields['matches']:>5} matches", flush=True)
        results[(fields["case"], fields["engine"])] = fields
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--megabytes", type=float, default=2.0)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    native = build / "bin/bench_regex"
    exe = build / "win64/bin/bench_regex.exe"
    wine_dir = build / "wine"
    mb = str(args.megabytes)
    if native.exists():
        cache = (build / "CMakeCache.txt").read_text(errors="replace") if (build / "CMakeCache.txt").exists() else ""
        if "TIYAN_SANITIZE:BOOL=ON" in cache:
            print("   (the native build has the sanitizers on: its times are several times slower)")
        report("native", run([native, mb]), args.megabytes)
    if exe.exists():
        started = not (wine_dir / "env").exists()
        if started:
            run([RIG, "start", wine_dir])
        try:
            text = run([RIG, "run", wine_dir, exe, mb], dict(os.environ, LC_ALL="zh_CN.UTF-8"))
        finally:
            if started:
                run([RIG, "stop", wine_dir])
        results = report("Wine", text, args.megabytes)
        for case in {c for c, _ in results}:
            a, b = results.get((case, "object-component")), results.get((case, "object-builtin"))
            if a and b and (a["matches"], a["checksum"]) != (b["matches"], b["checksum"]):
                print(f"   {case}: the component and the built-in engine disagree")
                return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
