// The small window that shows "加载中..." while the question bank is loaded.
#pragma once

#include <windows.h>

#include "app/window_layer_win.h"

extern const WindowForm LoadingWindow;

// First-time-active event of LoadingWindow: downloads, decrypts and stores
// the bank, then closes the window; on failure shows a message and ends the
// program.
void loadQuestionBank();
