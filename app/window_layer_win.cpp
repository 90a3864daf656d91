// Tested by tests/app/window_layer_test.cpp.
#include "app/window_layer_win.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <vector>

namespace {

constexpr UINT kFirstActiveMessage = WM_APP + 0x100;

// Per-window bookkeeping of the layer, kept in GWLP_USERDATA.
struct WindowRecord {
    const WindowForm* form;
    bool built = false;  // handlers may run once the controls exist
    bool firstActiveQueued = false;
    bool firstActiveDone = false;
};

struct LayerState {
    std::vector<HWND> windows;                   // every live window of the program
    std::vector<const WindowForm*> windowForms;  // parallel to `windows`
    bool mainLoopStarted = false;
    bool dispatchOff = false;
    void (*exitRoutine)() = nullptr;
    bool exitRoutineRan = false;
};

LayerState layer;

WindowRecord* recordOf(HWND hwnd) {
    return reinterpret_cast<WindowRecord*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool handlersMayRun(const WindowRecord* record) {
    return record && record->built && !layer.dispatchOff;
}

void forgetWindow(HWND hwnd) {
    auto it = std::find(layer.windows.begin(), layer.windows.end(), hwnd);
    if (it == layer.windows.end()) return;
    layer.windowForms.erase(layer.windowForms.begin() + (it - layer.windows.begin()));
    layer.windows.erase(it);
}

HWND activeProgramWindow() {
    HWND active = ::GetActiveWindow();
    return std::find(layer.windows.begin(), layer.windows.end(), active) != layer.windows.end()
               ? active
               : nullptr;
}

// Runs one message through the keyboard interface of the active window: Tab
// moves the focus among tab stops, Esc arrives as IDCANCEL.
void dispatchOne(MSG& msg) {
    HWND active = activeProgramWindow();
    if (active && ::IsDialogMessageW(active, &msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

void onActivate(HWND hwnd, WPARAM wParam, WindowRecord* record) {
    if (LOWORD(wParam) == WA_INACTIVE || record->firstActiveQueued) return;
    record->firstActiveQueued = true;
    ::PostMessageW(hwnd, kFirstActiveMessage, 0, 0);
}

void onFirstActive(HWND hwnd, WindowRecord* record) {
    if (record->firstActiveDone) return;
    record->firstActiveDone = true;
    ::UpdateWindow(hwnd);  // the event comes after the window has been painted
    if (handlersMayRun(record) && record->form->handlers.firstTimeActive) {
        record->form->handlers.firstTimeActive();
    }
}

void onDestroyed(HWND hwnd, WindowRecord* record) {
    forgetWindow(hwnd);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete record;
    if (layer.windows.empty() && layer.mainLoopStarted && !layer.dispatchOff) {
        ::PostQuitMessage(0);
    }
}

LRESULT CALLBACK programWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* record = new WindowRecord{static_cast<const WindowForm*>(create->lpCreateParams)};
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
        layer.windows.push_back(hwnd);
        layer.windowForms.push_back(record->form);
    }
    WindowRecord* record = recordOf(hwnd);
    if (!record) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_ACTIVATE:
            onActivate(hwnd, wParam, record);
            break;
        case kFirstActiveMessage:
            onFirstActive(hwnd, record);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {  // Esc
                ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case WM_DESTROY:
            if (handlersMayRun(record) && record->form->handlers.willBeDestroyed) {
                record->form->handlers.willBeDestroyed();
            }
            break;
        case WM_NCDESTROY:
            onDestroyed(hwnd, record);
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        default:
            break;
    }
    LRESULT result = 0;
    if (record->form->handleMessage &&
        record->form->handleMessage(hwnd, message, wParam, lParam, &result)) {
        return result;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool isLive(HWND hwnd) {
    return std::find(layer.windows.begin(), layer.windows.end(), hwnd) != layer.windows.end();
}

void runModalLoop(HWND hwnd) {
    MSG msg;
    while (isLive(hwnd)) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {  // a quit for the outer loop: hand it on
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatchOne(msg);
    }
}

const wchar_t kHooksProperty[] = L"TiyanControlHooks";

// Control subclass data for rule 9 and the pointer over a control.
struct ControlHooks {
    ControlMouseHandler onMouse = nullptr;
    HCURSOR pointer = nullptr;
};

bool isMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

LRESULT CALLBACK controlSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR refData) {
    auto* hooks = reinterpret_cast<ControlHooks*>(refData);
    if (isMouseMessage(message) && hooks->onMouse && eventDispatchEnabled()) {
        hooks->onMouse(hwnd, message);
    } else if (message == WM_SETCURSOR && hooks->pointer && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(hooks->pointer);
        return TRUE;
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, controlSubclassProc, 0);
        ::RemovePropW(hwnd, kHooksProperty);
        delete hooks;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

ControlHooks* hooksOf(HWND control) {
    if (auto* hooks = static_cast<ControlHooks*>(::GetPropW(control, kHooksProperty))) return hooks;
    auto* hooks = new ControlHooks;
    if (!::SetWindowSubclass(control, controlSubclassProc, 0, reinterpret_cast<DWORD_PTR>(hooks))) {
        delete hooks;
        return nullptr;
    }
    ::SetPropW(control, kHooksProperty, hooks);
    return hooks;
}

}  // namespace

bool registerFormClass(const WindowForm& form, HICON largeIcon, HICON smallIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = programWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hIcon = largeIcon;
    wc.hIconSm = smallIcon;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(form.backgroundColour + 1));
    wc.lpszClassName = form.className;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

POINT centredOnScreen(SIZE outer) {
    return POINT{(::GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

bool loadWindow(const WindowForm& form, bool modal) {
    HWND hwnd = form.build(const_cast<WindowForm*>(&form));
    if (!hwnd) return false;
    WindowRecord* record = recordOf(hwnd);
    record->built = true;
    if (handlersMayRun(record) && form.handlers.created) form.handlers.created();
    if (!isLive(hwnd)) return true;  // the created event closed it at once

    RECT outer;
    ::GetWindowRect(hwnd, &outer);
    POINT at = form.position(SIZE{outer.right - outer.left, outer.bottom - outer.top});
    ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!modal) {
        ::ShowWindow(hwnd, SW_SHOW);
        return true;
    }
    std::vector<HWND> disabled;
    for (HWND other : layer.windows) {
        if (other != hwnd && ::IsWindowEnabled(other)) {
            ::EnableWindow(other, FALSE);
            disabled.push_back(other);
        }
    }
    ::ShowWindow(hwnd, SW_SHOW);
    runModalLoop(hwnd);
    for (HWND other : disabled) {
        if (isLive(other)) ::EnableWindow(other, TRUE);
    }
    return true;
}

HWND windowOf(const WindowForm& form) {
    for (size_t i = layer.windows.size(); i-- > 0;) {
        if (layer.windowForms[i] == &form) return layer.windows[i];
    }
    return nullptr;
}

void closeWindow(HWND window) { ::PostMessageW(window, WM_CLOSE, 0, 0); }

void registerExitRoutine(void (*routine)()) {
    if (!layer.exitRoutine) layer.exitRoutine = routine;
}

void runExitRoutine() {
    if (layer.exitRoutineRan || !layer.exitRoutine) return;
    layer.exitRoutineRan = true;
    layer.exitRoutine();
}

int runMainMessageLoop() {
    layer.mainLoopStarted = true;
    MSG msg;
    int exitCode = 0;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) break;
        dispatchOne(msg);
    }
    layer.dispatchOff = true;
    return exitCode;
}

void endProgram(int exitCode) {
    layer.dispatchOff = true;
    runExitRoutine();
    ::OleUninitialize();
    ::ExitProcess(static_cast<UINT>(exitCode));
}

bool eventDispatchEnabled() { return !layer.dispatchOff; }

bool subclassControl(HWND control, ControlMouseHandler onMouse) {
    ControlHooks* hooks = hooksOf(control);
    if (!hooks) return false;
    hooks->onMouse = onMouse;
    return true;
}

void setControlPointer(HWND control, HCURSOR pointer) {
    ControlHooks* hooks = hooksOf(control);
    if (!hooks) return;
    hooks->pointer = pointer;
    // Show it at once when the mouse is over the control (or captured by it).
    POINT cursor;
    if (pointer && ::GetCursorPos(&cursor) &&
        (::WindowFromPoint(cursor) == control || ::GetCapture() == control)) {
        ::SetCursor(pointer);
    }
}

void resetWindowLayerForTests() {
    for (HWND hwnd : std::vector<HWND>(layer.windows)) ::DestroyWindow(hwnd);
    layer = LayerState{};
}
