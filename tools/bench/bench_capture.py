#!/usr/bin/env python3
"""One mouse move of the crosshair drag over a page of about 5 MB in a page host of
another process under Wine, next to the platform's operations alone on the same
page: WM_HTML_GETOBJECT by SendMessageTimeout, ObjectFromLresult and the body's
innerHTML as a BSTR, without the conversion to code page 936 and the storing. Each
side makes one request and then 7 timed ones in its own process, whose peak memory
is its column; the figure is the best of the 7 (the machine may be busy with other
work), the median is among the details. With --verbose also a small page and a
hung page.

    bench_capture.py --build DIR [-v]
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import BenchError, Row, field_lines, standalone  # noqa: E402

MEGABYTES = 5.0


def capture(bench, case):
    """Runs one case of bench_capture.exe: (its timing fields, its measured run)."""
    exe = bench.win64 / "bench_capture.exe"
    result = bench.wine(exe, case, str(MEGABYTES), timeout=300)
    timings = field_lines(result.text, "case")
    if not timings:
        raise BenchError(f"bench_capture {case} printed no timing:\n{result.text}")
    for t in timings:
        size = f"{int(t['bytes']) / 1048576:5.2f} MB" if int(t["bytes"]) > 4096 else \
            f"{t['bytes']:>5} B "
        bench.say(f"{t['case']:22} {size}  one move: {float(t['ms']):8.1f} ms median "
                  f"({t['min']}..{t['max']} ms over {t['moves']} moves)")
    return timings, result


def measure(bench):
    ours, ours_run = capture(bench, "big")
    raw, raw_run = capture(bench, "raw")
    if bench.verbose:
        capture(bench, "small")
        capture(bench, "hung")
    megabytes = int(ours[0]["bytes"]) / 1048576
    return [Row(f"capture: one move over a {megabytes:.1f} MB page (best of 7)", float(ours[0]["min"]), "ms",
                "WM_HTML_GETOBJECT + ObjectFromLresult + body.innerHTML (BSTR)",
                float(raw[0]["min"]), ours_run.peak, raw_run.peak)]


if __name__ == "__main__":
    sys.exit(standalone(measure))
