// pagehost: shows an exam page the way a browser shows it to the capture, for
// the tests. A top-level window holds a child of class "Internet Explorer_Server"
// that answers the registered message "WM_HTML_GETOBJECT" with a reference to
// its document (tools/pagehost/page_document_win.h) and paints the page's text.
//
//   pagehost --html FILE [--url URL] [--title TEXT] [--rect X,Y,W,H]
//            [--no-body] [--no-document] [--hang SECONDS] [--hang-after MS]
//            [--status FILE] [--utf16]
//
// An argument @FILE stands for the lines of FILE (tests/rig/command_line_win.h).
// FILE holds the body's inner HTML in code page 936; the document's "innerHTML"
// is exactly its text. With --utf16, FILE holds UTF-16LE code units instead (no
// mark), taken as they are: a page can then hold what code page 936 has no
// form for (emoji, U+FFFF, lone surrogates). --no-body gives a document whose
// "body" is an empty reference; --no-document makes the window answer 0 (no
// document at all). --hang stops the window's thread from handling messages
// for SECONDS, starting --hang-after MS (default 0) after the first paint.
// --status appends a line to FILE at each step: "shown", "hang-begin",
// "hang-end". Exit code 2 on bad arguments or an unreadable FILE.
//
// Tested by tests/capture/document_from_window_win_test.cpp and the rig tests
// in tests/capture and tests/rig.
#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/codepage_win.h"
#include "app/scoped_win.h"
#include "tests/rig/command_line_win.h"
#include "tools/pagehost/page_document_win.h"

