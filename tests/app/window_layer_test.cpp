// The order of window events through a modal load and a close, as the rest of
// the program relies on it: built hidden, created, shown; a modal load
// disables the other windows and returns after its window is gone; the first
// activation comes after painting; closing runs will-be-destroyed while the
// controls exist; the last window gone posts the quit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/window_layer_win.h"

namespace {

std::vector<std::string> events;
HWND outerWindow = nullptr;
HWND innerWindow = nullptr;
HWND innerControl = nullptr;

extern const WindowForm kOuterForm;
extern const WindowForm kInnerForm;

std::string state(HWND hwnd) {
    return std::string(::IsWindowVisible(hwnd) ? " visible" : " hidden") +
           (::IsWindowEnabled(hwnd) ? " enabled" : " disabled");
}

HWND buildOuter(void* param) {
    outerWindow = ::CreateWindowExW(0, kOuterForm.className, L"outer", WS_OVERLAPPEDWINDOW, 0, 0,
                                    300, 200, nullptr, nullptr, nullptr, param);
    return outerWindow;
}

HWND buildInner(void* param) {
    innerWindow = ::CreateWindowExW(0, kInnerForm.className, L"inner", WS_CAPTION | WS_SYSMENU, 0,
                                    0, 200, 100, nullptr, nullptr, nullptr, param);
    innerControl = ::CreateWindowExW(0, L"STATIC", L"x", WS_CHILD | WS_VISIBLE, 1, 1, 50, 20,
                                     innerWindow, nullptr, nullptr, nullptr);
    return innerWindow;
}

bool innerMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_PAINT) {
        if (events.empty() || events.back() != "inner painted") events.push_back("inner painted");
    }
    return false;
}

void outerCreated() {
    events.push_back("outer created" + state(outerWindow));
    bool loaded = loadWindow(kInnerForm, true);
    events.push_back(std::string("inner load returned ") + (loaded ? "true" : "false") +
                     (::IsWindow(innerWindow) ? " inner alive" : " inner gone") +
                     state(outerWindow));
}

void outerWillBeDestroyed() { events.push_back("outer will be destroyed"); }

void innerCreated() { events.push_back("inner created" + state(innerWindow)); }

void innerFirstActive() {
    events.push_back("inner first active" + state(innerWindow) + ", outer" + state(outerWindow));
    closeWindow(innerWindow);
    events.push_back("inner close posted");
}

void innerWillBeDestroyed() {
    events.push_back(std::string("inner will be destroyed") +
                     (::IsWindow(innerControl) ? " control exists" : " control gone"));
}

POINT origin(SIZE) { return POINT{10, 10}; }

const WindowForm kOuterForm = {L"LayerTestOuter", buildOuter, nullptr,
                               WindowHandlers{outerCreated, outerWillBeDestroyed, nullptr}, origin};
const WindowForm kInnerForm = {L"LayerTestInner", buildInner, innerMessage,
                               WindowHandlers{innerCreated, innerWillBeDestroyed, innerFirstActive},
                               origin};

int exitRoutineRuns = 0;
void countExitRoutine() { ++exitRoutineRuns; }

TEST(WindowLayer, ModalLoadAndCloseRunInOrder) {
    resetWindowLayerForTests();
    ASSERT_TRUE(registerFormClass(kOuterForm, nullptr, nullptr));
    ASSERT_TRUE(registerFormClass(kInnerForm, nullptr, nullptr));
    events.clear();

    ASSERT_TRUE(loadWindow(kOuterForm, false));
    events.push_back("outer load returned" + state(outerWindow));
    closeWindow(outerWindow);
    int code = runMainMessageLoop();
    events.push_back("quit " + std::to_string(code));

    const std::vector<std::string> expected = {
        "outer created hidden enabled",
        "inner created hidden enabled",
        "inner painted",
        "inner first active visible enabled, outer hidden disabled",
        "inner close posted",
        "inner will be destroyed control exists",
        "inner load returned true inner gone hidden enabled",
        "outer load returned visible enabled",
        "outer will be destroyed",
        "quit 0",
    };
    EXPECT_EQ(events, expected);
    EXPECT_FALSE(eventDispatchEnabled()) << "handlers must not run once shutdown has begun";
}

TEST(WindowLayer, FirstActiveRunsOnlyOnce) {
    resetWindowLayerForTests();
    static int activations = 0;
    static HWND window = nullptr;
    static const WindowForm form = {
        L"LayerTestOnce",
        [](void* param) {
            window = ::CreateWindowExW(0, L"LayerTestOnce", L"once", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                       100, nullptr, nullptr, nullptr, param);
            return window;
        },
        nullptr, WindowHandlers{nullptr, nullptr, [] { ++activations; }}, origin};
    ASSERT_TRUE(registerFormClass(form, nullptr, nullptr));
    ASSERT_TRUE(loadWindow(form, false));
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 0,
                                   100, 100, nullptr, nullptr, nullptr, nullptr);
    for (int round = 0; round < 3; ++round) {
        ::SetActiveWindow(other);
        ::SetActiveWindow(window);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    EXPECT_EQ(activations, 1);
    ::DestroyWindow(other);
    resetWindowLayerForTests();
}

TEST(WindowLayer, ExitRoutineRunsExactlyOnce) {
    resetWindowLayerForTests();
    exitRoutineRuns = 0;
    registerExitRoutine(countExitRoutine);
    registerExitRoutine(countExitRoutine);
    runExitRoutine();
    runExitRoutine();
    EXPECT_EQ(exitRoutineRuns, 1);
}

}  // namespace
