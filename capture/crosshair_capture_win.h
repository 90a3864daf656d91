// The crosshair drag that reads a browser page into capturedPageHtml.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "app/scoped_win.h"
#include "app/text.h"

// Mouse events of the crosshair box 图片框1.
void beginCrosshairDrag();
void trackCrosshairDrag();
void endCrosshairDrag();

HWND windowUnderCursor();
Text windowClassName(HWND window);
ComPtr<IDispatch> documentFromWindow(HWND window);
