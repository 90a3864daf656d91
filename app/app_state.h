// The program's one record of shared state. Only the user-interface thread
// touches it, so it needs no lock. Text fields are always replaced whole.
#pragma once

#include "app/text.h"

struct AppState {
    Text bankFilePath;      // the temporary bank file, set once when the bank loading starts
    Text capturedPageHtml;  // body HTML of the last page read during a crosshair drag
    bool isDragging = false;
};

extern AppState appState;

// The exit routine: releases the shared texts. Touches no file and no window.
void exitCleanup();
