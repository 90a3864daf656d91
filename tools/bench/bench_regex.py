#!/usr/bin/env python3
"""The two page patterns over a 2 MB exam page, as details (--verbose): the built-in
engine natively, and under Wine RegexObject with the scripting component
"VBScript.RegExp" and with the built-in engine: one execute plus reading every
sub-match, as the answer lookup does. Three pages and patterns: the answer pattern
over a page that carries answers, the same over a page of ids (no match, one scan),
and the id pattern over that page. The table's rows for the engines are the clicks
of bench_click.py; this script adds none.

    bench_regex.py --build DIR -v
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import BenchError, field_lines, measured, standalone  # noqa: E402

MEGABYTES = 2.0


def report(bench, where, text):
    results = {}
    for f in field_lines(text, "case"):
        ms = float(f["ms"])
        rate = MEGABYTES / (ms / 1000) if ms > 0 else float("inf")
        bench.say(f"{where:6} {f['engine']:17} {f['case']:31} {ms:8.1f} ms {rate:7.1f} MB/s  "
                  f"{f['matches']:>5} matches")
        results[(f["case"], f["engine"])] = f
    return results


def measure(bench):
    if not bench.verbose:
        return []
    native = bench.native / "bench_regex"
    if native.exists():
        cache = bench.build / "CMakeCache.txt"
        if cache.exists() and "TIYAN_SANITIZE:BOOL=ON" in cache.read_text(errors="replace"):
            bench.say("(the native build has the sanitizers on: its times are several times "
                      "slower)")
        report(bench, "native", measured([native, MEGABYTES]).text)
    results = report(bench, "Wine", bench.wine(bench.win64 / "bench_regex.exe", MEGABYTES).text)
    for case in {c for c, _ in results}:
        a, b = results.get((case, "object-component")), results.get((case, "object-builtin"))
        if a and b and (a["matches"], a["checksum"]) != (b["matches"], b["checksum"]):
            raise BenchError(f"{case}: the component and the built-in engine disagree")
    return []


if __name__ == "__main__":
    sys.exit(standalone(measure))
