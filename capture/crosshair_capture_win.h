// The crosshair drag that reads a browser page into capturedPageHtml.
//
// The user presses the left button on the crosshair box 图片框1, drags over a
// page shown in an "Internet Explorer_Server" window and releases. Every mouse
// move during the drag over such a window reads that page's document: the
// hidden edit box 编辑框1 receives "<handle> - <url>" and the inner HTML of the
// page's body replaces appState.capturedPageHtml. The three handlers are the
// box's mouse events (left button pressed, mouse moved, left button released);
// they ignore the event's coordinates and keys.
//
// States of the box:
//   before the first drag   isDragging false  picture crosshairImage  pointer IDC_HAND
//   dragging                isDragging true   picture none            pointer crosshairImage
//   after a drag            isDragging false  picture crosshairImage  pointer handImage
//
// Tested by tests/capture/document_from_window_win_test.cpp,
// tests/capture/crosshair_capture_test.py and tools/bench/bench_capture.py.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "app/scoped_win.h"
#include "app/text.h"

// The document window's interface that the capture asks the accessibility
// bridge for: {626FC520-A41E-11CF-A731-00A0C9082637}, the base HTML document
// interface. It derives from IDispatch, and the capture reads "url", "body"
// and "innerHTML" by name through IDispatch only.
inline constexpr IID kHtmlDocumentIid = {
    0x626FC520, 0xA41E, 0x11CF, {0xA7, 0x31, 0x00, 0xA0, 0xC9, 0x08, 0x26, 0x37}};

// Mouse events of the crosshair box 图片框1.
void beginCrosshairDrag();
void trackCrosshairDrag();
void endCrosshairDrag();

// The window at the current cursor position.
HWND windowUnderCursor();
// The window's class name (GetClassNameA, at most 255 bytes). For a handle
// that is no window: 256 blanks, which equal no class name.
Text windowClassName(HWND window);
// The HTML document of an "Internet Explorer_Server" window, asked for with the
// registered message "WM_HTML_GETOBJECT" (at most 1000 ms, not at all for a
// hung window). Empty for a window of another class and when no document
// comes.
ComPtr<IDispatch> documentFromWindow(HWND window);

// A window handle as the edit box shows it: its low 32 bits as a signed
// decimal number, in the 64-bit build too. windowHandleText(HWND(657)) ==
// "657"; a handle whose bit 31 is set is written with a leading minus sign.
Text windowHandleText(HWND window);
