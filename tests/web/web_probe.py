"""Runs web_request_probe.exe under Wine with a script of requests and reads back
what each request left in its record.

    steps = [Request(url=server.url("/q"), cookies="b=9"), ReadCookies("0.1")]
    out = run_probe(steps)
    out.results[0]["returnedCookies"], out.results[0]["result"], out.cookies[0]

Text fields are bytes (code page 936 on the Windows side). The Wine fixture's
variables (TIYAN_WINE, WINEPREFIX, ...) come from the environment, as
tests/rig/wine-env run-linux sets them, or from wine_environment(DIR).
"""
import dataclasses
import os
import pathlib
import subprocess
import tempfile

TEXT_FIELDS = ("url", "method", "body", "cookies", "returnedCookies", "headers",
               "redirectTarget", "responseHeaders", "byteBody")


def _bytes(value):
    return value.encode("gbk") if isinstance(value, str) else bytes(value)


@dataclasses.dataclass
class Request:
    url: object
    method: object = None
    body: object = None
    cookies: object = None
    returnedCookies: object = None
    headers: object = None
    redirectTarget: object = None
    responseHeaders: object = None
    byteBody: object = None
    noRedirect: bool = False
    timeoutSeconds: int = None
    trace: bool = False
    lateTimeouts: bool = False
    bodyFile: str = None  # a Linux path: the body goes there instead of into the output

    def script(self):
        lines = []
        for name in TEXT_FIELDS:
            value = getattr(self, name)
            if value is not None:
                lines.append(f"{name} {_bytes(value).hex()}")
        if self.noRedirect:
            lines.append("noRedirect 1")
        if self.timeoutSeconds is not None:
            lines.append(f"timeoutSeconds {self.timeoutSeconds}")
        if self.trace:
            lines.append("trace 1")
        if self.lateTimeouts:
            lines.append("lateTimeouts 1")
        if self.bodyFile:
            lines.append(f"bodyFile {windows_path(self.bodyFile).encode().hex()}")
        lines.append("go")
        return lines


@dataclasses.dataclass
class ReadCookies:
    host: object
    name: object = b""

    def script(self):
        return [f"readCookies {_bytes(self.host).hex()} {_bytes(self.name).hex()}"]


@dataclasses.dataclass
class WriteCookies:
    host: object
    cookie_list: object

    def script(self):
        return [f"writeCookies {_bytes(self.host).hex()} {_bytes(self.cookie_list).hex()}"]


@dataclasses.dataclass
class ProbeOutput:
    results: list  # one dict per Request: the record's fields, "result", "calls", ...
    cookies: list  # one bytes per ReadCookies
    peak_working_set: int


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def wine_environment(wine_dir):
    env = dict(os.environ)
    for line in pathlib.Path(wine_dir, "env").read_text().splitlines():
        name, _, value = line.partition("=")
        if name:
            env[name] = value
    return env


def probe_exe():
    return pathlib.Path(os.environ["TIYAN_BIN"]) / "web_request_probe.exe"


def run_probe(steps, exe=None, env=None, timeout=120):
    env = env or os.environ
    exe = exe or probe_exe()
    with tempfile.TemporaryDirectory(prefix="web-probe-") as work:
        script = pathlib.Path(work, "script.txt")
        output = pathlib.Path(work, "output.txt")
        log = pathlib.Path(work, "log.txt")
        script.write_text("".join(line + "\n" for step in steps for line in step.script()))
        with open(log, "wb") as log_file:
            process = subprocess.Popen(
                [env["TIYAN_WINE"], str(exe), windows_path(script), windows_path(output)],
                stdout=log_file, stderr=subprocess.STDOUT, env=env)
            try:
                rc = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise AssertionError(f"probe did not finish in {timeout} s: "
                                     + log.read_text(errors="replace"))
        if rc != 0:
            raise AssertionError(f"probe exited with {rc}: " + log.read_text(errors="replace"))
        return _parse(output.read_text())


def _parse(text):
    results, cookies, peak = [], [], 0
    calls, current = [], None
    for line in text.splitlines():
        key, _, value = line.partition(" ")
        if key == "call":
            calls.append(bytes.fromhex(value))
        elif key == "request":
            current = {"calls": calls}
            calls = []
        elif key == "end":
            results.append(current)
            current = None
        elif key == "cookies" and current is None:
            cookies.append(bytes.fromhex(value))
        elif key == "peakWorkingSet":
            peak = int(value)
        elif key in ("resultLength", "elapsedMs"):
            current[key] = int(value)
        else:
            current[key] = bytes.fromhex(value)
    return ProbeOutput(results, cookies, peak)
