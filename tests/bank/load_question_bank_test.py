"""Loading the question bank at start-up, as a person meets it: tiyan.exe under Wine on
Xvfb against the bank server on loopback, watched with winprobe and the X server's own
record of what it showed, and answered with real keys and clicks.

- With a bank, the loading window shows "加载中..." first; the main window shows only
  once it is gone, and Wine's temporary folder then holds the decrypted bank, byte for
  byte, up to its first zero byte, whatever body arrived (an error page too).
- Without one (no server, an empty answer, a dropped connection, a bank that decrypts
  to a zero first byte), and with a temporary folder that cannot be written, the
  message box tells why over the loading window, the main window never shows, OK ends
  the process with exit code 0, and no bank file is left.
- The file's name: lower-case hexadecimal of the tick count, ".tmp", in the folder that
  TEMP names.
"""
import contextlib
import json
import os
import pathlib
import re
import sys
import time
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import DEMO_BANK, SOURCE, BankServer, NoServer, bank_files, bank_port  # noqa: E402

sys.path.insert(0, str(SOURCE / "tools" / "bankserver"))
from bank_server import pack  # noqa: E402

LOADING, MAIN, MESSAGE_BOX = "TiyanLoadingWindow", "TiyanMainWindow", "#32770"
CAPTION = "信息："
NO_BANK = "题库获取失败, 请检查网络是否正常!"
NO_FILE = "题库创建失败, 请检查权限是否正确!"
SCREEN = (1280, 1024)
LOADING_SIZE, MAIN_SIZE = (295, 97), (484, 379)
LOADING_PLACE = ((SCREEN[0] - 295) // 2, (SCREEN[1] - 97) // 2, *LOADING_SIZE)

WS_CAPTION, WS_SYSMENU, WS_THICKFRAME = 0x00C00000, 0x00080000, 0x00040000
WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_EX_TOPMOST, WS_EX_TOOLWINDOW = 0x20000, 0x10000, 0x8, 0x80
SS_TYPEMASK, SS_ICON, IDOK = 0x1F, 0x3, 1

# Long enough for several looks at the loading window while the bank is on its way.
SERVER_DELAY = 3.0
# GetTickCount under Wine counts the Linux monotonic clock's milliseconds; the slack
# covers the raw clock's drift from the adjusted one.
TICK_SLACK_MS = 5000


def decrypt(body):
    return pack(body)  # RC4: the same keystream XORed both ways


def stored(plain):
    """What the bank file holds for a decrypted bank: the bytes before the first zero."""
    return plain.split(b"\0", 1)[0]


def bank(name, data):
    path = rig.out_dir("load_question_bank") / f"{name}.ini"
    path.write_bytes(data)
    return path


def large_bank():
    lines = [f"{n}=答案{n % 7}·{'甲乙丙丁'[n % 4]}\r\n" for n in range(100000, 200000)]
    return ("[考试题目]\r\n" + "".join(lines)).encode("gbk")  # about 2 MB: several write chunks


ZERO_INSIDE = "[考试题目]\r\n1001=A\r\n".encode("gbk") + b"\0" + "1002=B\r\n".encode("gbk")
ZERO_FIRST = b"\0" + "[考试题目]\r\n1001=A\r\n".encode("gbk")


def served_body():
    """The body the bank server gives now (an error page's too)."""
    url = f"http://127.0.0.1:{bank_port()}/question"
    try:
        with urllib.request.urlopen(url, timeout=30) as answer:
            return answer.read()
    except urllib.error.HTTPError as error:
        return error.read()


def request_log(server):
    if not server.log.exists():
        return []
    return [json.loads(line) for line in server.log.read_text(encoding="utf-8").splitlines()]


def tick_now():
    return int(time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000)


def place(window):
    left, top, right, bottom = window["rect"]
    return (left, top, right - left, bottom - top)


def shown(look, cls):
    return cls in look and look[cls]["visible"]


class ToolRun:
    """One start of tiyan.exe, directly or under withenv with TEMP and TMP set, with the
    screen recorded from before it starts; close() kills what is left of it."""

    def __init__(self, temp=None):
        self.files_before = set(bank_files())
        self.screen = rig.ScreenRecord()
        if temp is None:
            self.process = rig.start("tiyan.exe")
        else:
            folder = rig.winpath(temp)
            self.process = rig.start("withenv.exe", f"TEMP={folder}", f"TMP={folder}", "--",
                                     rig.winpath(rig.bin_dir() / "tiyan.exe"), name="tiyan")

    def close(self):
        self.process.kill()  # withenv takes its program with it
        self.screen.stop()

    def new_bank_files(self):
        return set(bank_files()) - self.files_before

    def windows(self):
        """The program's top-level windows by class, from one look. The look reads one
        window after another while the program runs on: for the order in which windows
        showed, ask the screen record."""
        # A window destroyed while the probe reads it comes back with pid 0: it is gone.
        return {w["class"]: w for w in rig.find_windows(depth=1)
                if w["class"] in (LOADING, MAIN, MESSAGE_BOX) and w["pid"]}

    def look_until(self, predicate, timeout=60.0):
        """Looks at the windows until predicate(look); gives up early when the tool ends."""
        deadline = time.monotonic() + timeout
        while True:
            look = self.windows()
            if predicate(look):
                return look
            if self.process.poll() is not None:
                raise rig.RigError(f"tiyan.exe ended (exit {self.process.poll()}); "
                                   f"last look: {sorted(look)}")
            if time.monotonic() > deadline:
                raise rig.RigError(f"timed out; last look: {sorted(look)}")

    def shows_until(self, event):
        """The screen record's shows of the loading window, the main window and the
        window at the place of `event`, once `event` is among them."""
        shows = self.screen.wait_for(lambda shows: event in shows)
        return [(kind, where) for kind, where in shows
                if where and (where[2:] in (LOADING_SIZE, MAIN_SIZE) or where == event[1])]


@contextlib.contextmanager
def tool_run(bank_side, temp=None):
    """The bank side (a server, or the port held shut) and a run of the tool on it."""
    with bank_side, contextlib.closing(ToolRun(temp)) as run:
        yield run


class LoadingTestCase(unittest.TestCase):
    def assert_main_window_after_loading_window(self, run, main):
        shows = run.shows_until(("map", place(main)))
        self.assertEqual(shows[:3], [("map", LOADING_PLACE), ("unmap", LOADING_PLACE),
                                     ("map", place(main))],
                         "the main window shows once the loading window is gone")

    def close_main_window(self, run, main, bank_file):
        rig.post_close(main["hwnd"])
        self.assertEqual(run.process.wait(20), 0)
        self.assertFalse(bank_file.exists(), "the bank file goes with the main window")

    def assert_starts_with_bank(self, run, expected):
        """The main window comes up after the loading window and the run's one new bank
        file holds `expected`; then a normal close. Returns the file's bytes."""
        main = run.look_until(lambda look: shown(look, MAIN))[MAIN]
        self.assert_main_window_after_loading_window(run, main)
        files = run.new_bank_files()
        self.assertEqual(len(files), 1, "one bank file while the tool runs")
        bank_file = files.pop()
        content = bank_file.read_bytes()
        self.assertEqual(content, expected)
        self.close_main_window(run, main, bank_file)
        return content


class LoadingWindowTest(LoadingTestCase):
    def test_loading_window_first_then_the_main_window_with_the_bank(self):
        server = BankServer(delay=SERVER_DELAY)
        requests_before = len(request_log(server))
        with tool_run(server) as run:
            # Early in the server's delay: the download has only begun.
            look = run.look_until(lambda look: shown(look, LOADING) or shown(look, MAIN))
            self.assertTrue(shown(look, LOADING), "the loading window comes first")
            loading = look[LOADING]
            self.assertEqual(place(loading), LOADING_PLACE, "centred on the screen")
            self.assertEqual(loading["text"], "")
            self.assertTrue(loading["style"] & WS_CAPTION and loading["style"] & WS_SYSMENU)
            self.assertFalse(loading["style"] & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX))
            self.assertFalse(loading["exstyle"] & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW))
            self.assertEqual(loading["owner"], 0)
            label = rig.child(loading, "Static")
            self.assertEqual(label["text"], "加载中...")
            l, t, r, b = label["rectInParent"]
            self.assertEqual((l, t, r - l, b - t), (24, 24, 248, 24))
            self.assert_text_drawn(label["rect"])
            # The main window exists already, hidden and disabled under the modal load.
            self.assertIn(MAIN, look)
            self.assertFalse(look[MAIN]["visible"] or look[MAIN]["enabled"])

            main = run.look_until(lambda look: shown(look, MAIN))[MAIN]
            self.assert_main_window_after_loading_window(run, main)
            run.look_until(lambda look: LOADING not in look, timeout=10)  # destroyed
            self.assertTrue(main["enabled"])
            self.assertFalse(main["topmost"])
            self.assertEqual(rig.child(main, "Button", "窗口置顶")["check"], 0)

            files = run.new_bank_files()
            self.assertEqual(len(files), 1)
            bank_file = files.pop()
            self.assertEqual(bank_file.read_bytes(), DEMO_BANK.read_bytes())
            self.close_main_window(run, main, bank_file)
        requests = request_log(server)[requests_before:]
        self.assertEqual([(r["method"], r["path"]) for r in requests], [("GET", "/question")],
                         "one download per start")

    def assert_text_drawn(self, rect):
        """Dark text on a light ground in a screen rectangle, as a person sees it."""
        shot = rig.screenshot("loading_window")
        pixels = [p for row in rig.pixels(shot, rect) for p in row]
        dark = [p for p in pixels if max(p) < 160]  # the text's strokes, smoothed
        self.assertGreater(len(dark), 40, "the label's text is drawn")
        self.assertGreater(len(pixels) - len(dark), len(pixels) // 2, "on a light ground")


# A body that is not the bank is decrypted and stored like one: nothing checks it.
# (name, server mode, bank served in mode "serve"; None: the large bank)
STORED_BANKS = [
    ("a bank with a zero byte inside: only the bytes before it", "serve", ZERO_INSIDE),
    ("a bank of megabytes without a zero byte: all of it", "serve", None),
    ("a 404 page", "notfound", b""),
    ("a text page in place of the bank", "garbage", b""),
]


class StoredBankTest(LoadingTestCase):
    def test_the_file_holds_the_decrypted_body_up_to_its_first_zero_byte(self):
        for name, mode, plain in STORED_BANKS:
            with self.subTest(name):
                plain = large_bank() if plain is None else plain
                with BankServer(ini=bank("stored", plain), mode=mode):
                    body = served_body()
                    if mode == "serve":
                        self.assertEqual(decrypt(body), plain)
                    expected = stored(decrypt(body))
                    self.assertTrue(expected, "the case needs a non-empty stored bank")
                    with contextlib.closing(ToolRun()) as run:
                        content = self.assert_starts_with_bank(run, expected)
                    if b"\0" not in decrypt(body):
                        self.assertEqual(len(content), len(body))


# (name, bank side, TEMP for the run or None, message, how the person closes the box)
def failures(folder):
    return [
        ("no server", NoServer, None, NO_BANK, "enter"),
        ("an empty answer", lambda: BankServer(mode="empty"), None, NO_BANK, "click"),
        ("the connection closed without an answer", lambda: BankServer(mode="close"), None,
         NO_BANK, "enter"),
        ("a bank that decrypts to a zero first byte",
         lambda: BankServer(ini=bank("zero_first", ZERO_FIRST)), None, NO_BANK, "click"),
        ("a temporary folder that cannot be written", BankServer, folder / "no-such-folder",
         NO_FILE, "enter"),
    ]


class FailureTest(LoadingTestCase):
    def test_message_then_exit_code_0_without_main_window_or_bank_file(self):
        folder = rig.out_dir("load_question_bank")
        for name, bank_side, temp, message, dismiss in failures(folder):
            with self.subTest(name), tool_run(bank_side(), temp) as run:
                if temp is not None:
                    self.assertFalse(temp.exists())
                look = run.look_until(lambda look: shown(look, MESSAGE_BOX))
                box = look[MESSAGE_BOX]
                self.assert_message_box(box, message, name)
                # Over the loading window, which the task-modal box disabled; the main
                # window hidden.
                self.assertTrue(shown(look, LOADING))
                self.assertFalse(look[LOADING]["enabled"])
                self.assertFalse(look[MAIN]["visible"])
                self.assertEqual(run.new_bank_files(), set())
                shows = run.shows_until(("map", place(box)))
                self.assertEqual(shows, [("map", LOADING_PLACE), ("map", place(box))])

                if dismiss == "enter":
                    rig.key("Return")
                else:
                    rig.click(*rig.centre(rig.child(box, "Button")["rect"]))
                self.assertEqual(run.process.wait(20), 0)
                shows = run.shows_until(("unmap", place(box)))
                self.assertNotIn(MAIN_SIZE, [where[2:] for _, where in shows],
                                 "the main window never showed")
                self.assertEqual(run.windows(), {})
                self.assertEqual(run.new_bank_files(), set())
                if temp is not None:
                    self.assertFalse(temp.exists())

    def assert_message_box(self, box, message, name):
        self.assertEqual(box["text"], CAPTION)
        self.assertEqual(box["owner"], 0)
        kids = box["children"]
        buttons = [k for k in kids if k["class"] == "Button"]
        self.assertEqual([b["id"] for b in buttons], [IDOK], "only an OK button")
        texts = [k["text"] for k in kids if k["class"] == "Static" and k["text"]]
        self.assertEqual(texts, [message])
        icons = [k for k in kids if k["class"] == "Static"
                 and k["style"] & SS_TYPEMASK == SS_ICON]
        self.assertEqual(len(icons), 1)
        # The error icon is the red one (warning: yellow, information: blue).
        shot = rig.screenshot("message_" + re.sub(r"\W+", "_", name))
        pixels = [p for row in rig.pixels(shot, icons[0]["rect"]) for p in row]
        red = [p for p in pixels if p[0] > 150 and p[1] < 90 and p[2] < 90]
        self.assertGreater(len(red), len(pixels) // 5, "the error icon")


class TemporaryFileNameTest(LoadingTestCase):
    def test_name_is_the_tick_count_in_hexadecimal_in_the_temporary_folder(self):
        folder = rig.out_dir("load_question_bank") / "temp"
        folder.mkdir(exist_ok=True)
        for old in folder.iterdir():
            old.unlink()
        before = tick_now()
        with tool_run(BankServer(), temp=folder) as run:
            main = run.look_until(lambda look: shown(look, MAIN))[MAIN]
            after = tick_now()
            files = list(folder.iterdir())
            self.assertEqual(len(files), 1)
            self.assertEqual(run.new_bank_files(), set(), "nothing in Wine's own folder")
            self.assertRegex(files[0].name, r"^[1-9a-f][0-9a-f]*\.tmp$")
            since_start = (int(files[0].stem, 16) - (before - TICK_SLACK_MS)) % 2**32
            self.assertLessEqual(since_start, after - before + 2 * TICK_SLACK_MS,
                                 f"{files[0].name} is the tick count ({before}..{after})")
            self.assertEqual(files[0].read_bytes(), DEMO_BANK.read_bytes())
            self.close_main_window(run, main, files[0])


if __name__ == "__main__":
    unittest.main()
