#!/usr/bin/env python3
"""The built-in demo: a local bank server with the demo bank, two page hosts with
demo exam pages (one carrying its answers, one carrying only question ids) and
题眼 itself, all under Wine.

With a display (DISPLAY set) the windows appear there and the demo waits until
you close 题眼. Without one it starts Xvfb, drags the crosshair onto each page
and clicks "获取答案" itself with xdotool, prints the rows the tool lists and
saves screenshots under BUILD/screenshots/.
"""
import argparse
import os
import pathlib
import re
import subprocess
import sys
import time

SOURCE = pathlib.Path(__file__).resolve().parents[2]
RIG = SOURCE / "tests" / "rig"


def bank_host(build):
    cache = (build / "CMakeCache.txt").read_text()
    match = re.search(r"^BANK_HOST:STRING=(.*)$", cache, re.M)
    return match.group(1) if match else "127.0.0.1:8790"


def body_of(page):
    """The inner HTML of a page's body, in code page 936, as the page host serves it."""
    text = page.read_text(encoding="utf-8")
    match = re.search(r"<body>\s*(.*?)\s*</body>", text, re.S)
    return (match.group(1) if match else text).encode("gbk")


def load_fixture_env(wine_dir):
    for line in (wine_dir / "env").read_text().splitlines():
        name, _, value = line.partition("=")
        os.environ[name] = value


def print_rows(title, rows):
    print(f"\n{title}")
    print(f"  {'序号':<4} {'答案':<6} 题目")
    for number, question, answer in rows:
        print(f"  {number:<6} {answer:<8} {question}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    demo = build / "demo"
    demo.mkdir(parents=True, exist_ok=True)
    wine_dir = build / "demo-wine"
    headless = not os.environ.get("DISPLAY")

    port = bank_host(build).partition(":")[2] or "80"
    pages = {}
    for name in ("answers", "bank"):
        pages[name] = demo / f"exam_page_{name}.html"
        pages[name].write_bytes(body_of(SOURCE / f"tools/demo/exam_page_{name}.html"))

    fixture_env = dict(os.environ)
    if not headless:
        fixture_env["WINE_ENV_DISPLAY"] = os.environ["DISPLAY"]
    subprocess.run([str(RIG / "wine-env"), "start", str(wine_dir)], check=True, env=fixture_env)
    load_fixture_env(wine_dir)
    os.environ["TIYAN_BIN"] = str(build / "win64" / "bin")
    sys.path.insert(0, str(RIG))
    import tiyanrig as rig

    server = subprocess.Popen([sys.executable, str(SOURCE / "tools/bankserver/bank_server.py"),
                               "--port", port, "--ini", str(SOURCE / "tools/demo/demo_bank.ini")],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    processes = []
    try:
        time.sleep(0.5)
        processes.append(rig.start("pagehost.exe", "--html", rig.winpath(pages["answers"]),
                                   "--url", "http://exam.example.edu/unit3/quiz",
                                   "--title", "第三单元测验", "--rect", "10,10,620,290"))
        processes.append(rig.start("pagehost.exe", "--html", rig.winpath(pages["bank"]),
                                   "--url", "http://exam.example.edu/final/paper",
                                   "--title", "思想政治期末考试", "--rect", "650,10,620,290"))
        tool = rig.start("tiyan.exe")
        processes.append(tool)
        main_window = rig.wait_window(cls="TiyanMainWindow", visible=True, timeout=60)
        if not headless:
            print("题眼 is running: drag the crosshair onto a page, then click 获取答案.")
            print("Close 题眼 to end the demo.")
            tool.wait()
            return 0
        picture = rig.child(main_window, "TiyanPictureBox")
        button = rig.child(main_window, "Button", "获取答案")
        hosts = [rig.wait_window(cls="TiyanPageHost", title=t)
                 for t in ("第三单元测验", "思想政治期末考试")]
        for host_window, name in zip(hosts, ("page_answers", "page_bank")):
            page = rig.child(host_window, "Internet Explorer_Server")
            rig.drag([rig.centre(picture["rect"]), rig.centre(page["rect"])])
            rig.click(*rig.centre(button["rect"]))
            time.sleep(0.5)
            listview = rig.child(rig.window(main_window["hwnd"]), "SysListView32")
            print_rows(f"{host_window['text']}:", listview["listview"]["items"])
            print(f"  screenshot: {rig.screenshot('demo_' + name)}")
        rig.key("Escape")
        print(f"\n题眼 closed with exit code {tool.wait(20)}")
        return 0
    finally:
        for process in processes:
            process.kill()
        server.terminate()
        server.wait(10)
        subprocess.run([str(RIG / "wine-env"), "stop", str(wine_dir)], check=False)


if __name__ == "__main__":
    sys.exit(main())
