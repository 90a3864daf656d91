// Tested by tests/capture/document_from_window_win_test.cpp,
// tests/capture/crosshair_capture_test.py and tools/bench/bench_capture.py.
#include "capture/crosshair_capture_win.h"

#include <oleacc.h>

#include <cstdint>
#include <cstring>

#include "app/app_state.h"
#include "app/codepage_win.h"
#include "app/dispatch_win.h"
#include "app/main_window_win.h"
#include "app/static_controls_win.h"
#include "app/window_layer_win.h"
#include "capture/capture_test_hook_win.h"
#include "capture/crosshair_cursor_win.h"
#include "capture/crosshair_images.h"

namespace {

constexpr char kDocumentWindowClass[] = "Internet Explorer_Server";
constexpr UINT kDocumentTimeoutMs = 1000;

ByteArray crosshairPicture() { return ByteArray(crosshairImage.begin(), crosshairImage.end()); }

// Handles the messages waiting in the thread's queue, so that a new pointer
// and picture show at once. A quit message is put back for the loop that
// owns it.
void processWaitingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

void beginCrosshairDrag() {
    HWND box = mainWindow.图片框1;
    appState.isDragging = true;
    setControlPointer(box, crosshairCursor());
    setPicture(box, ByteArray{});  // blank, as if the crosshair had been picked up
    processWaitingMessages();
    // A quick click may have had its release handled just now, ending the drag
    // already; capturing the mouse then would keep it captured with no drag
    // and send the next click anywhere on the screen to the box.
    if (appState.isDragging) ::SetCapture(box);
}

void trackCrosshairDrag() {
    if (!appState.isDragging) return;
    HWND window = windowUnderCursor();
    if (compareText(windowClassName(window), kDocumentWindowClass) != 0) return;
    ComPtr<IDispatch> document = documentFromWindow(window);
    Text url = textOf(invokeMember(document.Get(), L"url"));
    Text label = concatText({windowHandleText(window), " - ", url});
    ::SetWindowTextW(mainWindow.编辑框1, wideFromText(label).c_str());
    Text html;
    {
        ComPtr<IDispatch> body = dispatchOf(invokeMember(document.Get(), L"body"));
        html = textOf(invokeMember(body.Get(), L"innerHTML"));
    }
    appState.capturedPageHtml = std::move(html);
    mirrorCapturedPageForTests(appState.capturedPageHtml);
    document.Reset();
}

void endCrosshairDrag() {
    if (!appState.isDragging) return;
    HWND box = mainWindow.图片框1;
    ::ReleaseCapture();
    appState.isDragging = false;
    setControlPointer(box, handCursor());
    setPicture(box, crosshairPicture());
}

HWND windowUnderCursor() {
    POINT point{0, 0};
    ::GetCursorPos(&point);
    return ::WindowFromPoint(point);
}

Text windowClassName(HWND window) {
    Text name = blankText(256);  // 256 bytes and the string's terminating zero
    ::GetClassNameA(window, name.data(), 255);
    return Text(name.c_str());
}

ComPtr<IDispatch> documentFromWindow(HWND window) {
    char name[259] = {};
    ::GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, kDocumentWindowClass) != 0) return {};
    UINT message = ::RegisterWindowMessageA("WM_HTML_GETOBJECT");
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, kDocumentTimeoutMs, &result);
    void* object = nullptr;
    HRESULT hr = ::ObjectFromLresult(static_cast<LRESULT>(result), kHtmlDocumentIid, 0, &object);
    // The interface derives from IDispatch and is used only through it.
    ComPtr<IDispatch> document;
    if (SUCCEEDED(hr)) document.Attach(static_cast<IDispatch*>(object));
    return document;
}

Text windowHandleText(HWND window) {
    auto low = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
    return toText(static_cast<std::int64_t>(low));
}
