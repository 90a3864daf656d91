// The generated exam of the "获取答案" benchmark; see click_bench_data_win.h.
// Run by tools/bench/bench_click.py.
#include "tools/bench/click_bench_data_win.h"

#include <string>

#include "app/codepage_win.h"

namespace {

const wchar_t* const kWords[] = {L"下列", L"关于", L"计算机", L"网络", L"说法",
                                 L"正确", L"的是", L"（",     L"）",   L"。"};
const wchar_t* const kBankAnswers[] = {
    L"A", L"B", L"C", L"D", L"AB", L"ABCD", L"正确", L"错误", L"人民代表大会制度"};
constexpr unsigned kBankAnswerCount = sizeof kBankAnswers / sizeof kBankAnswers[0];

// Bytes a text takes in code page 936: one for ASCII, two for the Chinese used here.
std::size_t bytesIn936(std::wstring_view text) {
    std::size_t bytes = 0;
    for (wchar_t c : text) bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

std::wstring questionText(std::size_t n) {
    std::wstring text;
    for (std::size_t k = 0; k < 12; ++k) text += kWords[(n * 7 + k * 3) % 10];
    return text;
}

// The page's answer letter of question n, lower case mostly and now and then upper
// case, which the click lists as it stands.
wchar_t pageLetter(std::size_t n) { return n % 5 == 0 ? L'D' : static_cast<wchar_t>(L'a' + n % 4); }

// What the click takes as question n's text: the list item's inner mark-up in bank
// pages, the paragraph's text in answer pages.
std::wstring listedQuestion(ExamKind kind, std::size_t n) {
    if (kind == ExamKind::bank) {
        return L"<span class=\"num\">" + std::to_wstring(n) + L".</span><span class=\"t\">" +
               questionText(n) + L"</span>";
    }
    return std::to_wstring(n) + L". " + questionText(n);
}

// The bank's answer choice of every id 1..entries, in the order makeExamBank draws them.
std::vector<unsigned char> bankChoices(int entries) {
    std::vector<unsigned char> choices(static_cast<std::size_t>(entries) + 1);
    unsigned state = 7;
    for (int id = 1; id <= entries; ++id) {
        state = state * 1103515245u + 12345u;
        choices[static_cast<std::size_t>(id)] =
            static_cast<unsigned char>((state >> 8) % kBankAnswerCount);
    }
    return choices;
}

}  // namespace

std::vector<unsigned> examQuestionIds(int questions, int entries) {
    std::vector<unsigned> ids;
    unsigned state = 12345;
    for (int i = 0; i < questions; ++i) {
        state = state * 1103515245u + 12345u;
        unsigned n = (state >> 8) % static_cast<unsigned>(entries) + 1;
        ids.push_back(i % 10 == 9 ? n + static_cast<unsigned>(entries) : n);
    }
    return ids;
}

// Each question: its head (a list item with an id, or one with a stranswer attribute
// and a paragraph), four option lines and a hidden explanation that pads every
// question to the same share of `bytes`. The padding holds no mark-up the patterns
// could take.
Text makeExamPage(ExamKind kind, const std::vector<unsigned>& ids, std::size_t bytes) {
    std::wstring page = L"<html><body><div class=\"paper\">\r\n<ul class=\"questions\">\r\n";
    const std::size_t share = bytes / (ids.empty() ? 1 : ids.size());
    for (std::size_t n = 1; n <= ids.size(); ++n) {
        const std::wstring text = questionText(n);
        std::wstring question;
        if (kind == ExamKind::bank) {
            question = L"<li class=\"question\" id=\"" + std::to_wstring(ids[n - 1]) + L"\">" +
                       listedQuestion(kind, n) + L"</li>\r\n";
        } else {
            question = std::wstring(L"<li class=\"question\" stranswer=\"") + pageLetter(n) +
                       L"\">\r\n  <div class=\"title\">\r\n    <p style=\"margin:0\">" +
                       listedQuestion(kind, n) + L"</p>\r\n  </div>\r\n";
        }
        for (wchar_t option : std::wstring(L"ABCD")) {
            question += L"  <div class=\"opt\"><label><input type=\"radio\" name=\"q" +
                        std::to_wstring(n) + L"\" value=\"" + option + L"\"> " + text.substr(0, 8) +
                        L"</label></div>\r\n";
        }
        std::wstring pad = L"  <div class=\"explain\" style=\"display:none\">";
        const std::wstring tail = kind == ExamKind::bank ? L"</div>\r\n" : L"</div>\r\n</li>\r\n";
        std::size_t used = bytesIn936(question) + bytesIn936(pad) + bytesIn936(tail);
        for (std::size_t k = 0; used + 2 <= share; ++k, used += 2) pad += kWords[k % 10][0];
        page += question + pad + tail;
    }
    page += L"</ul>\r\n</div></body></html>\r\n";
    return textFromWide(page);
}

Text makeExamBank(int entries) {
    const std::vector<unsigned char> choices = bankChoices(entries);
    std::wstring bank = L"[考试题目]\r\n";
    for (int id = 1; id <= entries; ++id) {
        bank += std::to_wstring(id) + L"=" + kBankAnswers[choices[static_cast<std::size_t>(id)]] +
                L"\r\n";
    }
    return textFromWide(bank);
}

std::vector<ExamRow> expectedRows(ExamKind kind, const std::vector<unsigned>& ids, int entries) {
    const std::vector<unsigned char> choices =
        kind == ExamKind::bank ? bankChoices(entries) : std::vector<unsigned char>{};
    std::vector<ExamRow> rows;
    rows.reserve(ids.size());
    for (std::size_t n = 1; n <= ids.size(); ++n) {
        std::wstring answer;
        if (kind == ExamKind::answers) {
            answer = std::wstring(1, pageLetter(n));
        } else if (ids[n - 1] < choices.size()) {
            answer = kBankAnswers[choices[ids[n - 1]]];
        } else {
            answer = L"[无]";
        }
        rows.push_back(ExamRow{toText(static_cast<std::int64_t>(n)),
                               textFromWide(listedQuestion(kind, n)), textFromWide(answer)});
    }
    return rows;
}
