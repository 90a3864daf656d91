// Times one "获取答案" click in bank mode as a person meets it: a page of about
// 2 MB with 2000 questions, a bank file of 100 000 entries, and the main
// window's own question list shown on screen. Besides the whole click it times
// the click's three parts one by one with the same data: the matching (both
// executes and reading every sub-match, with the scripting component and with
// the built-in engine), the lookups (the profile reader per id as the click
// does, and the bank index for comparison) and filling the list with the same
// rows. Then it checks that the click listed exactly those rows.
//
// Prints key=value lines for tools/bench/bench_click.py:
//   phase=NAME ms=TOTAL [count=N] [more fields]
//
//   bench_click.exe [QUESTIONS [BANK_ENTRIES [MEGABYTES [REPEATS]]]]   (2000 100000 2 1)
//
// With REPEATS, the fill and the click alternate that many times and the best of each
// is reported.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "answers/bank_index_win.h"
#include "answers/get_answers_win.h"
#include "answers/lookup_answer_win.h"
#include "answers/question_list_win.h"
#include "answers/regex_object_win.h"
#include "app/app_state.h"
#include "app/codepage_win.h"
#include "app/dispatch_win.h"
#include "app/main_window_win.h"
#include "app/window_layer_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Bytes a text takes in code page 936: one for ASCII, two for the Chinese used here.
std::size_t bytesIn936(std::wstring_view text) {
    std::size_t bytes = 0;
    for (wchar_t c : text) bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

// The bank's ids are 1..entries; one question in ten asks for an id the bank lacks.
std::vector<unsigned> questionIds(int questions, int entries) {
    std::vector<unsigned> ids;
    unsigned state = 12345;
    for (int i = 0; i < questions; ++i) {
        state = state * 1103515245u + 12345u;
        unsigned n = (state >> 8) % static_cast<unsigned>(entries) + 1;
        ids.push_back(i % 10 == 9 ? n + static_cast<unsigned>(entries) : n);
    }
    return ids;
}

// An exam page in bank mode: each question is one list item on one line with its id
// and text, then four option lines and a hidden explanation that pads every question
// to the same share of `bytes`. There is no stranswer attribute, so the answer
// pattern scans the whole page in vain before the id pattern runs.
Text makePage(const std::vector<unsigned>& ids, std::size_t bytes) {
    static const wchar_t* const words[] = {L"下列", L"关于", L"计算机", L"网络", L"说法",
                                           L"正确", L"的是", L"（",     L"）",   L"。"};
    std::wstring page = L"<html><body><div class=\"paper\">\r\n<ul class=\"questions\">\r\n";
    const std::size_t share = bytes / (ids.size() ? ids.size() : 1);
    for (std::size_t n = 1; n <= ids.size(); ++n) {
        std::wstring text;
        for (std::size_t k = 0; k < 12; ++k) text += words[(n * 7 + k * 3) % 10];
        std::wstring question = L"<li class=\"question\" id=\"" + std::to_wstring(ids[n - 1]) +
                                L"\"><span class=\"num\">" + std::to_wstring(n) +
                                L".</span><span class=\"t\">" + text + L"</span></li>\r\n";
        for (wchar_t option : std::wstring(L"ABCD")) {
            question += L"  <div class=\"opt\"><label><input type=\"radio\" name=\"q" +
                        std::to_wstring(n) + L"\" value=\"" + option + L"\"> " + text.substr(0, 8) +
                        L"</label></div>\r\n";
        }
        std::wstring pad = L"  <div class=\"explain\" style=\"display:none\">";
        const std::wstring tail = L"</div>\r\n";
        std::size_t used = bytesIn936(question) + bytesIn936(pad) + bytesIn936(tail);
        for (std::size_t k = 0; used + 2 <= share; ++k, used += 2) pad += words[k % 10][0];
        page += question + pad + tail;
    }
    page += L"</ul>\r\n</div></body></html>\r\n";
    return textFromWide(page);
}

// A bank file of `entries` answers in section "考试题目", code page 936, CRLF lines.
Text makeBank(int entries) {
    static const wchar_t* const choices[] = {
        L"A", L"B", L"C", L"D", L"AB", L"ABCD", L"正确", L"错误", L"人民代表大会制度"};
    std::wstring bank = L"[考试题目]\r\n";
    unsigned state = 7;
    for (int id = 1; id <= entries; ++id) {
        state = state * 1103515245u + 12345u;
        bank += std::to_wstring(id) + L"=" + choices[(state >> 8) % 9] + L"\r\n";
    }
    return textFromWide(bank);
}

bool writeFile(const std::wstring& path, const Text& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

// Lets the window paint and settle, as it has between two clicks.
void pumpUntilIdle() {
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT) == WAIT_TIMEOUT) {
            return;
        }
    }
}

