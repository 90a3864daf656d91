#!/usr/bin/env python3
"""One "获取答案" click in bank mode under Wine: a 2 MB page of 2000 questions
against a bank of 100 000 entries, the main window's list shown on the fixture's
display. Reports the click and its parts (matching with the scripting component
and with the built-in engine, the lookups through the profile reader and through
the bank index, filling the list with the same rows), and the ratio of the whole
click to filling the list alone (goal: at most 1.5).

    bench_click.py --build DIR [--questions N] [--entries N] [--megabytes N]
                   [--repeat N] [--without-component]

--repeat N alternates the fill and the click N times and keeps the best of each.

--without-component runs the program once more with the scripting component
switched off, so that the click itself falls back to the built-in engine.
"""
import argparse
import os
import pathlib
import re
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import ROOT, RIG, run  # noqa: E402
GOAL = 1.5




def phases(text):
    """{(phase, engine/way/variant): fields} from the program's key=value lines."""
    found = {}
    for line in text.splitlines():
        fields = dict(re.findall(r"(\w+)=(\S+)", line))
        if "phase" in fields:
            kind = fields.get("engine") or fields.get("way") or fields.get("variant") or ""
            found[(fields["phase"], kind)] = fields
    return found


def report(text, title):
    p = phases(text)
    ms = lambda key, name="ms": float(p[key][name])  # noqa: E731
    setup = p[("setup", "")]
    env = p[("environment", "")]
    rows = int(p[("fill", "visible")]["count"])
    per = lambda value: value / rows if rows else float("nan")  # noqa: E731
    print(f"   {title}: page {int(setup['page_bytes']) / 1048576:.2f} MB with "
          f"{setup['questions']} questions, bank of {setup['bank_entries']} entries, "
          f"ANSI code page {env['acp']}, component {'present' if env['component'] == '1' else 'absent'}",
          flush=True)
    for engine, label in (("component", "component"), ("builtin", "built-in ")):
        m = p[("matching", engine)]
        print(f"   matching {label}  {float(m['ms']):9.1f} ms   answer pattern "
              f"{float(m['answer_pattern_ms']):.1f} + id pattern {float(m['id_pattern_ms']):.1f} + "
              f"reading {m['count']} rows {float(m['read_ms']):.1f} ms "
              f"({1000 * per(float(m['read_ms'])):.0f} us a row)")
    lookup = ms(("lookups", "profile_reader"))
    print(f"   lookups  profile reader {lookup:9.1f} ms   {per(lookup):.2f} ms a lookup "
          f"(first lookup, reading the file: {ms(('cold_lookup', '')):.1f} ms, not counted)")
    index = p[("lookups", "index")]
    print(f"   lookups  bank index     {float(index['ms']):9.1f} ms   build "
          f"{float(index['build_ms']):.1f} ms + lookups {float(index['lookups_ms']):.1f} ms "
          f"({1000 * per(float(index['lookups_ms'])):.1f} us a lookup)  (not used by the program)")
    f = p[("fill", "visible")]
    fill = float(f["ms"])
    print(f"   fill     visible list   {fill:9.1f} ms   {per(fill):.2f} ms a row: append "
          f"{per(float(f['append_ms'])):.2f} + two cells {per(float(f['cells_ms'])):.2f} ms")
    print(f"            rows by quarter of the list: {f['quarters_ms'].replace('/', ' / ')} ms")
    click_key = next(k for k in p if k[0] == "click")
    click = ms(click_key)
    best = f" (best of {p[click_key]['runs']})" if p[click_key]["runs"] != "1" else ""
    print(f"   click    ({click_key[1]:9})   {click:9.1f} ms   {per(click):.2f} ms a row{best}; "
          f"a full list then takes {ms(('delete_full', '')):.1f} ms to empty")
    parts = ms(("matching", click_key[1])) + lookup + fill
    print(f"   parts    matching + lookups + fill = {parts:.1f} ms "
          f"(the click took {click - parts:+.1f} ms more)")
    ratio = click / fill if fill else float("inf")
    verdict = "meets" if ratio <= GOAL else "misses"
    print(f"   ratio    whole click / filling the same rows = {ratio:.2f}  "
          f"({verdict} the goal of at most {GOAL})", flush=True)
    frozen, hidden = p.get(("fill", "redraw_off")), p.get(("fill", "hidden"))
    if frozen and hidden:
        print(f"   compare  (not what the program does) the same fill with the list's redraw off: "
              f"{float(frozen['ms']):.1f} ms, with the list hidden: {float(hidden['ms']):.1f} ms "
              f"(each until the list is painted again)")
    scroll = p.get(("scroll_bar", ""))
    if scroll:
        count = int(scroll["count"])
        print(f"   compare  setting the visible list's scroll bar range (SetScrollInfo with redraw, "
              f"as each insert does): {float(scroll['ms']) / count:.2f} ms a call")
    mismatches = [line for line in text.splitlines() if line.startswith("mismatch=")]
    for line in mismatches:
        print(f"   {line}")
    return not mismatches


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--questions", type=int, default=2000)
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--megabytes", type=float, default=2.0)
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--without-component", action="store_true")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    exe = build / "win64/bin/bench_click.exe"
    if not exe.exists():
        print(f"   {exe} is not built")
        return 1
    wine_dir = build / "wine"
    started = not (wine_dir / "env").exists()
    if started:
        run([RIG, "start", wine_dir])  # Xvfb: the list must be on a display
    ok = True
    try:
        command = [RIG, "run", wine_dir, exe, str(args.questions), str(args.entries),
                   str(args.megabytes), str(args.repeat)]
        env = dict(os.environ, LC_ALL="zh_CN.UTF-8")  # the bank's and the page's code page
        ok = report(run(command, env), "as the program runs")
        if args.without_component:
            env["TIYAN_EXTRA_DLLOVERRIDES"] = "vbscript="
            ok = report(run(command, env), "component switched off") and ok
    finally:
        if started:
            run([RIG, "stop", wine_dir])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