namespace {

constexpr UINT kBeginHang = WM_APP + 1;
constexpr UINT_PTR kHangTimer = 1;
constexpr int kShownTextLimit = 4000;  // enough to fill the window; keeps painting cheap

struct Options {
    std::wstring htmlPath;
    std::wstring url = L"about:blank";
    std::wstring title;
    RECT rect{600, 100, 1100, 500};
    bool noBody = false;
    bool noDocument = false;
    bool utf16 = false;
    int hangSeconds = 0;
    int hangAfterMs = 0;
    std::wstring statusPath;
};

struct Host {
    Options options;
    ComPtr<IDispatch> document;
    std::wstring shownText;
    UINT getObjectMessage = 0;
    bool painted = false;
    HWND frame = nullptr;
    HWND server = nullptr;
    UniqueFont font;
};

Host host;

void writeStatus(const char* line) {
    if (host.options.statusPath.empty()) return;
    UniqueFileHandle file(::CreateFileW(host.options.statusPath.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string text = std::string(line) + "\n";
    DWORD written = 0;
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool readFile(const std::wstring& path, std::string* bytes) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 512 * 1024 * 1024) return false;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes->empty() || (::ReadFile(file.get(), bytes->data(),
                                         static_cast<DWORD>(bytes->size()), &got, nullptr) &&
                              got == bytes->size());
}

// The page's text as a reader sees it, roughly: tags dropped, white space
// runs folded into one blank.
std::wstring visibleText(const std::wstring& html) {
    std::wstring text;
    bool inTag = false;
    for (wchar_t c : html) {
        if (text.size() >= kShownTextLimit) break;
        if (inTag) {
            if (c == L'>') {
                inTag = false;
                if (!text.empty() && text.back() != L' ') text += L' ';
            }
        } else if (c == L'<') {
            inTag = true;
        } else if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            if (!text.empty() && text.back() != L' ') text += L' ';
        } else {
            text += c;
        }
    }
    return text;
}

void paintPage(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window, &ps);
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::InflateRect(&client, -8, -8);
    HGDIOBJ oldFont = ::SelectObject(dc, host.font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::DrawTextW(dc, host.shownText.c_str(), static_cast<int>(host.shownText.size()), &client,
                DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    ::SelectObject(dc, oldFont);
    ::EndPaint(window, &ps);
    if (!host.painted) {
        host.painted = true;
        writeStatus("shown");
        if (host.options.hangSeconds > 0) {
            if (host.options.hangAfterMs > 0) {
                ::SetTimer(window, kHangTimer, static_cast<UINT>(host.options.hangAfterMs),
                           nullptr);
            } else {
                ::PostMessageW(window, kBeginHang, 0, 0);
            }
        }
    }
}

// Stops handling messages, as a busy or stuck browser thread does.
void hang() {
    writeStatus("hang-begin");
    ::Sleep(static_cast<DWORD>(host.options.hangSeconds) * 1000);
    writeStatus("hang-end");
}

LRESULT CALLBACK serverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == host.getObjectMessage && message != 0) {
        if (host.options.noDocument || !host.document) return 0;
        return ::LresultFromObject(kBaseDocumentIid, wParam, host.document.Get());
    }
    switch (message) {
        case WM_PAINT:
            paintPage(window);
            return 0;
        case WM_TIMER:
            if (wParam == kHangTimer) {
                ::KillTimer(window, kHangTimer);
                hang();
            }
            return 0;
        case kBeginHang:
            hang();
            return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (host.server) {
                ::MoveWindow(host.server, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool parseRect(const wchar_t* text, RECT* rect) {
    int x, y, w, h;
    if (std::swscanf(text, L"%d,%d,%d,%d", &x, &y, &w, &h) != 4 || w <= 0 || h <= 0) return false;
    *rect = {x, y, x + w, y + h};
    return true;
}

bool parseArguments(Options* options) {
    std::vector<std::wstring> args;
    if (!programArguments(&args)) return false;
    bool ok = true;
    for (size_t i = 0; i < args.size() && ok; ++i) {
        const std::wstring& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == L"--no-body") {
            options->noBody = true;
        } else if (arg == L"--no-document") {
            options->noDocument = true;
        } else if (arg == L"--utf16") {
            options->utf16 = true;
        } else if (!hasValue) {
            ok = false;
        } else if (arg == L"--html") {
            options->htmlPath = args[++i];
        } else if (arg == L"--url") {
            options->url = args[++i];
        } else if (arg == L"--title") {
            options->title = args[++i];
        } else if (arg == L"--rect") {
            ok = parseRect(args[++i].c_str(), &options->rect);
        } else if (arg == L"--hang") {
            options->hangSeconds = _wtoi(args[++i].c_str());
        } else if (arg == L"--hang-after") {
            options->hangAfterMs = _wtoi(args[++i].c_str());
        } else if (arg == L"--status") {
            options->statusPath = args[++i];
        } else {
            ok = false;
        }
    }
    return ok && !options->htmlPath.empty();
}

int usage() {
    std::fputs(
        "usage: pagehost --html FILE [--url URL] [--title TEXT] [--rect X,Y,W,H] [--no-body]\n"
        "                [--no-document] [--hang SECONDS] [--hang-after MS] [--status FILE]\n"
        "                [--utf16]\n",
        stderr);
    return 2;
}

}  // namespace

int main() {
    if (!parseArguments(&host.options)) return usage();
    std::string page;
    if (!readFile(host.options.htmlPath, &page)) {
        std::fputs("pagehost: cannot read the HTML file\n", stderr);
        return 2;
    }
    // Without --utf16 the page is code page 936 on every system locale, like the
    // capture's texts.
    std::wstring html;
    if (host.options.utf16) {
        html.resize(page.size() / sizeof(wchar_t));
        std::memcpy(html.data(), page.data(), html.size() * sizeof(wchar_t));
    } else {
        html = wideFromText(page);
    }
    PageContent content{host.options.url, std::move(html), !host.options.noBody};
    host.shownText = visibleText(content.innerHtml);

    ComApartment apartment;
    host.document = makePageDocument(content);
    host.getObjectMessage = ::RegisterWindowMessageA("WM_HTML_GETOBJECT");

    // A font with Chinese glyphs under Wine (from the system's font
    // configuration); Windows substitutes one of its own.
    host.font.reset(::CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, L"WenQuanYi Micro Hei"));
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW frameClass{};
    frameClass.lpfnWndProc = frameProc;
    frameClass.hInstance = instance;
    frameClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frameClass.lpszClassName = L"TiyanPageHost";
    WNDCLASSW serverClass = frameClass;
    serverClass.lpfnWndProc = serverProc;
    serverClass.lpszClassName = L"Internet Explorer_Server";
    if (!::RegisterClassW(&frameClass) || !::RegisterClassW(&serverClass)) return 1;

    const RECT& r = host.options.rect;
    std::wstring title = host.options.title.empty() ? host.options.url : host.options.title;
    host.frame = ::CreateWindowExW(
        0, frameClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, r.left,
        r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!host.frame) return 1;
    RECT client;
    ::GetClientRect(host.frame, &client);
    host.server =
        ::CreateWindowExW(0, serverClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                          client.right, client.bottom, host.frame, nullptr, instance, nullptr);
    if (!host.server) return 1;
    ::ShowWindow(host.frame, SW_SHOWNOACTIVATE);
    ::UpdateWindow(host.frame);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    host.document.Reset();
    return 0;
}
