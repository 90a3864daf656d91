"""The web request with the platform's HTTP object under Wine, against a loopback
server that records every request raw: what goes out on the wire (method,
default headers, the Cookie header and its merged value, extra header lines,
bodies), what comes back into the record (body byte for byte, response headers,
returned cookies, redirect target), the cookie exchange across requests, the
time-outs handed to the object, and requests that fail.

Each probe run is one process with its own browser cookie store.
"""
import pathlib
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "rig"))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

from loopback_http import LoopbackHttpServer, unused_port  # noqa: E402
from web_probe import ReadCookies, Request, WriteCookies, run_probe  # noqa: E402

USER_AGENT = "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)"


def default_block(url):
    return ("Referer: " + url + "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: "
            + USER_AGENT + "\r\nContent-Type: application/x-www-form-urlencoded").encode()


def default_headers(url):
    """The five default headers as they arrive: name and the raw value after ":"."""
    return [("Referer", " " + url), ("Accept", " */*"), ("Accept-Language", " zh-cn"),
            ("User-Agent", " " + USER_AGENT),
            ("Content-Type", " application/x-www-form-urlencoded")]


def sent_head(status_line, lines, body):
    return (status_line + "\r\n" + "".join(line + "\r\n" for line in lines)
            + f"Content-Length: {len(body)}\r\n\r\n").encode()


