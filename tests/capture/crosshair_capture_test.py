"""The crosshair drag as a person does it: tiyan.exe and page hosts in their
own processes under Wine on Xvfb, the left button pressed on the crosshair box
with xdotool, the mouse moved over the pages and released.

What was captured is read from the tool's hidden edit box (winprobe) and from
the file that the tool's test hook TIYAN_TEST_DUMP mirrors capturedPageHtml
into; what the person sees is read from screenshots of the box and from the
cursor image the X server shows."""
import importlib.util
import os
import pathlib
import sys
import time
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402

SOURCE = pathlib.Path(os.environ.get("TIYAN_SOURCE", pathlib.Path(__file__).parents[2]))
_spec = importlib.util.spec_from_file_location(
    "make_cursor_images", SOURCE / "tools" / "cursor_images" / "make_cursor_images.py")
cursor_images = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(cursor_images)

MAIN = "TiyanMainWindow"
URL_A = "http://exam.example/考试/a?id=1"
URL_B = "http://exam.example/b"
PAGE_A = ("<div class=\"q\" stranswer=\"B\">1. 中文题目\\ 丨 A</div>\r\n"
          "<div class=\"q\" stranswer=\"C\">2. 第二题</div>").encode("gbk")
PAGE_B = ("<p id=\"b\">" + "乙页 line. " * 40 + "</p>").encode("gbk")
DESKTOP = (150, 950)  # nothing lies here
HOST_A = (900, 60, 360, 280)
HOST_B = (900, 400, 360, 280)
HOST_C = (20, 60, 360, 280)  # hung, bodiless and big pages take turns here


def expected_cursor(pixels, grey_of):
    """The 32-bit ARGB rows X shows for one of our cursor files' pictures."""
    return [[0 if p is None else 0xFF000000 | grey_of(p) * 0x010101 for p in row]
            for row in pixels]


CROSSHAIR = expected_cursor(cursor_images.crosshair_pixels(), lambda g: g)
HAND = expected_cursor(cursor_images.hand_pixels(), lambda i: 255 * i)


def page_hosts_pages():
    folder = rig.out_dir("crosshair_capture")
    pages = {}
    for name, data in (("a", PAGE_A), ("b", PAGE_B)):
        pages[name] = folder / f"{name}.html"
        pages[name].write_bytes(data)
    return folder, pages


def big_page(folder):
    """A page of about 5 MB, mostly Chinese, the same on every run."""
    path = folder / "big.html"
    if not path.exists():
        parts, size, n = [], 0, 0
        while size < 5 * 1024 * 1024:
            piece = (f"<div class=\"q\" stranswer=\"{'ABCD'[n % 4]}\">{n}. "
                     + "这是一道很长的考试题目，" * 8 + "</div>\r\n").encode("gbk")
            parts.append(piece)
            size += len(piece)
            n += 1
        path.write_bytes(b"".join(parts))
    return path


class CrosshairCaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder, cls.pages = page_hosts_pages()
        cls.hosts = []
        cls.host_a = cls.start_host(cls.pages["a"], URL_A, "页面A", HOST_A)
        cls.host_b = cls.start_host(cls.pages["b"], URL_B, "页面B", HOST_B)

    @classmethod
    def tearDownClass(cls):
        for process in cls.hosts:
            process.kill()

    @classmethod
    def start_host(cls, page, url, title, rect, *options):
        process = rig.start("pagehost.exe", "--html", rig.winpath(page), "--url", url,
                            "--title", title, "--rect", ",".join(map(str, rect)), *options)
        cls.hosts.append(process)
        frame = rig.wait_window(cls="TiyanPageHost", title=title)
        return rig.child(frame, cls="Internet Explorer_Server")

    def setUp(self):
        self.bank = BankServer().start()
        self.addCleanup(self.bank.stop)
        self.dump = self.folder / f"dump-{self.id().rsplit('.', 1)[-1]}.html"
        self.dump.unlink(missing_ok=True)
        self.tool = rig.start("tiyan.exe", env_vars={"TIYAN_TEST_DUMP": rig.winpath(self.dump)})
        self.addCleanup(self.tool.kill)
        self.main = rig.wait_window(cls=MAIN, visible=True, timeout=30)
        self.box = rig.child(self.main, cls="TiyanPictureBox")
        self.edit = rig.child(self.main, cls="Edit")
        # The pointer starts away from everything.
        rig.mousemove(*DESKTOP)

    # --- what the test reads --------------------------------------------------

    def edit_text(self):
        return rig.window(self.edit["hwnd"])["text"]

    def captured(self):
        """capturedPageHtml as the hook last wrote it; None before any capture."""
        return self.dump.read_bytes() if self.dump.exists() else None

    def wait_captured(self, page, edit, timeout=30):
        rig.wait_until(lambda: self.captured() == page and self.edit_text() == edit,
                       timeout=timeout, message=f"capture of {edit!r}")

    def capture_window(self):
        return rig.window(self.main["hwnd"])["thread"]["capture"]

    def box_picture(self, name):
        """The 38 x 38 client area of the box (inside its one-pixel border)."""
        left, top, right, bottom = self.box["client"]
        return rig.pixels(rig.screenshot(name), (left, top, right, bottom))

    def assert_box_shows_crosshair(self, name):
        shown = self.box_picture(name)
        offset = (len(shown) - 32) // 2  # centred at its own size
        for y, row in enumerate(cursor_images.crosshair_pixels()):
            for x, grey in enumerate(row):
                want = (255, 255, 255) if grey is None else (grey, grey, grey)
                self.assertEqual(shown[offset + y][offset + x], want, f"crosshair at {x},{y}")

    def assert_box_blank(self, name):
        shown = self.box_picture(name)
        self.assertEqual({p for row in shown for p in row}, {(255, 255, 255)})

    def wait_cursor(self, argb, what):
        rig.wait_until(lambda: rig.cursor_image()["argb"] == argb, timeout=10,
                       message=f"the {what} pointer")

    def label_hand(self):
        """The system hand cursor, as X shows it over the label 标签2."""
        label = next(c for c in rig.children(self.main, cls="TiyanLabel")
                     if c["text"].startswith("不会用"))
        rig.mousemove(*rig.centre(label["rect"]))
        time.sleep(0.3)
        return rig.cursor_image()

    def drag(self, *points, release=True):
        rig.drag([rig.centre(self.box["rect"]), *points], release=release)

    # --- the tests --------------------------------------------------------------

    def test_drag_onto_a_page_captures_it_with_the_pointer_and_picture_of_each_state(self):
        hand = self.label_hand()
        self.assertNotIn(hand["argb"], (CROSSHAIR, HAND))
        # Before the first drag: the crosshair in the box, the system hand over it.
        self.assert_box_shows_crosshair("capture_1_before")
        rig.mousemove(*rig.centre(self.box["rect"]))
        self.wait_cursor(hand["argb"], "system hand")

        # Pressed: the box is blank and the pointer is the crosshair.
        rig.mousedown()
        self.addCleanup(rig.mouseup)
        self.wait_cursor(CROSSHAIR, "crosshair")
        image = rig.cursor_image()
        self.assertEqual((image["width"], image["height"], image["xhot"], image["yhot"]),
                         (32, 32, 15, 16))
        self.assert_box_blank("capture_2_pressed")
        self.assertEqual(self.capture_window(), self.box["hwnd"])
        self.assertIsNone(self.captured())

        # Over the page: still the crosshair, and the page is captured.
        x, y = rig.centre(self.box["rect"])
        tx, ty = rig.centre(self.host_a["rect"])
        for step in range(1, 11):
            rig.mousemove(x + (tx - x) * step // 10, y + (ty - y) * step // 10)
            time.sleep(0.05)
        self.wait_captured(PAGE_A, f"{self.host_a['hwnd']} - {URL_A}")
        self.wait_cursor(CROSSHAIR, "crosshair over the page")
        self.assert_box_blank("capture_3_over_page")

        # Released on the page: the crosshair is back in its box; over the box
        # the pointer is now the drawn hand.
        rig.mouseup()
        rig.wait_until(lambda: self.capture_window() == 0, message="the capture to end")
        self.assert_box_shows_crosshair("capture_4_released")
        rig.mousemove(*rig.centre(self.box["rect"]))
        self.wait_cursor(HAND, "drawn hand")
        image = rig.cursor_image()
        self.assertEqual((image["xhot"], image["yhot"]), (6, 0))
        self.assertEqual(self.captured(), PAGE_A)
        self.assertEqual(self.edit_text(), f"{self.host_a['hwnd']} - {URL_A}")
        self.assertFalse(rig.window(self.edit["hwnd"])["visible"])

        # Moving over a page without a press reads nothing.
        rig.mousemove(*rig.centre(self.host_b["rect"]))
        time.sleep(1)
        self.assertEqual(self.captured(), PAGE_A)

    def test_drag_that_ends_on_the_desktop_keeps_the_last_page(self):
        self.drag(rig.centre(self.host_a["rect"]), DESKTOP)
        self.wait_captured(PAGE_A, f"{self.host_a['hwnd']} - {URL_A}")
        rig.wait_until(lambda: self.capture_window() == 0, message="the capture to end")
        time.sleep(0.5)
        self.assertEqual(self.captured(), PAGE_A)

    def test_the_page_passed_over_last_wins(self):
        a, b = rig.centre(self.host_a["rect"]), rig.centre(self.host_b["rect"])
        self.drag(a, b, DESKTOP)
        self.wait_captured(PAGE_B, f"{self.host_b['hwnd']} - {URL_B}")
        self.drag(b, a)
        self.wait_captured(PAGE_A, f"{self.host_a['hwnd']} - {URL_A}")

    def test_release_without_a_press_on_the_box_changes_nothing(self):
        hand = self.label_hand()
        # Pressed on the instruction label, released on the box.
        label = next(c for c in rig.children(self.main, cls="TiyanLabel")
                     if c["text"].startswith("请先"))
        rig.drag([(label["rect"][0] + 20, label["rect"][1] + 15), rig.centre(self.box["rect"])])
        time.sleep(0.5)
        self.wait_cursor(hand["argb"], "unchanged system hand")
        self.assert_box_shows_crosshair("release_without_press")
        self.assertEqual(self.capture_window(), 0)
        self.assertIsNone(self.captured())
        self.assertEqual(self.edit_text(), "")

    def test_click_on_the_box_leaves_no_capture_behind(self):
        rig.click(*rig.centre(self.box["rect"]))
        self.wait_cursor(HAND, "drawn hand")
        self.assertEqual(self.capture_window(), 0)
        self.assert_box_shows_crosshair("click_on_box")
        self.assertIsNone(self.captured())
        self.assertEqual(self.edit_text(), "")

    def test_hung_page_empties_the_html_and_writes_only_the_handle(self):
        status = self.folder / "hung.status"
        status.unlink(missing_ok=True)
        hung = self.start_host(self.pages["a"], URL_A, "挂起的页面", HOST_C, "--hang", "25",
                               "--status", rig.winpath(status))
        self.addCleanup(self.hosts[-1].kill)
        rig.wait_until(lambda: status.exists() and "hang-begin" in status.read_text(),
                       message="the page host to hang")
        started = time.monotonic()
        self.drag(rig.centre(self.host_a["rect"]), rig.centre(hung["rect"]), DESKTOP)
        self.wait_captured(b"", f"{hung['hwnd']} - ", timeout=20)
        rig.wait_until(lambda: self.capture_window() == 0, timeout=20,
                       message="the release to be handled")
        # Liveness, not speed: every move over the hung page gives up after a
        # second, so the drag is over long before the page host wakes up.
        self.assertLess(time.monotonic() - started, 20)
        self.assertNotIn("hang-end", status.read_text())

    def test_page_without_body_writes_the_url_and_empties_the_html(self):
        bodiless = self.start_host(self.pages["a"], URL_B, "无正文", HOST_C, "--no-body")
        self.addCleanup(self.hosts[-1].kill)
        self.drag(rig.centre(self.host_a["rect"]), rig.centre(bodiless["rect"]))
        self.wait_captured(b"", f"{bodiless['hwnd']} - {URL_B}")

    def test_five_megabyte_page_is_captured_whole(self):
        page = big_page(self.folder)
        big = self.start_host(page, URL_B, "大页面", HOST_C)
        self.addCleanup(self.hosts[-1].kill)
        self.drag(rig.centre(big["rect"]))
        self.wait_captured(page.read_bytes(), f"{big['hwnd']} - {URL_B}", timeout=60)


if __name__ == "__main__":
    unittest.main()
