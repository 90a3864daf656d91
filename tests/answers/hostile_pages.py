"""Hostile exam pages for the rig tests of "获取答案" (tests/answers/hostile_pages_test.py)
and for tests/answers/click_block_growth.py: each generator returns the page's bytes in
code page 936 and the rows the tool must list for it. Pages are made at run time, the
same bytes on every run; nothing big is kept in the repository.
"""

# One line of a page's noise: options, paragraphs, entities and spans, but no
# "stranswer", no "<li" and no digits in quotes, so that neither pattern can
# take it for a question.
FILLER_LINE = ('<div class="opt"><span>A. 选项甲乙丙丁</span><p class="x">段落 &amp; 干扰文字，'
               '与题目无关。</p><span>B. 另一个选项</span></div>')

# The bank that the id pages of this module are listed against (code page 936).
BANK = """[考试题目]
4001=A
4002=正确
4004=ABD
"""


def _fill(megabytes, separator):
    """Filler lines joined by separator, about megabytes in code page 936."""
    line = FILLER_LINE.encode("gbk")
    count = int(megabytes * 1024 * 1024) // (len(line) + len(separator))
    return separator.join([line] * count)


def big_id_page(megabytes=20):
    """Bank mode on a page of many lines: questions at its start, in its middle and
    at its very end (no line break after the last)."""
    questions = [
        ('<ul class="paper"><li class="q" id="4001">第一题：开头的题目？</li></ul>',
         ["1", "第一题：开头的题目？", "A"]),
        ('<ul><li class="q" id="4002">第二题：<b>中间</b>的题目？</li></ul>',
         ["2", "第二题：<b>中间</b>的题目？", "正确"]),
        ('<ul><li id="4003">最后一题：结尾的题目？</li>',
         ["3", "最后一题：结尾的题目？", "[无]"]),
    ]
    half = _fill(megabytes / 2, b"\r\n")
    parts = [questions[0][0].encode("gbk"), half, questions[1][0].encode("gbk"), half,
             questions[2][0].encode("gbk")]
    return b"\r\n".join(parts), [row for _, row in questions]


def one_line_answer_page(megabytes=10):
    """Page-answer mode on a page without a single line break."""
    questions = [
        ('<div class="q" stranswer="D"><p class="t">一、开头的题？</p></div>',
         ["1", "一、开头的题？", "D"]),
        ('<div class="q" stranswer="b"><p>二、<i>中间</i>的题？</p></div>',
         ["2", "二、<i>中间</i>的题？", "b"]),
        ('<div class="q" stranswer="A"><p>三、结尾的题？</p>', ["3", "三、结尾的题？", "A"]),
    ]
    half = _fill(megabytes / 2, b"")
    page = b"".join([questions[0][0].encode("gbk"), half, questions[1][0].encode("gbk"), half,
                     questions[2][0].encode("gbk")])
    assert b"\n" not in page and b"\r" not in page
    return page, [row for _, row in questions]


def stranswer_flood(attributes, tail_id=None):
    """`attributes` stranswer attributes on one line and no paragraph anywhere: the
    answer pattern's lazy gap runs to the end of the page from every one of them, and
    nothing matches. With tail_id, one list item of that id ends the line; bank mode
    then lists it alone."""
    page = '<i stranswer="a">题</i>'.encode("gbk") * attributes
    if tail_id is None:
        return page, []
    page += f'<li id="{tail_id}">尾题{attributes}</li>'.encode("gbk")
    return page, [["1", f"尾题{attributes}", "A" if tail_id == 4001 else "[无]"]]
