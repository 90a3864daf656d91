"""Hostile text through "获取答案" as a person meets it, under the C locale (ANSI code
page 1252) and under zh_CN.UTF-8 (code page 936): a bank whose answers and ids hold
invalid code page 936 sequences and lone lead bytes, and pages whose question texts
and ids hold characters that code page 936 has no form for. Every row must show, and
show exactly the documented conversion of its text, with nothing after it.

The conversions, as the platform makes them:
- The tool's own texts are code page 936 on every locale (app/codepage_win.h). A
  UTF-16 unit without a code page 936 form becomes "?": an emoji (two units) "??", a
  lone surrogate "?", U+FFFF "?". Turning bytes into characters, a lead byte takes
  the byte after it along and the pair reads as "?" when it is no character; a lead
  byte at the end of a text reads as "?" on its own; a byte 0x80 is the euro sign and
  0xFF is U+F8F5.
- The bank is read by the platform's profile reader in the ANSI code page (see
  answers/profile_reader.h). Under code page 1252 every byte is one character, so an
  answer comes back byte for byte and an over-long one is cut at exactly 10239 bytes,
  which can leave a lone lead byte at its end. Under code page 936 the reader applies
  the lead-byte rule to the file itself: a lone lead byte before a line break takes
  the break with it and joins the next line to its answer, and an over-long answer is
  cut after its last whole character.
"""
import os
import pathlib
import sys
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, os.environ.get("TIYAN_RIG", str(HERE.parent / "rig")))
import tiyanrig as rig  # noqa: E402
from bankfixture import BankServer  # noqa: E402

LONG = "中" * 6000  # 12000 bytes: the 10239-byte cut falls on a lead byte

BANK = b"".join([
    "[考试题目]\n".encode("gbk"),
    b"3001=A\x81 B\n",                   # a lead byte before a byte that is no trail byte
    b"3002=\xff\xe5\xc4\x80X\n",         # 0xFF, a whole character, 0x80
    "3003=答".encode("gbk") + b"\x81\n",  # a lone lead byte before the line break
    b"3004=D\n",
    b"3005\x81\x7f=E\n",                 # an id with an invalid sequence ...
    b"3005=F\n",                         # ... is not this id
    b"3006=" + LONG.encode("gbk") + b"\n",
    "3007=末".encode("gbk") + b"\xfe",    # the file ends in a lone lead byte
])

IDS_PAGE = "\n".join(f'<li id="{i}">题{i}</li>'
                     for i in (3001, 3002, 3003, 3004, 3005, 3006, 3007, 3099)).encode("gbk")


def ids_rows(answers):
    ids = (3001, 3002, 3003, 3004, 3005, 3006, 3007, 3099)
    return [[str(n), f"题{i}", answers[i]] for n, i in enumerate(ids, 1)]


COMMON = {3001: "A?B", 3002: "\uf8f5迥€X", 3005: "F", 3007: "末?", 3099: "[无]"}
# Code page 1252: answers byte for byte, the cut one ends in its lone lead byte.
ROWS_1252 = ids_rows({**COMMON, 3003: "答?", 3004: "D", 3006: LONG[:5119] + "?"})
# Code page 936: 3003's lead byte joins the line of 3004, which is then missing.
ROWS_936 = ids_rows({**COMMON, 3003: "答?3004=D", 3004: "[无]", 3006: LONG[:5119]})

# Pages given to the page host as UTF-16 units, lone surrogates included.
ANSWERS_PAGE_UTF16 = ('<div stranswer="a"><p>表情😀结束</p></div>\n'
                      '<div stranswer="B"><p>孤\ud800立\udc00尾\uffff末</p></div>\n'
                      '<div stranswer="c"><p>€éā有形</p></div>')
ANSWERS_PAGE_ROWS = [["1", "表情??结束", "a"], ["2", "孤?立?尾?末", "B"],
                     ["3", "€éā有形", "c"]]
# Ids that such characters break (or that are digits outside ASCII) give no row.
IDS_PAGE_UTF16 = ('<li id="3005😀">破坏的编号</li>\n'
                  '<li id="３００５">全角编号</li>\n'
                  '<li id="30\uffff05">编号里的U+FFFF</li>\n'
                  '<li id="3005">孤\udfff立😀\uffff</li>\n'
                  '<li id="\ud8003005">前面的孤立代理</li>')
IDS_PAGE_UTF16_ROWS = [["1", "孤?立???", "F"]]


class HostileTextTest(unittest.TestCase):
    locale = "C"
    bank_rows = ROWS_1252

    @classmethod
    def setUpClass(cls):
        cls.folder = rig.out_dir(f"hostile_text_{cls.locale}")
        bank_ini = cls.folder / "bank.ini"
        bank_ini.write_bytes(BANK)
        cls.bank = BankServer(ini=bank_ini).start()
        cls.tool = rig.start("tiyan.exe", env_vars={"LC_ALL": cls.locale})
        cls.main = rig.wait_window(cls="TiyanMainWindow", visible=True, timeout=60)
        cls.picture = rig.child(cls.main, "TiyanPictureBox")
        cls.button = rig.child(cls.main, "Button", "获取答案")
        cls.list = rig.child(cls.main, "SysListView32")

    @classmethod
    def tearDownClass(cls):
        cls.tool.kill()
        cls.bank.stop()

    def tearDown(self):
        self.assertIsNone(self.tool.poll(), "the tool ended")

    def rows_for(self, name, page, *host_options):
        """Shows the page, drags the crosshair onto it, clicks "获取答案" and returns
        the rows listed once the window answers again."""
        path = self.folder / f"{name}.html"
        path.write_bytes(page)
        host, server = rig.show_page(path, name, *host_options)
        with host:
            rig.drag([rig.centre(self.picture["rect"]), rig.centre(server["rect"])])
            rig.wait_answering(self.main["hwnd"])
        rig.wait_gone(cls="TiyanPageHost")
        before = rig.current_rows(self.list["hwnd"])
        rig.click(*rig.centre(self.button["rect"]))
        return rig.wait_new_rows(self.main["hwnd"], self.list["hwnd"], before, 60)

    def test_bank_answers_with_invalid_sequences_and_lone_lead_bytes(self):
        self.assertEqual(self.rows_for("bank_ids", IDS_PAGE), self.bank_rows)
        rig.screenshot(f"hostile_text_bank_{self.locale}")

    def test_page_characters_without_a_code_page_936_form(self):
        utf16 = lambda text: text.encode("utf-16-le", "surrogatepass")  # noqa: E731
        self.assertEqual(self.rows_for("no_form_answers", utf16(ANSWERS_PAGE_UTF16), "--utf16"),
                         ANSWERS_PAGE_ROWS)
        self.assertEqual(self.rows_for("no_form_ids", utf16(IDS_PAGE_UTF16), "--utf16"),
                         IDS_PAGE_UTF16_ROWS)


class HostileTextChineseLocaleTest(HostileTextTest):
    locale = "zh_CN.UTF-8"
    bank_rows = ROWS_936


if __name__ == "__main__":
    unittest.main()
