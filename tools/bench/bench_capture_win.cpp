// Times one mouse move of a crosshair drag (trackCrosshairDrag) over page
// hosts in other processes, and its reference. One process does one case, so
// that the peak memory of each can be told apart:
//
//   big    a page of about 5 MB: the whole request of one move (window lookup,
//          class test, WM_HTML_GETOBJECT, the document's "url", "body" and
//          "innerHTML" across processes, the conversion to code page 936 and
//          storing it as the captured page)
//   raw    the reference: the same page read with the platform's operations
//          alone (WM_HTML_GETOBJECT by SendMessageTimeout, ObjectFromLresult,
//          then "body" and its "innerHTML" as a BSTR), nothing converted or kept
//   small  a small page
//   hung   a page whose thread is hung: the first moves, and the moves after it
//          has been unresponsive for 5 s, when Wine stops waiting for it
//
// Prints one line per case: case=NAME moves=N bytes=B ms=MEDIAN min=MIN max=MAX.
//
//   bench_capture.exe big|raw|small|hung [MEGABYTES]   run by tools/bench/bench_capture.py
#include <windows.h>

#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/codepage_win.h"
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

template <typename F>
double timed(F&& step) {
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    step();
    ::QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double timedMove(POINT at) {
    ::SetCursorPos(at.x, at.y);
    return timed([] { trackCrosshairDrag(); });
}

// A property read by name through IDispatch, as the platform offers it.
Variant property(IDispatch* object, const wchar_t* name) {
    Variant value;
    DISPID id = 0;
    auto* names = const_cast<LPOLESTR>(name);
    DISPPARAMS none{};
    if (object && SUCCEEDED(object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id))) {
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                       value.receive(), nullptr, nullptr);
    }
    return value;
}

// The platform's operations alone: the page's inner HTML as the document gives it, a
// BSTR, released at once. Returns its length in UTF-16 units.
std::size_t rawPageRead(HWND server) {
    UINT message = ::RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(server, message, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
    void* object = nullptr;
    if (FAILED(::ObjectFromLresult(static_cast<LRESULT>(result), kHtmlDocumentIid, 0, &object))) {
        return 0;
    }
    ComPtr<IDispatch> document;
    document.Attach(static_cast<IDispatch*>(object));
    Variant body = property(document.Get(), L"body");
    if (body.type() != VT_DISPATCH) return 0;
    Variant html = property(body.get()->pdispVal, L"innerHTML");
    return html.type() == VT_BSTR ? ::SysStringLen(html.get()->bstrVal) : 0;
}

// Moves over a page host, or (raw) reads its page with the platform's operations
// alone; false when the page did not arrive whole.
bool benchPage(const char* name, const wchar_t* title, const std::string& page, int moves,
               bool raw = false) {
    std::wstring path = writeTempFile(page, L"bc");
    PageHostProcess host(path, L"http://exam.example/bench", title);
    bool ok = host.server() != nullptr;
    if (ok) {
        const std::size_t expected = wideFromText(page).size();
        std::size_t got = 0;
        auto step = [&] {
            if (raw) return timed([&] { got = rawPageRead(host.server()); });
            return timedMove(host.serverCentre());
        };
        step();  // the first request loads the marshalling code
        Timing timing;
        for (int i = 0; i < moves; ++i) timing.ms.push_back(step());
        ok = raw ? got == expected : appState.capturedPageHtml == page;
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
    const char* which = argc > 1 ? argv[1] : "";
    double megabytes = argc > 2 ? std::atof(argv[2]) : 5.0;
    if (megabytes <= 0) megabytes = 5.0;
    auto is = [which](const char* name) { return std::strcmp(which, name) == 0; };
    if (!is("big") && !is("raw") && !is("small") && !is("hung")) {
        std::fputs("usage: bench_capture.exe big|raw|small|hung [MEGABYTES]\n", stderr);
        return 2;
    }
    ::OleInitialize(nullptr);
    mainWindow.编辑框1 = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                           nullptr, nullptr, nullptr);
    appState.isDragging = true;
    bool ok = false;
    if (is("small")) {
        ok = benchPage("small-page", L"bench-small", "<div class=\"q\">1. small</div>", 10);
    } else if (is("hung")) {
        ok = benchHungPage();
    } else {
        ok = benchPage(is("raw") ? "big-page-raw" : "big-page", L"bench-big", bigPage(megabytes), 7,
                       is("raw"));
    }
    ::DestroyWindow(mainWindow.编辑框1);
    ::OleUninitialize();
    return ok ? 0 : 1;
}
