#!/usr/bin/env python3
"""Writes the bank files of tests/bank/bankctl_pack_win_test.cpp and packs them with the
native bankctl: OUT/NAME.plain next to OUT/NAME.packed."""
import pathlib
import shutil
import subprocess
import sys

bankctl, source, out = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
out.mkdir(parents=True, exist_ok=True)
plains = {
    "demo": (source / "tools/demo/demo_bank.ini").read_bytes(),
    "all_bytes": bytes(range(1, 256)) * 8000,  # about 2 MB, every non-zero byte value
    "zero_inside": "[考试题目]\r\n1001=A\r\n".encode("gbk") + b"\x00" + b"after the cut",
}
for name, data in plains.items():
    (out / f"{name}.plain").write_bytes(data)
    subprocess.run([bankctl, "pack", str(out / f"{name}.plain"), str(out / f"{name}.packed")],
                   check=True, stdout=subprocess.DEVNULL)
print("packed", ", ".join(plains))