// One row as the click lists it.
struct Row {
    Text number, question, answer;
};

struct Matched {
    std::vector<Text> ids, questions;
    double answerPatternMs = 0, idPatternMs = 0, readMs = 0;
    int answerPatternMatches = 0;
};

// What the click does with the regular-expression object, without the list.
Matched matchPage(RegexEngineChoice choice, const Text& html) {
    Matched result;
    RegexObject regex(choice);
    auto start = Clock::now();
    regex.execute(pageAnswerPattern, html, false, true, true);
    result.answerPatternMatches = regex.matchCount();
    result.answerPatternMs = msSince(start);
    start = Clock::now();
    regex.execute(questionIdPattern, html, false, true, true);
    int count = regex.matchCount();
    result.idPatternMs = msSince(start);
    start = Clock::now();
    for (int i = 1; i <= count; ++i) {
        result.questions.push_back(regex.subMatchText(i, 2));
        result.ids.push_back(regex.subMatchText(i, 1));
    }
    result.readMs = msSince(start);
    return result;
}

void printMatching(const char* engine, const Matched& m) {
    std::printf(
        "phase=matching engine=%s ms=%.1f answer_pattern_ms=%.1f id_pattern_ms=%.1f "
        "read_ms=%.1f count=%zu answer_matches=%d\n",
        engine, m.answerPatternMs + m.idPatternMs + m.readMs, m.answerPatternMs, m.idPatternMs,
        m.readMs, m.ids.size(), m.answerPatternMatches);
    std::fflush(stdout);
}

struct FillTimes {
    double totalMs = 0, deleteMs = 0, appendMs = 0, cellMs = 0;
    double quarterMs[4] = {};  // rows of each quarter of the list, to see a cost that grows
};

// deleteAllRows, then per row appendRow and the two setCellText calls, each timed.
FillTimes fill(HWND list, const std::vector<Row>& rows) {
    FillTimes t;
    auto start = Clock::now();
    deleteAllRows(list);
    t.deleteMs = msSince(start);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto step = Clock::now();
        int r = appendRow(list, rows[i].number);
        auto cells = Clock::now();
        setCellText(list, r, 1, rows[i].question);
        setCellText(list, r, 2, rows[i].answer);
        auto done = Clock::now();
        t.cellMs += std::chrono::duration<double, std::milli>(done - cells).count();
        t.appendMs += std::chrono::duration<double, std::milli>(cells - step).count();
        t.quarterMs[i * 4 / rows.size()] +=
            std::chrono::duration<double, std::milli>(done - step).count();
    }
    t.totalMs = msSince(start);
    return t;
}

void printFill(const char* variant, const FillTimes& t, std::size_t rows) {
    std::printf(
        "phase=fill variant=%s ms=%.1f delete_ms=%.1f append_ms=%.1f cells_ms=%.1f "
        "quarters_ms=%.0f/%.0f/%.0f/%.0f count=%zu\n",
        variant, t.totalMs, t.deleteMs, t.appendMs, t.cellMs, t.quarterMs[0], t.quarterMs[1],
        t.quarterMs[2], t.quarterMs[3], rows);
    std::fflush(stdout);
}

Text cellText(HWND list, int row, int column) {
    std::wstring buffer(16384, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    auto length = ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                 reinterpret_cast<LPARAM>(&item));
    return textFromWide(std::wstring_view(buffer.data(), static_cast<std::size_t>(length)));
}

