#!/usr/bin/env python3
"""Time of one mouse move of the crosshair drag over a page host in another
process under Wine: a small page, a page of about 5 MB (--megabytes to change)
and a page whose thread is hung (the first moves, and the moves after it has been
unresponsive for 5 s, when Wine stops waiting for it).

    bench_capture.py --build DIR [--megabytes N]
"""
import argparse
import os
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import ROOT, RIG, run  # noqa: E402




def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--megabytes", type=float, default=5.0)
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    exe = build / "win64/bin/bench_capture.exe"
    if not exe.exists():
        print(f"   {exe} is not built")
        return 1
    wine_dir = build / "wine"
    started = not (wine_dir / "env").exists()
    if started:
        run([RIG, "start", wine_dir])
    try:
        text = run([RIG, "run", wine_dir, exe, str(args.megabytes)],
                   dict(os.environ, LC_ALL="zh_CN.UTF-8"))
    finally:
        if started:
            run([RIG, "stop", wine_dir])
    for line in text.splitlines():
        f = dict(re.findall(r"(\w+)=(\S+)", line))
        if "case" not in f:
            continue
        size = f"{int(f['bytes']) / 1048576:5.2f} MB" if int(f["bytes"]) > 4096 else \
            f"{f['bytes']:>5} B "
        print(f"   {f['case']:22} {size}  one move: {float(f['ms']):8.1f} ms median "
              f"({f['min']}..{f['max']} ms over {f['moves']} moves)", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
