// The window layer: how the program's windows are loaded, when their events
// run, how they close and when the program quits.
//
//  1. Loading builds the window and all of its controls hidden; no event
//     handler runs while they are being built.
//  2. Then the window's created event runs.
//  3. Then the window is shown where its form puts it.
//  4. A modal load also disables every other top-level window of the program
//     and runs a nested message loop until the window has been destroyed;
//     then the disabled windows are enabled again.
//  5. The first-time-active event runs once, the first time the window becomes
//     active, after it has been painted.
//  6. A window closes by the user (close box, system menu, Alt+F4, Esc) or by
//     closeWindow, which is posted. Its will-be-destroyed event runs while the
//     window and its controls still exist.
//  7. When the last window of the program is gone and the main message loop
//     has started, the quit message is posted with 0.
//  8. Once shutdown has begun, no event handler runs any more.
//  9. Mouse events of a control reach its handler before the control itself
//     processes the message (see subclassControl).
//
// Tested by tests/app/window_layer_test.cpp.
#pragma once

#include <windows.h>

struct WindowHandlers {
    void (*created)() = nullptr;
    void (*willBeDestroyed)() = nullptr;
    void (*firstTimeActive)() = nullptr;
};

struct WindowForm {
    const wchar_t* className;
    // Creates the top-level window (hidden) with `createParam` passed on to
    // CreateWindowExW, then its controls. Returns null on failure.
    HWND (*build)(void* createParam);
    // Messages of the form itself (painting, colours, commands). Returns true
    // when it handled the message and set *result.
    bool (*handleMessage)(HWND, UINT, WPARAM, LPARAM, LRESULT* result);
    WindowHandlers handlers;
    // Where the window is shown, in screen coordinates, from its outer size.
    POINT (*position)(SIZE outerSize);
    int backgroundColour = COLOR_BTNFACE;  // a system colour index
};

// Centres a window of the given outer size on the primary screen.
POINT centredOnScreen(SIZE outerSize);

// Registers the window class of every form with the layer's window procedure.
// `icon` may be null.
bool registerFormClass(const WindowForm& form, HICON largeIcon, HICON smallIcon);

// Loads a window of the program; with `modal` it returns only after the
// window has been destroyed. Returns true when the window was loaded.
bool loadWindow(const WindowForm& form, bool modal);
// The window most recently loaded from `form`, or null when none exists.
HWND windowOf(const WindowForm& form);

// Posts a close request: it takes effect when the running message loop next
// dispatches messages.
void closeWindow(HWND window);

// The exit routine runs once, whichever way the program ends.
void registerExitRoutine(void (*routine)());
void runExitRoutine();

// Runs the main message loop until the quit message; returns its value.
// Event dispatch is switched off when it returns.
int runMainMessageLoop();

// Ends the process at once: dispatch off, exit routine, OleUninitialize,
// ExitProcess. Windows still open are not closed one by one.
[[noreturn]] void endProgram(int exitCode);

// Whether the program's event handlers may run now (rule 8).
bool eventDispatchEnabled();

// Routes the mouse messages of a control to `onMouse` before the control
// processes them (rule 9). `onMouse` returns nothing; the control's own
// processing always follows.
using ControlMouseHandler = void (*)(HWND control, UINT message);
bool subclassControl(HWND control, ControlMouseHandler onMouse);

// Sets the mouse pointer shown over a control; null restores the class default.
void setControlPointer(HWND control, HCURSOR pointer);

// Forgets every window and switches dispatch on again (for tests that load
// windows several times in one process).
void resetWindowLayerForTests();