// The number of rows of the list that differ from `rows` (a missing or extra row counts).
std::size_t differingRows(HWND list, const std::vector<Row>& rows) {
    auto listed = static_cast<std::size_t>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::size_t differing = listed > rows.size() ? listed - rows.size() : rows.size() - listed;
    for (std::size_t i = 0; i < rows.size() && i < listed; ++i) {
        int r = static_cast<int>(i);
        if (cellText(list, r, 0) != rows[i].number || cellText(list, r, 1) != rows[i].question ||
            cellText(list, r, 2) != rows[i].answer) {
            ++differing;
        }
    }
    return differing;
}

// The program's main window built without its created event (which would load the bank
// from the network), placed and shown as loadWindow shows it.
HWND showMainWindow() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!registerFormClass(MainWindow, nullptr, nullptr)) return nullptr;
    HWND window = MainWindow.build(const_cast<WindowForm*>(&MainWindow));
    if (!window) return nullptr;
    RECT outer;
    ::GetWindowRect(window, &outer);
    POINT at = MainWindow.position(SIZE{outer.right - outer.left, outer.bottom - outer.top});
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    pumpUntilIdle();
    return window;
}

// For comparison only, none of this is what the click does: the same fill with the
// list's drawing switched off, and with the list hidden, each counted up to the list
// shown again and painted; and the call a visible list makes on every insert besides
// storing the row, setting its scroll bar's range, which draws the scroll bar again.
void timeOtherWays(HWND list, const std::vector<Row>& rows) {
    deleteAllRows(list);
    pumpUntilIdle();
    auto start = Clock::now();
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    FillTimes frozen = fill(list, rows);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
    ::UpdateWindow(list);
    frozen.totalMs = msSince(start);
    printFill("redraw_off", frozen, rows.size());
    deleteAllRows(list);
    pumpUntilIdle();
    start = Clock::now();
    ::ShowWindow(list, SW_HIDE);
    FillTimes hidden = fill(list, rows);
    ::ShowWindow(list, SW_SHOW);
    ::UpdateWindow(list);
    hidden.totalMs = msSince(start);
    printFill("hidden", hidden, rows.size());
    pumpUntilIdle();

    const int scrollCalls = 200;
    start = Clock::now();
    for (int i = 0; i < scrollCalls; ++i) {
        SCROLLINFO info{
            sizeof info, SIF_RANGE | SIF_PAGE, 0, static_cast<int>(rows.size()) + i, 13, 0, 0};
        ::SetScrollInfo(list, SB_VERT, &info, TRUE);
    }
    std::printf("phase=scroll_bar ms=%.1f count=%d\n", msSince(start), scrollCalls);
    pumpUntilIdle();

    deleteAllRows(list);
}

std::wstring makeWorkFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length > MAX_PATH) return {};
    std::wstring folder =
        std::wstring(temp) + L"tiyan-click-bench-" + std::to_wstring(::GetCurrentProcessId());
    if (!::CreateDirectoryW(folder.c_str(), nullptr)) return {};
    return folder + L"\\";
}

int argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

