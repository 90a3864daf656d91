"""Hostile pages through "获取答案" as a person meets them: the page is shown in a
page host, the crosshair dragged onto it with the mouse, the button clicked, and the
rows the running tool lists read back once its window answers again. Each page must
end in its defined rows (or none), never in a crash, a hang or rows of garbage:

- a page of 20 MB in bank mode, questions at its start, middle and very end;
- a page of 10 MB on one line in page-answer mode;
- stranswer attributes on one line with no paragraph anywhere: the answer pattern
  finds nothing (its lazy gap runs from every attribute to the end of the page), the
  list is emptied, and the id pattern runs next: with one list item at the end of
  the line, that item is the one row.

The same cases run with the scripting component and, with the component switched
off, with the built-in engine. The flood is quadratic in a backtracking engine:
with the component a click on 5 000 attributes blocks the window for about 20 s and
one on 50 000 would block it for tens of minutes, so the component gets 1 000
attributes here and the built-in engine, linear, the full 50 000.
tests/answers/click_block_growth.py measures the growth. The time each click blocks
the window is printed, never asserted: speed is a benchmark's business."""
import os
import pathlib
import sys
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, os.environ.get("TIYAN_RIG", str(HERE.parent / "rig")))
sys.path.insert(0, str(HERE))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402
import hostile_pages  # noqa: E402

NO_COMPONENT = {"WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";vbscript="}
# A small page whose one row differs from every hostile page's rows.
MARK_PAGE = '<ul><li id="4004">标记题</li></ul>'.encode("gbk")
MARK_ROWS = [["1", "标记题", "ABD"]]
# Liveness, not speed: long enough for the slowest case on a loaded machine.
CLICK_LIMIT = 600.0


class HostilePagesTest(unittest.TestCase):
    extra_env = {}
    engine = "component"
    flood_attributes = 1000

    @classmethod
    def setUpClass(cls):
        cls.folder = rig.out_dir(f"hostile_pages_{cls.engine}")
        bank_ini = cls.folder / "bank.ini"
        bank_ini.write_bytes(hostile_pages.BANK.encode("gbk"))
        cls.bank = BankServer(ini=bank_ini).start()
        cls.tool = rig.start("tiyan.exe", env_vars=cls.extra_env)
        cls.main = rig.wait_window(cls="TiyanMainWindow", visible=True, timeout=60)
        cls.picture = rig.child(cls.main, "TiyanPictureBox")
        cls.button = rig.child(cls.main, "Button", "获取答案")
        cls.list = rig.child(cls.main, "SysListView32")
        cls.host = None

    @classmethod
    def tearDownClass(cls):
        if cls.host:
            cls.host.kill()
        cls.tool.kill()
        cls.bank.stop()

    def tearDown(self):
        self.assertIsNone(self.tool.poll(), "the tool ended")

    def capture(self, page, name):
        """Shows the page (bytes in code page 936) and drags the crosshair onto it."""
        cls = type(self)
        if cls.host:
            cls.host.kill()
            rig.wait_gone(cls="TiyanPageHost")
        path = self.folder / f"{name}.html"
        path.write_bytes(page)
        cls.host, server = rig.show_page(path, name, url=f"http://exam.example.edu/{name}")
        rig.drag([rig.centre(self.picture["rect"]), rig.centre(server["rect"])])
        rig.wait_answering(self.main["hwnd"], CLICK_LIMIT)

    def click(self):
        """Clicks "获取答案" and returns the rows listed once the window answers again.
        The list must show other rows before the click, so that rows read before the
        click was handled can never pass for its outcome."""
        before = rig.current_rows(self.list["hwnd"])
        started = time.monotonic()
        rig.click(*rig.centre(self.button["rect"]), pause=0)
        rows = rig.wait_new_rows(self.main["hwnd"], self.list["hwnd"], before, CLICK_LIMIT)
        print(f"\n  [{self.engine}] {self.id().rsplit('.', 1)[-1]}: rows read "
              f"{time.monotonic() - started:.1f} s after the click", file=sys.stderr)
        return rows

    def list_other_rows_than(self, expected):
        if rig.current_rows(self.list["hwnd"]) == expected:
            self.capture(MARK_PAGE, "mark")
            self.assertEqual(self.click(), MARK_ROWS)

    def check_page(self, name, page, expected):
        self.list_other_rows_than(expected)
        self.capture(page, name)
        self.assertEqual(self.click(), expected)

    def test_twenty_megabyte_page_lists_questions_at_its_start_middle_and_end(self):
        self.check_page("big", *hostile_pages.big_id_page(20))

    def test_ten_megabyte_page_on_one_line_lists_its_questions(self):
        self.check_page("one_line", *hostile_pages.one_line_answer_page(10))

    def test_stranswer_flood_without_a_paragraph_lists_nothing_then_the_ids(self):
        n = self.flood_attributes
        self.check_page(f"flood{n}", *hostile_pages.stranswer_flood(n))
        self.check_page(f"flood{n}_tail", *hostile_pages.stranswer_flood(n, tail_id=4001))


class HostilePagesWithBuiltInEngineTest(HostilePagesTest):
    extra_env = NO_COMPONENT
    engine = "builtin"
    flood_attributes = 50_000


if __name__ == "__main__":
    unittest.main()
