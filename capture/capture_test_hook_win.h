// TEST HOOK, off unless the environment asks for it. When the variable
// TIYAN_TEST_DUMP names a file, the capture writes appState.capturedPageHtml
// into that file (replacing it, exact bytes, no terminator) every time it
// replaces the text, so that tests running the tool in another process can
// read what was captured. Without the variable nothing is written and the
// program behaves exactly as without the hook.
//
// Tested by tests/capture/crosshair_capture_test.py.
#pragma once

#include "app/text.h"

void mirrorCapturedPageForTests(const Text& capturedPageHtml);
