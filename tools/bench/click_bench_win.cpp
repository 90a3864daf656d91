// Times one "获取答案" click as a person meets it, and its reference: a page of
// about 2 MB with 2000 questions, a bank file of 100 000 entries, and the main
// window's own question list shown on screen. One process does one side, so that
// the peak memory of each side can be told apart:
//
//   click  the first "获取答案" of the process on the shown main window, with the
//          regular-expression component and the profile reader cold, as at a
//          person's first click; then a check that it listed the expected rows.
//   fill   the reference: the same rows put into the same list with the list's own
//          three operations (deleteAllRows, appendRow, setCellText), nothing else.
//   parts  the details: the click's parts one by one with the same data (matching
//          with the component and with the built-in engine, the lookups through the
//          profile reader as the click does and through the bank index for
//          comparison, the fill), the click and the fill alternating REPEATS times,
//          and fills the program does not do (redraw off, list hidden).
//
// The exam is either kind the click knows (click_bench_data_win.h): "answers" (the
// page carries the answers) or "bank" (the page carries ids, answers from the bank).
// Prints key=value lines for tools/bench/bench_click.py:
//   phase=NAME ms=TOTAL [count=N] [more fields]
//
//   bench_click.exe KIND SIDE [QUESTIONS [BANK_ENTRIES [MEGABYTES [REPEATS]]]]
//   (defaults 2000 100000 2 1)
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
#include "tools/bench/click_bench_data_win.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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
FillTimes fill(HWND list, const std::vector<ExamRow>& rows) {
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
std::size_t differingRows(HWND list, const std::vector<ExamRow>& rows) {
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
void timeOtherWays(HWND list, const std::vector<ExamRow>& rows) {
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

struct Options {
    ExamKind kind = ExamKind::bank;
    const char* side = "click";
    int questions = 2000, entries = 100000, repeats = 1;
    double megabytes = 2.0;
};

// The exam's files and the shown main window with the page captured.
struct Session {
    std::vector<ExamRow> rows;
    HWND window = nullptr, list = nullptr;
    bool component = false;
};

bool openSession(const Options& o, const std::wstring& folder, bool withPage, Session& session) {
    const std::vector<unsigned> ids = examQuestionIds(o.questions, o.entries);
    auto start = Clock::now();
    session.rows = expectedRows(o.kind, ids, o.entries);
    std::size_t pageBytes = 0;
    if (withPage) {
        appState.capturedPageHtml =
            makeExamPage(o.kind, ids, static_cast<std::size_t>(o.megabytes * 1024 * 1024));
        pageBytes = appState.capturedPageHtml.size();
        const std::wstring bankPath = folder + L"bank.tmp";
        if (o.kind == ExamKind::bank && !writeFile(bankPath, makeExamBank(o.entries))) {
            std::fputs("bench_click: cannot write the bank file\n", stderr);
            return false;
        }
        appState.bankFilePath = textFromWide(bankPath);
    }
    std::printf("phase=setup ms=%.1f page_bytes=%zu questions=%d bank_entries=%d\n", msSince(start),
                pageBytes, o.questions, o.entries);
    session.window = showMainWindow();
    session.list = mainWindow.超级列表框1;
    if (!session.window || !session.list || !::IsWindowVisible(session.list)) {
        std::fputs("bench_click: the main window could not be shown\n", stderr);
        return false;
    }
    return true;
}

// Whether the click finds the regular-expression component (a run may switch it off).
void askForComponent(Session& s) {
    s.component = createAutomationObject(L"VBScript.RegExp") != nullptr;
    std::printf("phase=environment component=%d acp=%u\n", s.component ? 1 : 0, ::GetACP());
    std::fflush(stdout);
}

// Asked after the click, so that the click loads the component itself.
int runClick(Session& s) {
    auto start = Clock::now();
    getAnswers();
    double ms = msSince(start);
    askForComponent(s);
    std::size_t differing = differingRows(s.list, s.rows);
    std::printf("phase=click engine=%s ms=%.1f count=%zu differing=%zu\n",
                s.component ? "component" : "builtin", ms, s.rows.size(), differing);
    return differing ? 1 : 0;
}

int runFill(Session& s) {
    FillTimes filled = fill(s.list, s.rows);
    printFill("visible", filled, s.rows.size());
    std::size_t differing = differingRows(s.list, s.rows);
    std::printf("phase=check differing=%zu\n", differing);
    return differing ? 1 : 0;
}

int runParts(const Options& o, Session& s) {
    askForComponent(s);
    const std::vector<ExamRow>& rows = s.rows;
    const Text& html = appState.capturedPageHtml;
    // First uses pay for loading the component and for parsing the bank file (a reader
    // that keeps the parsed file, as Wine's does, pays this once per process).
    auto start = Clock::now();
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
    if (o.kind == ExamKind::bank) {
        std::size_t differs = 0;
        start = Clock::now();
        for (std::size_t i = 0; i < builtIn.ids.size() && i < rows.size(); ++i) {
            differs += lookupAnswer(builtIn.ids[i]) != rows[i].answer;
        }
        std::printf("phase=lookups way=profile_reader ms=%.1f count=%zu\n", msSince(start),
                    builtIn.ids.size());
        start = Clock::now();
        BankIndex index = loadBankIndex(appState.bankFilePath);
        double buildMs = msSince(start);
        auto asking = Clock::now();
        for (std::size_t i = 0; i < builtIn.ids.size() && i < rows.size(); ++i) {
            differs += lookupBankAnswer(index, builtIn.ids[i]) != rows[i].answer;
        }
        std::printf("phase=lookups way=index ms=%.1f build_ms=%.1f lookups_ms=%.1f count=%zu\n",
                    msSince(start), buildMs, msSince(asking), builtIn.ids.size());
        if (differs) std::printf("mismatch=%zu looked-up answers differ\n", differs);
    }
    std::fflush(stdout);

    // Each fill and the click start from an empty list that has been painted. They
    // alternate, and the best of each is kept, so that a busy moment of the machine
    // does not decide the ratio.
    FillTimes bestFill;
    double clickMs = 0;
    std::size_t differing = 0;
    for (int run = 0; run < o.repeats; ++run) {
        deleteAllRows(s.list);
        pumpUntilIdle();
        FillTimes filled = fill(s.list, rows);
        if (run == 0 || filled.totalMs < bestFill.totalMs) bestFill = filled;
        deleteAllRows(s.list);
        pumpUntilIdle();
        start = Clock::now();
        getAnswers();
        double ms = msSince(start);
        if (run == 0 || ms < clickMs) clickMs = ms;
        differing += differingRows(s.list, rows);
        pumpUntilIdle();
    }
    printFill("visible", bestFill, rows.size());
    std::printf("phase=click engine=%s ms=%.1f count=%zu runs=%d\n",
                s.component ? "component" : "builtin", clickMs, rows.size(), o.repeats);
    if (differing) std::printf("mismatch=%zu rows listed by the clicks differ\n", differing);

    // The next click first empties a full list.
    start = Clock::now();
    deleteAllRows(s.list);
    std::printf("phase=delete_full ms=%.1f count=%zu\n", msSince(start), rows.size());
    pumpUntilIdle();
    std::fflush(stdout);

    timeOtherWays(s.list, rows);
    return differing ? 1 : 0;
}

int run(const Options& o, const std::wstring& folder) {
    const bool parts = std::strcmp(o.side, "parts") == 0;
    const bool click = std::strcmp(o.side, "click") == 0;
    Session session;
    if (!openSession(o, folder, click || parts, session)) return 1;
    int rc = parts ? runParts(o, session) : click ? runClick(session) : runFill(session);
    std::fflush(stdout);
    ::DestroyWindow(session.window);
    return rc;
}

int argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::atoi(argv[index]) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    const char* kind = argc > 1 ? argv[1] : "";
    o.side = argc > 2 ? argv[2] : "";
    o.kind = std::strcmp(kind, "answers") == 0 ? ExamKind::answers : ExamKind::bank;
    o.questions = argument(argc, argv, 3, 2000);
    o.entries = argument(argc, argv, 4, 100000);
    o.megabytes = argc > 5 ? std::atof(argv[5]) : 2.0;
    o.repeats = argument(argc, argv, 6, 1);
    const bool knownKind = std::strcmp(kind, "answers") == 0 || std::strcmp(kind, "bank") == 0;
    const bool knownSide = std::strcmp(o.side, "click") == 0 || std::strcmp(o.side, "fill") == 0 ||
                           std::strcmp(o.side, "parts") == 0;
    if (!knownKind || !knownSide || o.questions < 1 || o.entries < 1 || o.megabytes <= 0 ||
        o.repeats < 1) {
        std::fputs(
            "usage: bench_click.exe answers|bank click|fill|parts "
            "[QUESTIONS [BANK_ENTRIES [MEGABYTES [REPEATS]]]]\n",
            stderr);
        return 2;
    }
    ::OleInitialize(nullptr);
    const std::wstring folder = makeWorkFolder();
    int rc = 1;
    if (folder.empty()) {
        std::fputs("bench_click: cannot make a folder in the temporary directory\n", stderr);
    } else {
        rc = run(o, folder);
        ::DeleteFileW((folder + L"bank.tmp").c_str());
        ::RemoveDirectoryW(folder.c_str());
    }
    ::OleUninitialize();
    return rc;
}
