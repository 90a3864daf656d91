#!/usr/bin/env python3
"""Download of a 50 MB body from a loopback server: webRequest under Wine (the probe
program of the web tests) next to curl, median time of three runs of each, and the
peak memory of each process (the Wine process's maximum resident set, curl's).

    bench_download.py --build DIR [-v]
"""
import pathlib
import re
import statistics
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from benchlib import MB, ROOT, BenchError, Row, measured, standalone, work_dir  # noqa: E402

sys.path.insert(0, str(ROOT / "tests" / "rig"))
sys.path.insert(0, str(ROOT / "tests" / "web"))
from loopback_http import LoopbackHttpServer  # noqa: E402
from web_probe import Request, windows_path  # noqa: E402

SIZE = 50 * MB
RUNS = 3


def probe_download(bench, url, body_file):
    """One download by webRequest in its own Wine process: (wall seconds of the whole
    process, seconds of the request as the probe timed it, peak bytes, body length)."""
    exe = bench.win64 / "web_request_probe.exe"
    with tempfile.TemporaryDirectory(prefix="bench-download-", dir=bench.build) as work:
        script = pathlib.Path(work, "script.txt")
        output = pathlib.Path(work, "output.txt")
        script.write_text("".join(line + "\n" for line in
                                  Request(url=url, timeoutSeconds=-1, bodyFile=body_file).script()))
        run = bench.wine(exe, windows_path(script), windows_path(output), timeout=300)
        text = output.read_text()
    elapsed = int(re.search(r"^elapsedMs (\d+)$", text, re.M).group(1)) / 1000
    length = int(re.search(r"^resultLength (\d+)$", text, re.M).group(1))
    return run.seconds, elapsed, run.peak, length


def curl_download(url, body_file):
    """(wall seconds, peak bytes) of one curl download."""
    run = measured(["curl", "-s", "--noproxy", "*", "-o", body_file, url], timeout=300)
    return run.seconds, run.peak


def measure(bench):
    body = bytes(range(256)) * (SIZE // 256)
    with LoopbackHttpServer() as server, work_dir(bench, "download") as work:
        server.route("/big", body=body)
        server.route("/small", body=b"x")
        target = str(work / "body.bin")
        _, _, small_peak, _ = probe_download(bench, server.url("/small"), target)  # warm-up
        web = [probe_download(bench, server.url("/big"), target) for _ in range(RUNS)]
        if any(run[3] != SIZE for run in web) or pathlib.Path(target).read_bytes() != body:
            raise BenchError("webRequest returned a wrong body")
        curl = [curl_download(server.url("/big"), target) for _ in range(RUNS)]
        if pathlib.Path(target).read_bytes() != body:
            raise BenchError("curl returned a wrong body")
    web_request = statistics.median(run[1] for run in web)
    web_process = statistics.median(run[0] for run in web)
    web_peak = max(run[2] for run in web)
    curl_time = statistics.median(run[0] for run in curl)
    curl_peak = max(run[1] for run in curl)
    bench.say(f"{SIZE // MB} MB body from a loopback server, median of {RUNS} runs")
    bench.say(f"webRequest (Wine)  request {web_request:6.2f} s ({SIZE / MB / web_request:.1f} "
              f"MB/s), whole process {web_process:.2f} s, max RSS {web_peak / MB:.1f} MB "
              f"(1-byte download: {small_peak / MB:.1f} MB)")
    bench.say(f"curl               {curl_time:6.2f} s ({SIZE / MB / curl_time:.1f} MB/s), max RSS "
              f"{curl_peak / MB:.1f} MB")
    return [Row(f"download of {SIZE // MB} MB: webRequest, Wine process", web_process * 1000, "ms",
                "curl, same server", curl_time * 1000, web_peak, curl_peak)]


if __name__ == "__main__":
    sys.exit(standalone(measure))
