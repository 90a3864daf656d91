#!/usr/bin/env python3
"""Size of tiyan.exe for x86_64 and for i686, next to the smallest Win32 window
program (tools/bench/hello_window_win.cpp) linked here, in this run, in the same
build directory with the same toolchain, build type, flags and static linking. Both
as built, and stripped of their symbols and debugging information (a copy, with the
toolchain's strip), which is about what a release without debugging information
weighs.

    bench_size.py --build DIR [-v]
"""
import pathlib
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import BenchError, Row, failed_row, standalone, work_dir  # noqa: E402

TOOLCHAINS = {"x86_64": "win64", "i686": "win32"}
HELLO = "bench_hello_window"


def build_hello(bench, folder):
    """Links the reference afresh in the Windows build directory `folder`."""
    exe = bench.build / folder / "bin" / f"{HELLO}.exe"
    exe.unlink(missing_ok=True)
    command = ["cmake", "--build", str(bench.build / folder), "--target", HELLO]
    result = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if result.returncode != 0:  # a build tree configured before the target was added
        subprocess.run(["cmake", str(bench.build / folder)], capture_output=True, timeout=600)
        result = subprocess.run(command, capture_output=True, text=True, timeout=600)
    if result.returncode != 0 or not exe.exists():
        raise BenchError(f"cannot build {HELLO} in {folder}:\n{result.stdout}{result.stderr}")
    return exe


def stripped_size(arch, exe, work):
    copy = work / f"{arch}-{exe.name}"
    subprocess.run([f"{arch}-w64-mingw32-strip", "-o", str(copy), str(exe)], check=True,
                   capture_output=True, timeout=120)
    return copy.stat().st_size


def measure(bench):
    rows = []
    with work_dir(bench, "size") as work:
        for arch, folder in TOOLCHAINS.items():
            tiyan = bench.build / folder / "bin" / "tiyan.exe"
            figure = f"size of tiyan.exe, {arch}"
            if not tiyan.exists():
                rows.append(failed_row(figure, f"{folder}/bin/tiyan.exe is not built"))
                continue
            hello = build_hello(bench, folder)
            ours, ref = tiyan.stat().st_size, hello.stat().st_size
            ours_s, ref_s = stripped_size(arch, tiyan, work), stripped_size(arch, hello, work)
            bench.say(f"{arch}: tiyan.exe {ours} bytes ({ours_s} stripped), minimal window "
                      f"program {ref} bytes ({ref_s} stripped)")
            rows.append(Row(f"{figure} (as built)", ours, "bytes",
                            "minimal static Win32 window program", ref))
            rows.append(Row(f"{figure} (stripped)", ours_s, "bytes",
                            "the same, stripped", ref_s))
    return rows


if __name__ == "__main__":
    sys.exit(standalone(measure))
