"""A bank server that sends the head of its answer and then never the body. The bank
request sets no time-outs of its own, so the request object's defaults decide (Wine's
and Windows' receive time-out: 30 s): then the download message shows over the loading
window, Enter ends the process with exit code 0, and no bank file is left. The wait is
printed for the record.
"""
import contextlib
import os
import pathlib
import sys
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
from bankfixture import BankServer  # noqa: E402
from failed_start import assert_failed_start  # noqa: E402
from load_question_bank_test import NO_BANK, LoadingTestCase, ToolRun  # noqa: E402

# Far beyond the object's receive time-out: a wait this long is a hang.
HANG_SECONDS = 120


class StalledServerTest(LoadingTestCase):
    def test_download_message_after_the_request_objects_time_out(self):
        with BankServer(mode="stall"), contextlib.closing(ToolRun()) as run:
            seconds = assert_failed_start(self, run, NO_BANK, "stalled_server",
                                          timeout=HANG_SECONDS)
        print(f"\nthe message showed {seconds:.1f} s after the tool started", file=sys.stderr)


if __name__ == "__main__":
    unittest.main()
