"""A scriptable HTTP/1.1 server on 127.0.0.1 for the tests of Windows programs.

It records every request it receives, raw, and answers each path as the test
asks: status, header lines given verbatim (Set-Cookie, Location, ...), a body of
any bytes, a delay, or no answer at all (the connection is closed, or held open
until the server stops).

    with LoopbackHttpServer() as server:
        server.route("/q", headers=["Set-Cookie: sid=abc; path=/"], body=b"a\\0b")
        ... run the program against server.url("/q") ...
        request = server.requests[0]
        request.method, request.target, request.headers, request.body, request.raw

Standard library only.
"""
import dataclasses
import socket
import socketserver
import threading
import time


@dataclasses.dataclass
class Route:
    status: int = 200
    reason: str = "OK"
    headers: list = dataclasses.field(default_factory=list)  # lines without "\r\n"
    body: bytes = b""
    delay: float = 0.0  # seconds before the answer starts
    pause_at: int = -1  # body bytes sent before a pause of `pause` seconds (or a cut)
    pause: float = 0.0
    # "reply"; "close": no answer; "hang": no answer until the server stops;
    # "cut": the head and the first `pause_at` body bytes, then the connection closes
    action: str = "reply"


@dataclasses.dataclass
class Request:
    raw: bytes  # the request line, header block and body exactly as received
    method: str
    target: str
    version: str
    headers: list  # (name, value) in order; value is everything after the first ":"
    body: bytes

    def header_names(self):
        return [name for name, _ in self.headers]

    def values(self, name):
        """The raw values of every header called `name` (any case)."""
        return [value for n, value in self.headers if n.lower() == name.lower()]


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        server = self.server.owner
        conn = self.request
        conn.settimeout(60)
        pending = b""
        while not server.stopping.is_set():
            head_end = pending.find(b"\r\n\r\n")
            while head_end < 0:
                try:
                    chunk = conn.recv(65536)
                except OSError:
                    return
                if not chunk:
                    return
                pending += chunk
                head_end = pending.find(b"\r\n\r\n")
            head = pending[:head_end]
            lines = head.split(b"\r\n")
            request_line = lines[0].decode("latin-1").split(" ")
            headers = []
            for line in lines[1:]:
                name, _, value = line.decode("latin-1").partition(":")
                headers.append((name, value))
            length = 0
            for name, value in headers:
                if name.lower() == "content-length":
                    length = int(value.strip() or 0)
            total = head_end + 4 + length
            while len(pending) < total:
                try:
                    chunk = conn.recv(65536)
                except OSError:
                    return
                if not chunk:
                    break
                pending += chunk
            raw, pending = pending[:total], pending[total:]
            method, target, version = (request_line + ["", "", ""])[:3]
            request = Request(raw, method, target, version, headers, raw[head_end + 4:])
            server._record(request)
            route = server.route_for(target)
            if route.delay:
                server.stopping.wait(route.delay)
            if route.action == "close":
                return
            if route.action == "hang":
                server.stopping.wait()
                return
            answer = [f"HTTP/1.1 {route.status} {route.reason}"]
            answer += route.headers
            if not any(h.lower().startswith("content-length:") for h in route.headers):
                answer.append(f"Content-Length: {len(route.body)}")
            head_bytes = ("\r\n".join(answer) + "\r\n\r\n").encode("latin-1")
            try:
                conn.sendall(head_bytes)
                body = route.body
                if route.pause_at >= 0:
                    conn.sendall(body[:route.pause_at])
                    if route.action == "cut":
                        return
                    if server.stopping.wait(route.pause):
                        return
                    body = body[route.pause_at:]
                if body:
                    conn.sendall(body)
            except OSError:
                return


class _TcpServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    block_on_close = False


class LoopbackHttpServer:
    def __init__(self):
        self.stopping = threading.Event()
        self._lock = threading.Lock()
        self._routes = {}
        self._requests = []
        self._tcp = _TcpServer(("127.0.0.1", 0), _Handler)
        self._tcp.owner = self
        self.port = self._tcp.server_address[1]
        self._thread = threading.Thread(target=self._tcp.serve_forever, daemon=True)
        self._thread.start()

    def url(self, path="/", host="127.0.0.1"):
        return f"http://{host}:{self.port}{path}"

    def route(self, path, **answer):
        """How to answer requests for `path` (the target without its query)."""
        with self._lock:
            self._routes[path] = Route(**answer)

    def route_for(self, target):
        with self._lock:
            return self._routes.get(target.split("?")[0], Route(404, "Not Found"))

    def _record(self, request):
        with self._lock:
            self._requests.append(request)

    @property
    def requests(self):
        with self._lock:
            return list(self._requests)

    def clear(self):
        with self._lock:
            self._requests.clear()

    def close(self):
        self.stopping.set()
        self._tcp.shutdown()
        self._tcp.server_close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def unused_port():
    """A port on 127.0.0.1 that nothing listens on (at the time of asking)."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until(condition, timeout=5.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return condition()
