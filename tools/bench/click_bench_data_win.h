// The exam of the "获取答案" benchmark: a page of about 2 MB with 2000
// questions in either of the two kinds the click knows, the bank file of the
// bank kind, and the rows the click must list for them, known by construction
// (not by running the click's own matching), so that filling the list with
// them is an honest reference for the click and a check of what it listed.
// Used by tools/bench/click_bench_win.cpp.
#pragma once

#include <cstddef>
#include <vector>

#include "app/text.h"

// answers: every question carries its answer letter in a stranswer attribute
// (the click's first pattern lists them). bank: every question is a list item
// with an id and no stranswer (the first pattern scans the whole page in vain,
// then the id pattern runs and each answer comes from the bank file).
enum class ExamKind { answers, bank };

struct ExamRow {
    Text number, question, answer;
};

// The bank's ids are 1..entries, and one question in ten asks for an id the
// bank lacks; the bank's answers are drawn from a fixed list.
std::vector<unsigned> examQuestionIds(int questions, int entries);

// The page, padded so that its code page 936 bytes come to about `bytes`.
Text makeExamPage(ExamKind kind, const std::vector<unsigned>& ids, std::size_t bytes);

// A bank file of `entries` answers in section "考试题目", code page 936, CRLF lines.
Text makeExamBank(int entries);

// The rows of the click over makeExamPage(kind, ids, ...) with makeExamBank(entries).
std::vector<ExamRow> expectedRows(ExamKind kind, const std::vector<unsigned>& ids, int entries);
