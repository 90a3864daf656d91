"""The failed start as a person meets it, shared by the hostile-input rig tests of the
bank loading: the message box over the loading window, the main window never shown, no
bank file, and Enter ending the process with exit code 0."""
import time

import load_question_bank_test as loading
import tiyanrig as rig
from load_question_bank_test import LOADING, MAIN, MESSAGE_BOX, shown


def assert_failed_start(case, run, message, name, timeout=60.0):
    """Waits for the message box of `run` (a ToolRun), checks it and the windows behind
    it, closes it with Enter and checks the end. Returns the seconds from the call to
    the box."""
    started = time.monotonic()
    look = run.look_until(lambda look: shown(look, MESSAGE_BOX), timeout=timeout)
    seconds = time.monotonic() - started
    loading.FailureTest.assert_message_box(case, look[MESSAGE_BOX], message, name)
    case.assertTrue(shown(look, LOADING), "over the loading window")
    case.assertFalse(look[MAIN]["visible"])
    case.assertEqual(run.new_bank_files(), set())
    rig.key("Return")
    case.assertEqual(run.process.wait(20), 0)
    case.assertEqual(run.windows(), {})
    case.assertEqual(run.new_bank_files(), set())
    return seconds