class WireTest(unittest.TestCase):
    def setUp(self):
        self.server = LoopbackHttpServer()
        self.addCleanup(self.server.close)

    def test_default_request(self):
        body = bytes(range(256)) + b"\0\0end\0"
        lines = ["X-Server: loopback", "Cache-Control: no-cache"]
        self.server.route("/question", headers=lines, body=body)
        url = self.server.url("/question")
        out = run_probe([Request(url=url, timeoutSeconds=-1)])
        result = out.results[0]

        [request] = self.server.requests
        self.assertEqual((request.method, request.target), ("GET", "/question"))
        self.assertEqual(request.headers[:5], default_headers(url))
        self.assertEqual(request.values("Cookie"), [])
        self.assertEqual(request.body, b"")

        self.assertEqual(result["result"], body)
        self.assertEqual(result["method"], b"GET")
        self.assertEqual(result["headers"], default_block(url))
        self.assertEqual(result["responseHeaders"], sent_head("HTTP/1.1 200 OK", lines, body))
        self.assertEqual(result["returnedCookies"], b"")
        self.assertEqual(result["cookies"], b"")
        self.assertEqual(result["redirectTarget"], b"")

    def test_methods_and_bodies(self):
        self.server.route("/form", body=b"ok")
        url = self.server.url("/form")
        out = run_probe([
            Request(url=url, method="post", body="q=1&w=\u4e2d"),
            Request(url=url, method="put", body="ignored", byteBody=b"\0\x01\xff\0z"),
            Request(url=url, method="Get"),
        ])
        text, raw, get = self.server.requests
        self.assertEqual(text.method, "POST")
        self.assertEqual(out.results[0]["method"], b"POST")
        self.assertEqual(out.results[0]["body"], "q=1&w=\u4e2d".encode("gbk"))
        # The object sends a text body that is not ASCII as UTF-8.
        self.assertEqual(text.body, "q=1&w=\u4e2d".encode("utf-8"))
        self.assertEqual(raw.method, "PUT")
        self.assertEqual(raw.body, b"\0\x01\xff\0z")
        self.assertEqual(raw.values("Content-Length"), [" 5"])
        self.assertEqual(out.results[1]["byteBody"], b"\0\x01\xff\0z")
        self.assertEqual(get.method, "GET")
        self.assertEqual(out.results[2]["method"], b"GET")
        for result in out.results:
            self.assertEqual(result["result"], b"ok")

    def test_extra_header_lines(self):
        self.server.route("/h", body=b"ok")
        headers = b"X-A: 1\r\n\r\nX-Url: http://h:81/p\r\nX-Empty:\r\nno colon"
        out = run_probe([Request(url=self.server.url("/h"), headers=headers, cookies="c=3")])
        [request] = self.server.requests
        ours = [(n, v) for n, v in request.headers if n.startswith("X-") or n == "Cookie"]
        self.assertEqual(ours, [("Cookie", " c=3;"), ("X-A", " 1"), ("X-Url", " http://h:81/p"),
                                ("X-Empty", " ")])
        # No default block: the object's own Accept and User-Agent go out instead.
        for name in ("Referer", "Accept-Language", "Content-Type"):
            self.assertNotIn(name, request.header_names())
        self.assertNotIn(" " + USER_AGENT, request.values("User-Agent"))
        self.assertNotIn("no colon", request.raw.decode("latin-1"))
        self.assertEqual(out.results[0]["headers"], headers)

    def test_cookie_exchange_across_requests(self):
        login_lines = ["Set-Cookie: sid=abc; path=/", "Set-Cookie: k=v",
                       "Set-Cookie: gone=deleted; path=/", "set-cookie: low=1; path=/"]
        self.server.route("/login", headers=login_lines, body=b"in")
        self.server.route("/page", body=b"page")
        login, page = self.server.url("/login"), self.server.url("/page")
        out = run_probe([
            Request(url=login, cookies="b=9"),
            ReadCookies("0.1"),
            Request(url=page),
            Request(url=page, cookies="sid=new; x="),
            ReadCookies("0.1", "sid"),
        ])
        first, second, third = out.results
        sent = self.server.requests

        self.assertEqual(sent[0].headers[0], ("Cookie", " b=9;"))
        self.assertEqual(sent[0].headers[1:6], default_headers(login))
        self.assertEqual(first["returnedCookies"], b"sid=abc; ; gone=deleted;")
        self.assertEqual(first["cookies"], b"b=9; sid=abc;")
        self.assertEqual(first["responseHeaders"], sent_head("HTTP/1.1 200 OK", login_lines,
                                                             b"in"))
        # The store keeps " sid" with its blank, as written.
        self.assertEqual(out.cookies[0], b"b=9;  sid=abc")

        self.assertEqual(sent[1].headers[0], ("Cookie", " b=9; sid=abc;"))
        self.assertEqual(second["cookies"], b"b=9; sid=abc;")
        self.assertEqual(second["returnedCookies"], b"")

        self.assertEqual(sent[2].headers[0], ("Cookie", " b=9; sid=new;"))
        self.assertEqual(third["cookies"], b"b=9; sid=new;")
        self.assertEqual(out.cookies[1], b"new")
        for result, body in zip(out.results, [b"in", b"page", b"page"]):
            self.assertEqual(result["result"], body)

    def test_stored_cookies_for_the_domain_are_sent(self):
        self.server.route("/p", body=b"p")
        out = run_probe([WriteCookies("http://0.1", "a=1;b=2"), Request(url=self.server.url("/p"),
                                                                        cookies="b=9")])
        [request] = self.server.requests
        self.assertEqual(request.headers[0], ("Cookie", " a=1; b=9;"))
        self.assertEqual(out.results[0]["cookies"], b"a=1; b=9;")

    def test_redirects(self):
        self.server.route("/from", status=302, reason="Found", headers=["Location: /to"])
        self.server.route("/to", body=b"arrived")
        url = self.server.url("/from")
        followed, stopped = run_probe([
            Request(url=url, redirectTarget="keep"),
            Request(url=url, redirectTarget="keep", noRedirect=True),
        ]).results
        self.assertEqual([r.target for r in self.server.requests], ["/from", "/to", "/from"])
        self.assertEqual(followed["result"], b"arrived")
        self.assertEqual(followed["redirectTarget"], b"keep")
        self.assertEqual(stopped["result"], b"")
        self.assertEqual(stopped["redirectTarget"], b"/to")
        self.assertEqual(stopped["responseHeaders"],
                         sent_head("HTTP/1.1 302 Found", ["Location: /to"], b""))

    def test_status_code_is_not_examined(self):
        self.server.route("/missing", status=404, reason="Not Found", body=b"error page\0")
        self.server.route("/broken", status=500, reason="Internal Server Error", body=b"oops")
        out = run_probe([Request(url=self.server.url("/missing")),
                         Request(url=self.server.url("/broken"))])
        self.assertEqual(out.results[0]["result"], b"error page\0")
        self.assertEqual(out.results[1]["result"], b"oops")

    def test_timeouts_handed_to_the_object(self):
        self.server.route("/t", body=b"t")
        url = self.server.url("/t")
        cases = [(0, 15000), (-5, 15000), (2, 2000), (-1, None)]
        out = run_probe([Request(url=url, timeoutSeconds=s, trace=True) for s, _ in cases])
        for (seconds, ms), result in zip(cases, out.results):
            calls = result["calls"]
            timeouts = [c for c in calls if c.startswith(b"SetTimeouts")]
            if ms is None:
                self.assertEqual(timeouts, [], seconds)
                self.assertTrue(calls[0].startswith(b"Open GET "), seconds)
            else:
                self.assertEqual(timeouts, [f"SetTimeouts {ms} {ms} {ms} {ms}".encode()], seconds)
                self.assertEqual(calls[0], timeouts[0], seconds)
            self.assertEqual(result["result"], b"t", seconds)

    def test_expired_timeout_gives_an_empty_result(self):
        # The body stalls for 4 s after its first bytes. Wine's object forgets
        # three of the four time-outs in Open, so the probe hands them over
        # after Open to let a 2 s receive time-out expire for real.
        self.server.route("/stall", body=b"0123456789", pause_at=4, pause=4)
        url = self.server.url("/stall")
        expired, waited = run_probe([
            Request(url=url, timeoutSeconds=2, trace=True, lateTimeouts=True,
                    responseHeaders="stale", returnedCookies="stale=1"),
            Request(url=url, timeoutSeconds=0, trace=True, lateTimeouts=True),
        ]).results
        self.assertEqual(expired["result"], b"")
        self.assertEqual(expired["responseHeaders"], b"")
        self.assertEqual(expired["returnedCookies"], b"")
        self.assertNotIn(b"ResponseBody", expired["calls"])
        self.assertLess(expired["elapsedMs"], 3900)
        self.assertEqual(waited["result"], b"0123456789")

    def test_server_closes_the_connection(self):
        self.server.route("/close", action="close")
        request = Request(url=self.server.url("/close"), redirectTarget="keep", cookies="c=3")
        try:
            out = run_probe([request])
        except AssertionError:
            # Wine's request object now and then dies inside Send when the peer
            # drops the connection on a loaded machine (exit 1, nothing logged);
            # that is the platform's fault, so one more run decides.
            self.server.clear()
            out = run_probe([request])
        result = out.results[0]
        self.assertEqual(len(self.server.requests), 1)
        self.assertEqual(result["result"], b"")
        self.assertEqual(result["responseHeaders"], b"")
        self.assertEqual(result["returnedCookies"], b"")
        self.assertEqual(result["redirectTarget"], b"keep")
        self.assertEqual(result["cookies"], b"c=3;")

    def test_unreachable_port(self):
        url = f"http://127.0.0.1:{unused_port()}/question"
        started = time.monotonic()
        out = run_probe([
            Request(url=url, method="post", body="b", cookies="c=3", redirectTarget="keep",
                    responseHeaders="stale", returnedCookies="stale=1", byteBody=b"\0"),
            ReadCookies("0.1"),
        ])
        result = out.results[0]
        self.assertLess(time.monotonic() - started, 10)  # far below the 15 s time-outs
        self.assertEqual(result["result"], b"")
        self.assertEqual(result["responseHeaders"], b"")
        self.assertEqual(result["returnedCookies"], b"")
        self.assertEqual(result["redirectTarget"], b"keep")
        self.assertEqual(result["url"], url.encode())
        self.assertEqual((result["body"], result["byteBody"]), (b"b", b"\0"))
        self.assertEqual(result["method"], b"POST")
        self.assertEqual(result["headers"], default_block(url))
        self.assertEqual(result["cookies"], b"c=3;")
        self.assertEqual(out.cookies, [b"c=3"])
        self.assertEqual(self.server.requests, [])

    def test_fifty_megabyte_body(self):
        body = bytes(range(256)) * (50 * 4096)
        self.server.route("/big", body=body)
        work = tempfile.TemporaryDirectory(prefix="web-wire-")
        self.addCleanup(work.cleanup)
        target = pathlib.Path(work.name, "big.bin")
        out = run_probe([Request(url=self.server.url("/big"), timeoutSeconds=-1,
                                 bodyFile=str(target))])
        self.assertEqual(out.results[0]["resultLength"], len(body))
        self.assertTrue(target.read_bytes() == body, "the body differs")


if __name__ == "__main__":
    unittest.main(verbosity=2)
