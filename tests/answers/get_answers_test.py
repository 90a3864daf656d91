""""获取答案" as a person uses it: a page host shows an exam page, the crosshair is
dragged onto it with the mouse, the button is clicked, and the rows the running
tool lists are read back. Page answers, bank answers (with a missing id, an empty
answer and a repeated id), a page with both kinds, two clicks in a row, nothing
captured — and all of it again with the scripting regular-expression component
switched off, so that the built-in engine does the matching."""
import os
import pathlib
import sys
import time
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402

BANK = """[其他]
2001=X

[考试题目]
2001=A
2002=正确
2003=
"""

PAGE_ANSWERS = """<div class="q" stranswer="B"><p class="t">第一题：中文题目？</p></div>
<div class="q" stranswer="c">
<p></p>
</div>
<div class="q" stranswer="A"><p>含<b>标签</b>&amp;的题</p></div>
"""
PAGE_ANSWERS_ROWS = [["1", "第一题：中文题目？", "B"], ["2", "", "c"],
                     ["3", "含<b>标签</b>&amp;的题", "A"]]

PAGE_IDS = """<ul><li class="q" id="2001">选择题一</li>
<li id="2002"><span>判断题</span></li>
<li id="2003">空答案</li>
<li id="2999">缺失题</li>
<li id="2001">重复题</li></ul>
"""
PAGE_IDS_ROWS = [["1", "选择题一", "A"], ["2", "<span>判断题</span>", "正确"],
                 ["3", "空答案", ""], ["4", "缺失题", "[无]"], ["5", "重复题", "A"]]

PAGE_BOTH = PAGE_IDS + PAGE_ANSWERS


class GetAnswersTest(unittest.TestCase):
    extra_env = {}

    @classmethod
    def setUpClass(cls):
        folder = rig.out_dir("get_answers")
        cls.bank_ini = folder / "bank.ini"
        cls.bank_ini.write_bytes(BANK.encode("gbk"))
        cls.bank = BankServer(ini=cls.bank_ini).start()
        cls.tool = rig.start("tiyan.exe", env_vars=cls.extra_env)
        cls.main = rig.wait_window(cls="TiyanMainWindow", visible=True, timeout=60)
        cls.picture = rig.child(cls.main, "TiyanPictureBox")
        cls.button = rig.child(cls.main, "Button", "获取答案")

    @classmethod
    def tearDownClass(cls):
        cls.tool.kill()
        cls.bank.stop()

    def show_page(self, html, name):
        path = rig.out_dir("get_answers") / f"{name}.html"
        path.write_bytes(html.encode("gbk"))
        host, server = rig.show_page(path, name, url=f"http://exam.example.edu/{name}")
        self.addCleanup(host.kill)
        return server

    def capture(self, page):
        rig.drag([rig.centre(self.picture["rect"]), rig.centre(page["rect"])])

    def click_and_read(self, expected_count):
        rig.click(*rig.centre(self.button["rect"]))
        def rows():
            items = rig.child(rig.window(self.main["hwnd"]), "SysListView32")["listview"]["items"]
            return items if len(items) == expected_count else None
        if expected_count == 0:
            # A busy list reads as empty: give the click time to arrive, wait until the
            # window has handled it, and read a list that answered.
            time.sleep(1.0)
            rig.wait_answering(self.main["hwnd"], timeout=60)
            view = rig.child(rig.window(self.main["hwnd"]), "SysListView32")
            return rig.current_rows(view["hwnd"])
        return rig.wait_until(rows, timeout=15, message=f"{expected_count} rows")

    def test_page_answers_bank_answers_and_a_page_with_both(self):
        cases = [("answers", PAGE_ANSWERS, PAGE_ANSWERS_ROWS),
                 ("ids", PAGE_IDS, PAGE_IDS_ROWS),
                 ("both", PAGE_BOTH, PAGE_ANSWERS_ROWS)]
        for name, html, expected in cases:
            with self.subTest(page=name):
                self.capture(self.show_page(html, name))
                self.assertEqual(self.click_and_read(len(expected)), expected)
        shot = rig.screenshot("get_answers" + ("_builtin_engine" if self.extra_env else ""))
        self.assertTrue(shot.exists())

    def test_two_clicks_list_the_same_rows_once(self):
        self.capture(self.show_page(PAGE_IDS, "twice"))
        self.assertEqual(self.click_and_read(len(PAGE_IDS_ROWS)), PAGE_IDS_ROWS)
        self.assertEqual(self.click_and_read(len(PAGE_IDS_ROWS)), PAGE_IDS_ROWS)

    def test_a_page_without_questions_empties_the_list(self):
        self.capture(self.show_page(PAGE_IDS, "before"))
        self.click_and_read(len(PAGE_IDS_ROWS))
        self.capture(self.show_page("<p>没有题目</p>", "empty"))
        self.assertEqual(self.click_and_read(0), [])


class GetAnswersWithBuiltInEngineTest(GetAnswersTest):
    # Without the scripting component the built-in engine must list the same rows.
    extra_env = {"WINEDLLOVERRIDES": os.environ.get("WINEDLLOVERRIDES", "") + ";vbscript="}


if __name__ == "__main__":
    unittest.main()
