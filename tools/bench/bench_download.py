#!/usr/bin/env python3
"""Download of a 50 MB body from a loopback server: webRequest under Wine (the
probe program of the web tests) next to curl. Reports the median time of three
runs and the peak memory: the Windows process's own peak working set, the
maximum RSS of the Wine process as /usr/bin/time sees it, and curl's maximum RSS.

    bench_download.py --build DIR   (DIR/win64/bin holds the programs, DIR/wine the fixture)
"""
import argparse
import pathlib
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "rig"))
sys.path.insert(0, str(ROOT / "tests" / "web"))

from loopback_http import LoopbackHttpServer  # noqa: E402
from web_probe import Request, run_probe, wine_environment, windows_path  # noqa: E402

SIZE = 50 * 1024 * 1024
RUNS = 3
MB = 1024 * 1024


def max_rss_bytes(time_output):
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", time_output)
    return int(match.group(1)) * 1024 if match else 0


def probe_run(exe, env, url, body_file):
    """One download by the probe under /usr/bin/time: (seconds, peak working set, max RSS)."""
    with tempfile.TemporaryDirectory(prefix="bench-download-") as work:
        script = pathlib.Path(work, "script.txt")
        output = pathlib.Path(work, "output.txt")
        times = pathlib.Path(work, "time.txt")
        script.write_text("".join(line + "\n" for line in
                                  Request(url=url, timeoutSeconds=-1, bodyFile=body_file).script()))
        subprocess.run(["/usr/bin/time", "-v", "-o", str(times), env["TIYAN_WINE"], str(exe),
                        windows_path(script), windows_path(output)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, check=True,
                       timeout=300)
        text = output.read_text()
        elapsed = int(re.search(r"^elapsedMs (\d+)$", text, re.M).group(1)) / 1000
        length = int(re.search(r"^resultLength (\d+)$", text, re.M).group(1))
        peak = int(re.search(r"^peakWorkingSet (\d+)$", text, re.M).group(1))
        return elapsed, peak, max_rss_bytes(times.read_text()), length


def curl_run(url, body_file):
    with tempfile.TemporaryDirectory(prefix="bench-download-") as work:
        times = pathlib.Path(work, "time.txt")
        result = subprocess.run(["/usr/bin/time", "-v", "-o", str(times), "curl", "-s",
                                 "--noproxy", "*", "-o", body_file, "-w", "%{time_total}", url],
                                capture_output=True, text=True, check=True, timeout=300)
        return float(result.stdout), max_rss_bytes(times.read_text())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    exe = build / "win64" / "bin" / "web_request_probe.exe"
    wine_dir = build / "wine"
    if not exe.exists():
        print(f"   {exe} is missing: build first")
        return 1
    rig = ROOT / "tests" / "rig" / "wine-env"
    started_fixture = not (wine_dir / "env").exists()
    if started_fixture:
        subprocess.run([str(rig), "start", str(wine_dir)], stdout=subprocess.DEVNULL, check=True)
    try:
        env = wine_environment(wine_dir)
        body = bytes(range(256)) * (SIZE // 256)
        with LoopbackHttpServer() as server, tempfile.TemporaryDirectory() as work:
            server.route("/big", body=body)
            server.route("/small", body=b"x")
            target = str(pathlib.Path(work, "body.bin"))
            # Warm-up, and the memory of the process around a 1-byte download.
            _, small_peak, small_rss, _ = probe_run(exe, env, server.url("/small"), target)
            web = [probe_run(exe, env, server.url("/big"), target) for _ in range(RUNS)]
            if any(run[3] != SIZE for run in web) or pathlib.Path(target).read_bytes() != body:
                print("   webRequest returned a wrong body")
                return 1
            curl = [curl_run(server.url("/big"), target) for _ in range(RUNS)]
            if pathlib.Path(target).read_bytes() != body:
                print("   curl returned a wrong body")
                return 1
    finally:
        if started_fixture:
            subprocess.run([str(rig), "stop", str(wine_dir)], stdout=subprocess.DEVNULL)

    web_time = statistics.median(run[0] for run in web)
    web_peak = max(run[1] for run in web)
    web_rss = max(run[2] for run in web)
    curl_time = statistics.median(run[0] for run in curl)
    curl_rss = max(run[1] for run in curl)
    print(f"   {SIZE // MB} MB body from a loopback server, median of {RUNS} runs")
    print(f"   webRequest (Wine)  {web_time:6.2f} s  {SIZE / MB / web_time:7.1f} MB/s   "
          f"peak working set {web_peak / MB:6.1f} MB (1-byte download: {small_peak / MB:.1f} MB), "
          f"max RSS {web_rss / MB:.1f} MB (1-byte download: {small_rss / MB:.1f} MB)")
    print(f"   curl               {curl_time:6.2f} s  {SIZE / MB / curl_time:7.1f} MB/s   "
          f"max RSS {curl_rss / MB:.1f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main())
