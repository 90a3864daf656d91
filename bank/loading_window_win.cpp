// Tested by tests/app/main_window_test.py.
#include "bank/loading_window_win.h"

namespace {

constexpr int kOuterWidth = 295;
constexpr int kOuterHeight = 97;

HWND buildLoadingWindow(void* createParam) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    HWND window =
        ::CreateWindowExW(0, LoadingWindow.className, L"", WS_CAPTION | WS_SYSMENU, 50, 50,
                          kOuterWidth, kOuterHeight, nullptr, nullptr, instance, createParam);
    if (!window) return nullptr;
    HWND label = ::CreateWindowExW(0, L"STATIC", L"加载中...", WS_CHILD | WS_VISIBLE | SS_LEFT, 24,
                                   24, 248, 24, window, nullptr, instance, nullptr);
    auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(window, WM_SETFONT, font, FALSE);
    ::SendMessageW(label, WM_SETFONT, font, FALSE);
    return window;
}

bool handleLoadingWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message != WM_CTLCOLORSTATIC) return false;  // the label on the window's own colour
    auto dc = reinterpret_cast<HDC>(wParam);
    ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
    *result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    return true;
}

}  // namespace

extern const WindowForm LoadingWindow = {L"TiyanLoadingWindow",
                                         buildLoadingWindow,
                                         handleLoadingWindowMessage,
                                         WindowHandlers{nullptr, nullptr, loadQuestionBank},
                                         centredOnScreen,
                                         COLOR_WINDOW};
