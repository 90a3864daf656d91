// Placeholder until the page capture lands: the drag does nothing yet.
#include "capture/crosshair_capture_win.h"

void beginCrosshairDrag() {}
void trackCrosshairDrag() {}
void endCrosshairDrag() {}
HWND windowUnderCursor() { return nullptr; }
Text windowClassName(HWND) { return {}; }
ComPtr<IDispatch> documentFromWindow(HWND) { return {}; }
