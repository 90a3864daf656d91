"""The temporary folder on a disk that cannot take the bank: a 1 MB disk that fills up
while a 2 MB bank is written, a read-only disk, and a disk already full before the
start. Each time the tool shows "题库创建失败, 请检查权限是否正确!" over the loading
window, Enter ends it with exit code 0, and the folder holds no bank file, not even part
of one.

The disks are tmpfs mounts under the build directory, which takes root; without the
right to mount, the test exits with code 77 (skipped).
"""
import contextlib
import errno
import os
import pathlib
import subprocess
import sys
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402
from failed_start import assert_failed_start  # noqa: E402
from load_question_bank_test import NO_FILE, LoadingTestCase, ToolRun, bank, large_bank  # noqa: E402

SKIPPED = 77
DISK_SIZE = "1m"
FILLER = "filler.bin"


def mounted(folder):
    target = str(folder.resolve())
    mounts = pathlib.Path("/proc/mounts").read_text().splitlines()
    return any(line.split()[1] == target for line in mounts)


def mount_disk(folder, options):
    """A fresh tmpfs at `folder` with `options` ("size=1m", "ro,size=1m"); True when
    mounted."""
    folder.mkdir(parents=True, exist_ok=True)
    if mounted(folder):
        unmount_disk(folder)
    result = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", str(folder)],
                            capture_output=True, timeout=30)
    return result.returncode == 0


def unmount_disk(folder):
    if mounted(folder):
        subprocess.run(["umount", str(folder)], check=True, timeout=30)


def fill(folder):
    """Writes one file until the disk has no room left."""
    with open(folder / FILLER, "wb") as out:
        try:
            while True:
                out.write(b"\xff" * 65536)
                out.flush()
        except OSError as error:
            if error.errno != errno.ENOSPC:
                raise


def disks_folder():
    return rig.out_dir("full_disk")


def can_mount():
    probe = disks_folder() / "probe"
    try:
        if not mount_disk(probe, f"size={DISK_SIZE}"):
            return False
    except OSError:  # not even the folder, or no mount program
        return False
    unmount_disk(probe)
    return True


# (name, mount options, make the disk full before the start, files left in the folder)
DISKS = [
    ("a disk that fills up during the write", f"size={DISK_SIZE}", False, []),
    ("a read-only disk", f"ro,size={DISK_SIZE}", False, []),
    ("a disk full before the start", f"size={DISK_SIZE}", True, [FILLER]),
]


class FullDiskTest(LoadingTestCase):
    def test_creation_message_and_no_bank_file_on_the_disk(self):
        plain = large_bank()  # megabytes without a zero byte: more than the disk holds
        self.assertGreater(len(plain), 1 << 20)
        served = bank("full_disk", plain)
        for name, options, full, left in DISKS:
            with self.subTest(name):
                folder = disks_folder() / name.replace(" ", "_")
                self.assertTrue(mount_disk(folder, options), f"mount -o {options}")
                self.addCleanup(unmount_disk, folder)
                if full:
                    fill(folder)
                with BankServer(ini=served), contextlib.closing(ToolRun(folder)) as run:
                    assert_failed_start(self, run, NO_FILE, "full_disk_" + options)
                self.assertEqual(sorted(f.name for f in folder.iterdir()), left)
                unmount_disk(folder)


if __name__ == "__main__":
    if not can_mount():
        print("skipped: mounting a tmpfs is not allowed here", file=sys.stderr)
        sys.exit(SKIPPED)
    unittest.main()
