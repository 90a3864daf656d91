"""The main window as a person meets it, under Wine on Xvfb with real input:
its size and place, every control where the form puts it, the always-on-top
box, and the three ways of closing it, each of which ends the process with
exit code 0 and deletes the bank file of the run."""
import os
import pathlib
import sys
import time
import unittest

sys.path.insert(0, os.environ.get("TIYAN_RIG", str(pathlib.Path(__file__).parents[1] / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer, bank_files  # noqa: E402

MAIN = "TiyanMainWindow"
SCREEN = (1280, 1024)

WS_BORDER = 0x00800000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_TABSTOP = 0x00010000
LVS_REPORT, LVS_SHOWSELALWAYS, LVS_SINGLESEL, LVS_NOSORTHEADER = 0x1, 0x8, 0x4, 0x8000
LVS_EX = {"FULLROWSELECT": 0x20, "GRIDLINES": 0x1, "FLATSB": 0x100, "INFOTIP": 0x400,
          "SUBITEMIMAGES": 0x2}

# (class, text, left, top, width, height, visible), in creation and stacking order.
CONTROLS = [
    ("TiyanPictureBox", "", 163, 8, 40, 40, True),
    ("TiyanLabel", "不会用？？点此联系客服QQ:800012345", 19, 312, 245, 24, True),
    ("Button", "窗口置顶", 401, 19, 70, 24, True),
    ("TiyanLabel", "点此加入官方群:165230918", 319, 311, 142, 24, True),
    ("Button", "获取答案", 327, 14, 66, 31, True),
    ("SysListView32", "", 10, 57, 456, 240, True),
    ("Edit", "", 177, 17, 16, 24, False),
    ("TiyanLabel", "请先拖动十字架到答题页面          然后再点击获取答案", 7, 14, 321, 31, True),
    ("Button", "", 10, 301, 456, 40, True),
]


class MainWindowTest(unittest.TestCase):
    def setUp(self):
        self.bank = BankServer()
        self.bank.start()
        self.addCleanup(self.bank.stop)
        self.files_before = set(bank_files())
        self.tool = rig.start("tiyan.exe")
        self.addCleanup(self.tool.kill)
        self.main = rig.wait_window(cls=MAIN, visible=True)

    def control(self, cls, text=None):
        return rig.child(rig.window(self.main["hwnd"]), cls, text)

    def test_window_and_controls_are_where_the_form_puts_them(self):
        win = self.main
        left, top, right, bottom = win["rect"]
        self.assertEqual((right - left, bottom - top), (484, 379))
        self.assertEqual((left, top), ((SCREEN[0] - 484) // 2, (SCREEN[1] - 379) // 2))
        style = win["style"]
        for bit in (WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX):
            self.assertTrue(style & bit, hex(bit))
        self.assertFalse(style & (WS_THICKFRAME | WS_MAXIMIZEBOX))
        self.assertFalse(win["topmost"])
        self.assertTrue(win["text"].startswith("题眼 V1.0—"))

        kids = win["children"]
        self.assertEqual(len(kids), len(CONTROLS))
        for z, (kid, expected) in enumerate(zip(kids, CONTROLS)):
            cls, text, x, y, w, h, visible = expected
            with self.subTest(control=text or cls):
                self.assertEqual(kid["class"], cls)
                self.assertEqual(kid["text"], text)
                l, t, r, b = kid["rectInParent"]
                self.assertEqual((l, t, r - l, b - t), (x, y, w, h))
                self.assertEqual(kid["visible"], visible)
                self.assertTrue(kid["enabled"])
                self.assertEqual(kid["z"], z, "creation order is stacking order")

        box = self.control("Button", "窗口置顶")
        self.assertEqual(box["check"], 0)
        self.assertTrue(box["style"] & WS_TABSTOP)
        listview = self.control("SysListView32")
        s = listview["style"]
        self.assertTrue(s & LVS_REPORT and s & LVS_NOSORTHEADER and s & LVS_SHOWSELALWAYS)
        self.assertFalse(s & LVS_SINGLESEL)
        self.assertTrue(s & WS_BORDER)
        for name, bit in LVS_EX.items():
            self.assertTrue(listview["listview"]["extendedStyle"] & bit, name)
        columns = [(c["title"], c["width"]) for c in listview["listview"]["columns"]]
        self.assertEqual(columns, [("序号", 60), ("题目", 290), ("答案", 70)])
        self.assertEqual(listview["listview"]["items"], [])
        rig.screenshot("main_window")

    def test_click_on_topmost_box_toggles_topmost_with_the_mark(self):
        box = self.control("Button", "窗口置顶")
        x, y = box["rect"][0] + 6, rig.centre(box["rect"])[1]
        for expected in (True, False, True):
            rig.click(x, y)
            state = rig.wait_until(
                lambda: (w := rig.window(self.main["hwnd"])) and
                w["topmost"] == expected and w,
                timeout=5, message=f"topmost == {expected}")
            self.assertEqual(self.control("Button", "窗口置顶")["check"], int(expected))
            self.assertEqual(state["topmost"], expected)

    def test_space_on_the_focused_box_changes_only_the_mark(self):
        # The focus starts on "获取答案"; Shift+Tab moves it back to "窗口置顶".
        rig.key("shift+Tab")
        time.sleep(0.3)
        rig.key("space")
        rig.wait_until(lambda: self.control("Button", "窗口置顶")["check"] == 1, timeout=5,
                       message="the box to be checked")
        time.sleep(0.3)
        self.assertFalse(rig.window(self.main["hwnd"])["topmost"])

    def close_and_check(self, close):
        created = set(bank_files()) - self.files_before
        self.assertEqual(len(created), 1, "the run keeps one bank file while it runs")
        close()
        self.assertEqual(self.tool.wait(20), 0)
        self.assertFalse(any(f.exists() for f in created), "the bank file is deleted")

    def test_escape_closes(self):
        self.close_and_check(lambda: rig.key("Escape"))

    def test_alt_f4_closes(self):
        self.close_and_check(lambda: rig.key("alt+F4"))

    def test_close_box_closes(self):
        def click_close_box():
            left, top, right, _ = self.main["rect"]
            client_top = self.main["client"][1]
            # Wine draws the frame itself: the close box ends the caption on the right.
            rig.click(right - 14, (top + client_top) // 2)
        self.close_and_check(click_close_box)


if __name__ == "__main__":
    unittest.main()
