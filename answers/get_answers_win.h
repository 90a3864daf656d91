// "获取答案": lists the questions of the captured page with their answers.
//
// Tested by tests/answers/get_answers_test.py.
#pragma once

// The answer letter carried by the page, and the question's paragraph.
inline constexpr char pageAnswerPattern[] = R"re(stranswer="([a-z])"[\s\S]+?<p.*?>(.*?)</p>)re";
// The id of a list item, and the item's text.
inline constexpr char questionIdPattern[] = R"re(<li.*?id="(\d+)".*?>(.*?)</li>)re";

// Empties the question list and fills it from capturedPageHtml: with the
// answers the page carries when it carries any, otherwise with the bank's
// answers for the page's question ids.
static_assert(sizeof pageAnswerPattern - 1 == 42 && sizeof questionIdPattern - 1 == 30);

void getAnswers();
