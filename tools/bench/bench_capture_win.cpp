// Times one mouse move of a crosshair drag (trackCrosshairDrag) over page
// hosts in other processes: a small page, a page of about 5 MB, and a page
// whose thread is hung. Each move makes the whole request: window lookup,
// class test, WM_HTML_GETOBJECT, the document's "url", "body" and "innerHTML"
// across processes, and the conversion to code page 936. Prints one line per
// case: case=NAME moves=N bytes=B ms=MEDIAN min=MIN max=MAX.
//
//   bench_capture.exe [MEGABYTES]      run by tools/bench/bench_capture.py
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window_win.h"
#include "capture/crosshair_capture_win.h"
#include "tests/capture/page_host_process_win.h"

namespace {

std::string bigPage(double megabytes) {
    // 这是一道考试题目 in code page 936.
    const std::string question = "\xD5\xE2\xCA\xC7\xD2\xBB\xB5\xC0\xBF\xBC\xCA\xD4\xCC\xE2\xC4\xBF";
    std::string page;
    auto target = static_cast<size_t>(megabytes * 1024 * 1024);
    for (int n = 0; page.size() < target; ++n) {
        page += "<div class=\"q\" stranswer=\"" + std::string(1, "ABCD"[n % 4]) + "\">" +
                std::to_string(n) + ". ";
        for (int k = 0; k < 6; ++k) page += question;
        page += "</div>\r\n";
    }
    return page;
}

struct Timing {
    std::vector<double> ms;
    void print(const char* name, size_t bytes) {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::printf("case=%s moves=%zu bytes=%zu ms=%.1f min=%.1f max=%.1f\n", name, ms.size(),
                    bytes, sorted[sorted.size() / 2], sorted.front(), sorted.back());
        std::fflush(stdout);
    }
};

double timedMove(POINT at) {
    ::SetCursorPos(at.x, at.y);
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    trackCrosshairDrag();
    ::QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Moves over a page host; false when the page did not arrive whole.
bool benchPage(const char* name, const wchar_t* title, const std::string& page, int moves) {
    std::wstring path = writeTempFile(page, L"bc");
    PageHostProcess host(path, L"http://exam.example/bench", title);
    bool ok = host.server() != nullptr;
    if (ok) {
        timedMove(host.serverCentre());  // the first request loads the marshalling code
        Timing timing;
        for (int i = 0; i < moves; ++i) timing.ms.push_back(timedMove(host.serverCentre()));
        ok = appState.capturedPageHtml == page;
        timing.print(name, page.size());
    }
    ::DeleteFileW(path.c_str());
    if (!ok) std::fprintf(stderr, "bench_capture: %s was not captured whole\n", name);
    return ok;
}

// Moves over a host whose thread stops handling messages: under Wine a request
// waits the full time-out until the window has been unresponsive for 5 s.
bool benchHungPage() {
    std::wstring page = writeTempFile("<p>hung</p>", L"bc");
    std::wstring status = writeTempFile("", L"bs");
    PageHostProcess host(page, L"http://exam.example/hung", L"bench-hung",
                         L"--hang 14 --status \"" + status + L"\"");
    bool ok = host.server() != nullptr;
    if (ok) {
        ::Sleep(500);  // the hang begins right after the first paint
        Timing early, late;
        for (int i = 0; i < 3; ++i) early.ms.push_back(timedMove(host.serverCentre()));
        ::Sleep(6000);  // past 5 s of unresponsiveness
        for (int i = 0; i < 3; ++i) late.ms.push_back(timedMove(host.serverCentre()));
        ok = appState.capturedPageHtml.empty();
        early.print("hung-page-first-moves", 0);
        late.print("hung-page-after-5s", 0);
    }
    ::DeleteFileW(page.c_str());
    ::DeleteFileW(status.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? std::atof(argv[1]) : 5.0;
    if (megabytes <= 0) megabytes = 5.0;
    ::OleInitialize(nullptr);
    mainWindow.编辑框1 = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                           nullptr, nullptr, nullptr);
    appState.isDragging = true;
    bool ok = benchPage("small-page", L"bench-small", "<div class=\"q\">1. small</div>", 10) &&
              benchPage("big-page", L"bench-big", bigPage(megabytes), 5) && benchHungPage();
    ::DestroyWindow(mainWindow.编辑框1);
    ::OleUninitialize();
    return ok ? 0 : 1;
}
