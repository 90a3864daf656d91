"""Self-test of the rig: two page hosts side by side, read back with winprobe,
driven and seen through X (xdotool, screenshots, the X cursor)."""
import pathlib
import sys
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import tiyanrig as rig  # noqa: E402

PAGE_A = "<div class=\"q\">一、单选题 1. 中文题目 A</div>".encode("gbk")
PAGE_B = ("<p>" + "Page B line. " * 50 + "</p>").encode("gbk")


class RigSelfTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = rig.out_dir("rig_selftest")
        cls.page_a = cls.folder / "a.html"
        cls.page_a.write_bytes(PAGE_A)
        cls.page_b = cls.folder / "b.html"
        cls.page_b.write_bytes(PAGE_B)

    def start_host(self, page, title, rect, *extra):
        host = rig.start("pagehost.exe", "--html", rig.winpath(page), "--url",
                         "http://exam.example/" + title, "--title", title,
                         "--rect", ",".join(map(str, rect)), *extra)
        self.addCleanup(host.kill)
        return host

    def test_two_hosts_side_by_side_as_winprobe_reads_them(self):
        self.start_host(self.page_a, "页面甲", (40, 60, 400, 300))
        self.start_host(self.page_b, "页面乙", (460, 60, 400, 300))
        a = rig.wait_window(title="页面甲", cls="TiyanPageHost")
        b = rig.wait_window(title="页面乙", cls="TiyanPageHost")
        self.assertEqual(a["text"], "页面甲")
        self.assertEqual(a["rect"], [40, 60, 440, 360])
        self.assertEqual(b["rect"], [460, 60, 860, 360])
        self.assertNotEqual(a["pid"], b["pid"])
        for host in (a, b):
            self.assertTrue(host["visible"])
            self.assertTrue(host["enabled"])
            self.assertFalse(host["topmost"])
            server = rig.child(host, cls="Internet Explorer_Server")
            self.assertEqual(server["pid"], host["pid"])
            self.assertEqual(server["parent"], host["hwnd"])
            self.assertEqual(server["rectInParent"][:2], [0, 0])
            self.assertEqual(server["rect"][2:], host["client"][2:])
        # Every top-level window has its own place in the z-order.
        zs = [w["z"] for w in rig.find_windows(visible=True)]
        self.assertEqual(len(zs), len(set(zs)))

        # The page's text is painted: dark pixels on white in the first line.
        server = rig.child(a, cls="Internet Explorer_Server")
        left, top = server["rect"][:2]
        shot = rig.screenshot("rig_selftest_hosts")
        first_line = rig.pixels(shot, (left, top, left + 200, top + 30))
        flat = [p for row in first_line for p in row]
        self.assertIn((255, 255, 255), flat)
        self.assertTrue(any(max(p) < 128 for p in flat), "no text painted")

    def test_pointer_position_and_x_cursor(self):
        self.start_host(self.page_a, "光标", (100, 420, 300, 200))
        host = rig.wait_window(title="光标")
        x, y = rig.centre(rig.child(host, cls="Internet Explorer_Server")["rect"])
        rig.mousemove(x, y)
        info = rig.wait_until(lambda: (lambda c: c if c["pos"] == [x, y] else None)(
            rig.cursor_info()), message="winprobe to see the pointer")
        self.assertEqual(info["windowAtCursor"], rig.child(host, cls="Internet Explorer_Server")["hwnd"])
        image = rig.cursor_image()
        self.assertGreater(image["width"], 0)
        self.assertEqual(len(image["argb"]), image["height"])

    def test_close_and_exit(self):
        process = self.start_host(self.page_b, "关闭", (500, 420, 300, 200))
        host = rig.wait_window(title="关闭")
        self.assertTrue(rig.post_close(host["hwnd"])["ok"])
        rig.wait_gone(hwnd=host["hwnd"])
        self.assertEqual(process.wait(20), 0)

    def test_screen_record_sees_a_window_shown_and_closed(self):
        with rig.ScreenRecord() as screen:
            process = self.start_host(self.page_b, "记录", (520, 640, 300, 200))
            host = rig.wait_window(title="记录", visible=True)
            rig.post_close(host["hwnd"])
            self.assertEqual(process.wait(20), 0)
            place = (520, 640, 300, 200)
            shows = screen.wait_for(lambda shows: ("unmap", place) in shows)
        self.assertEqual([s for s in shows if s[1] == place], [("map", place), ("unmap", place)])

    def test_hung_host_is_probed_without_waiting_for_it(self):
        status = self.folder / "hung.status"
        status.unlink(missing_ok=True)
        self.start_host(self.page_a, "挂起", (900, 420, 300, 200), "--hang", "6", "--status",
                        rig.winpath(status))
        rig.wait_until(lambda: status.exists() and "hang-begin" in status.read_text(),
                       message="the host to hang")
        started = time.monotonic()
        host = rig.wait_window(title="挂起")
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(host["text"], "挂起")  # read without asking the window
        rig.wait_until(lambda: "hang-end" in status.read_text(), timeout=15,
                       message="the host to recover")
        self.assertEqual(status.read_text().split(), ["shown", "hang-begin", "hang-end"])

    def test_bad_arguments(self):
        for args in ([], ["--html"], ["--html", rig.winpath(self.page_a), "--rect", "1,2,3"],
                     ["--html", rig.winpath(self.folder / "missing.html")],
                     ["--html", rig.winpath(self.page_a), "--bogus", "1"],
                     ["@" + rig.winpath(self.folder / "missing.args")]):
            code, output = rig.run("pagehost.exe", *args, timeout=30)
            self.assertEqual(code, 2, (args, output))
        code, _ = rig.run("winprobe.exe", timeout=30)
        self.assertEqual(code, 2)
        self.assertEqual(rig.probe("post", "--hwnd", "12345678", "--message", "WM_CLOSE")["exit"], 1)


if __name__ == "__main__":
    unittest.main()
