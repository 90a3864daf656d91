#!/usr/bin/env python3
"""One "获取答案" click under Wine on a 2 MB page of 2000 questions, the main
window's list shown on the fixture's display, in both of the click's modes (the
page carries the answers; the page carries ids and the answers come from a bank
file of 100 000 entries) and with both engines (the scripting component
"VBScript.RegExp", and the built-in engine the click falls back to when the
component is switched off). The reference of each is filling the same list with
the same rows by the list's own operations, the raw list-view work every click has
to do, measured once for each mode (the rows do not depend on the engine); the goal
is a click that takes at most 1.5 times that fill. Each click and each fill is a
process of its own (the first click of that process, as at a person's first click),
whose peak memory is its column. A visible list view under Wine takes 10 to 25 ms a
row, so each of these six processes takes 20 to 60 s.

With --verbose, the click's parts one by one in bank mode (matching with each
engine, the lookups through the profile reader and through the bank index, the
fill, fills the program does not do).

    bench_click.py --build DIR [-v]
"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from benchlib import BenchError, Row, field_lines, standalone  # noqa: E402

GOAL = 1.5
QUESTIONS, ENTRIES, MEGABYTES = 2000, 100000, 2.0
KINDS = {"answers": "page-answer mode", "bank": "bank mode, 100 000-entry bank"}
ENGINES = {"component": "VBScript.RegExp", "builtin": "built-in engine"}


def phases(text):
    """{(phase, engine/way/variant): fields} from the program's key=value lines."""
    found = {}
    for f in field_lines(text, "phase"):
        kind = f.get("engine") or f.get("way") or f.get("variant") or ""
        found[(f["phase"], kind)] = f
    return found


def click_program(bench, kind, side, engine="component", repeats=1):
    exe = bench.win64 / "bench_click.exe"
    extra = {"TIYAN_EXTRA_DLLOVERRIDES": "vbscript="} if engine == "builtin" else {}
    result = bench.wine(exe, kind, side, QUESTIONS, ENTRIES, MEGABYTES, repeats,
                        extra_env=extra, timeout=900)
    return phases(result.text), result


def fill_reference(bench, kind):
    filled, fill_run = click_program(bench, kind, "fill")
    if filled[("check", "")]["differing"] != "0":
        raise BenchError(f"the {kind} fill listed {filled[('check', '')]['differing']} rows wrongly")
    return filled[("fill", "visible")], fill_run


def one_row(bench, kind, engine, reference):
    fill, fill_run = reference
    clicked, click_run = click_program(bench, kind, "click", engine)
    click = clicked.get(("click", engine))
    if not click:
        listed = [k for k in clicked if k[0] == "click"]
        raise BenchError(f"the {kind} click did not run with the {engine} engine: {listed}")
    if click["differing"] != "0":
        raise BenchError(f"the {kind} click listed {click['differing']} rows wrongly")
    rows = int(fill["count"])
    ratio = float(click["ms"]) / float(fill["ms"])
    bench.say(f"{KINDS[kind]}, {ENGINES[engine]}: click {float(click['ms']):.1f} ms, fill of the "
              f"same {rows} rows {float(fill['ms']):.1f} ms ({float(fill['ms']) / rows:.2f} ms a "
              f"row; by quarter {fill['quarters_ms'].replace('/', ' / ')} ms): ratio "
              f"{ratio:.2f} ({'meets' if ratio <= GOAL else 'misses'} the goal of at most {GOAL})")
    return Row(f"获取答案: {KINDS[kind]}, {ENGINES[engine]}", float(click["ms"]), "ms",
               f"list-view fill of the same {rows} rows", float(fill["ms"]), click_run.peak,
               fill_run.peak)


def parts(bench):
    """The old one-process breakdown of a bank-mode click, as details."""
    p, _ = click_program(bench, "bank", "parts")
    ms = lambda key, name="ms": float(p[key][name])  # noqa: E731
    rows = int(p[("fill", "visible")]["count"])
    per = lambda value: value / rows  # noqa: E731
    setup, env = p[("setup", "")], p[("environment", "")]
    bench.say(f"parts of a bank-mode click: page {int(setup['page_bytes']) / 1048576:.2f} MB, "
              f"{setup['questions']} questions, bank of {setup['bank_entries']} entries, ANSI code "
              f"page {env['acp']}, component {'present' if env['component'] == '1' else 'absent'}")
    for engine, label in (("component", "component"), ("builtin", "built-in ")):
        m = p[("matching", engine)]
        bench.say(f"matching {label}  {float(m['ms']):9.1f} ms   answer pattern "
                  f"{float(m['answer_pattern_ms']):.1f} + id pattern {float(m['id_pattern_ms']):.1f}"
                  f" + reading {m['count']} rows {float(m['read_ms']):.1f} ms")
    lookup = ms(("lookups", "profile_reader"))
    bench.say(f"lookups  profile reader {lookup:9.1f} ms   {per(lookup):.2f} ms a lookup (first "
              f"lookup, reading the file: {ms(('cold_lookup', '')):.1f} ms, not counted)")
    index = p[("lookups", "index")]
    bench.say(f"lookups  bank index     {float(index['ms']):9.1f} ms   build "
              f"{float(index['build_ms']):.1f} ms + lookups {float(index['lookups_ms']):.1f} ms "
              f"(not what the program does)")
    fill = ms(("fill", "visible"))
    bench.say(f"fill     visible list   {fill:9.1f} ms   {per(fill):.2f} ms a row")
    click_key = next(k for k in p if k[0] == "click")
    click = ms(click_key)
    bench.say(f"click    ({click_key[1]:9})   {click:9.1f} ms; a full list then takes "
              f"{ms(('delete_full', '')):.1f} ms to empty")
    bench.say(f"parts    matching + lookups + fill = "
              f"{ms(('matching', click_key[1])) + lookup + fill:.1f} ms")
    frozen, hidden = p.get(("fill", "redraw_off")), p.get(("fill", "hidden"))
    if frozen and hidden:
        bench.say(f"compare  (not what the program does) the same fill with the list's redraw "
                  f"off: {float(frozen['ms']):.1f} ms, with the list hidden: "
                  f"{float(hidden['ms']):.1f} ms")
    scroll = p.get(("scroll_bar", ""))
    if scroll:
        bench.say(f"compare  SetScrollInfo with redraw, as each insert does: "
                  f"{float(scroll['ms']) / int(scroll['count']):.2f} ms a call")


def measure(bench):
    rows = []
    for kind in KINDS:
        reference = fill_reference(bench, kind)  # the same rows whichever engine finds them
        rows += [one_row(bench, kind, engine, reference) for engine in ENGINES]
    if bench.verbose:
        parts(bench)
    return rows


if __name__ == "__main__":
    sys.exit(standalone(measure))