int runBenchmark(int questions, int entries, double megabytes, int repeats,
                 const std::wstring& folder) {
    const std::vector<unsigned> ids = questionIds(questions, entries);
    auto start = Clock::now();
    const Text html = makePage(ids, static_cast<std::size_t>(megabytes * 1024 * 1024));
    const std::wstring bankPath = folder + L"bank.tmp";
    if (!writeFile(bankPath, makeBank(entries))) {
        std::fputs("bench_click: cannot write the bank file\n", stderr);
        return 1;
    }
    std::printf("phase=setup ms=%.1f page_bytes=%zu questions=%d bank_entries=%d\n", msSince(start),
                html.size(), questions, entries);

    HWND window = showMainWindow();
    HWND list = mainWindow.超级列表框1;
    if (!window || !list || !::IsWindowVisible(list)) {
        std::fputs("bench_click: the main window could not be shown\n", stderr);
        return 1;
    }
    appState.capturedPageHtml = html;
    appState.bankFilePath = textFromWide(bankPath);
    const bool component = createAutomationObject(L"VBScript.RegExp") != nullptr;
    std::printf("phase=environment component=%d acp=%u\n", component ? 1 : 0, ::GetACP());

    // First uses pay for loading the component and for parsing the bank file (a reader
    // that keeps the parsed file, as Wine's does, pays this once per process).
    start = Clock::now();
    lookupAnswer("1");
    std::printf("phase=cold_lookup ms=%.1f\n", msSince(start));
    matchPage(RegexEngineChoice::componentFirst, "<li id=\"1\">x</li>");

    Matched viaComponent = matchPage(RegexEngineChoice::componentFirst, html);
    printMatching("component", viaComponent);
    Matched builtIn = matchPage(RegexEngineChoice::builtIn, html);
    printMatching("builtin", builtIn);
    if (builtIn.ids != viaComponent.ids || builtIn.questions != viaComponent.questions) {
        std::puts("mismatch=the component and the built-in engine found different questions");
    }

    std::vector<Row> rows;
    start = Clock::now();
    for (std::size_t i = 0; i < viaComponent.ids.size(); ++i) {
        rows.push_back(Row{toText(static_cast<std::int64_t>(i + 1)), viaComponent.questions[i],
                           lookupAnswer(viaComponent.ids[i])});
    }
    std::printf("phase=lookups way=profile_reader ms=%.1f count=%zu\n", msSince(start),
                rows.size());
    start = Clock::now();
    BankIndex index = loadBankIndex(appState.bankFilePath);
    double buildMs = msSince(start);
    std::size_t indexDiffers = 0;
    auto asking = Clock::now();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        indexDiffers += lookupBankAnswer(index, viaComponent.ids[i]) != rows[i].answer;
    }
    std::printf("phase=lookups way=index ms=%.1f build_ms=%.1f lookups_ms=%.1f count=%zu\n",
                msSince(start), buildMs, msSince(asking), rows.size());
    if (indexDiffers) std::printf("mismatch=%zu index answers differ\n", indexDiffers);
    std::fflush(stdout);

    // Each fill and the click start from an empty list that has been painted, as the
    // first click after the start does. They alternate, and the best of each is kept,
    // so that a busy moment of the machine does not decide the ratio.
    FillTimes bestFill;
    double clickMs = 0;
    std::size_t differing = 0;
    for (int run = 0; run < repeats; ++run) {
        deleteAllRows(list);
        pumpUntilIdle();
        FillTimes filled = fill(list, rows);
        if (run == 0 || filled.totalMs < bestFill.totalMs) bestFill = filled;
        deleteAllRows(list);
        pumpUntilIdle();
        start = Clock::now();
        getAnswers();
        double ms = msSince(start);
        if (run == 0 || ms < clickMs) clickMs = ms;
        differing += differingRows(list, rows);
        pumpUntilIdle();
    }
    printFill("visible", bestFill, rows.size());
    std::printf("phase=click engine=%s ms=%.1f count=%zu runs=%d\n",
                component ? "component" : "builtin", clickMs, rows.size(), repeats);
    if (differing) std::printf("mismatch=%zu rows listed by the clicks differ\n", differing);

    // The next click first empties a full list.
    start = Clock::now();
    deleteAllRows(list);
    std::printf("phase=delete_full ms=%.1f count=%zu\n", msSince(start), rows.size());
    pumpUntilIdle();
    std::fflush(stdout);

    timeOtherWays(list, rows);
    ::DestroyWindow(window);
    return differing ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int questions = argument(argc, argv, 1, 2000);
    const int entries = argument(argc, argv, 2, 100000);
    const double megabytes = argc > 3 ? std::atof(argv[3]) : 2.0;
    const int repeats = argument(argc, argv, 4, 1);
    if (questions < 1 || entries < 1 || megabytes <= 0 || repeats < 1) {
        std::fputs("usage: bench_click.exe [QUESTIONS [BANK_ENTRIES [MEGABYTES [REPEATS]]]]\n",
                   stderr);
        return 2;
    }
    ::OleInitialize(nullptr);
    const std::wstring folder = makeWorkFolder();
    int rc = 1;
    if (folder.empty()) {
        std::fputs("bench_click: cannot make a folder in the temporary directory\n", stderr);
    } else {
        rc = runBenchmark(questions, entries, megabytes, repeats, folder);
        ::DeleteFileW((folder + L"bank.tmp").c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
    ::OleUninitialize();
    return rc;
}
