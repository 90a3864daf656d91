// The main window: instruction line, crosshair box, "获取答案", "窗口置顶",
// the question list and the bottom strip with two link labels.
//
// Tested by tests/app/main_window_test.py.
#pragma once

#include <windows.h>

#include "app/window_layer_win.h"

// The controls of the loaded main window, in creation (and stacking) order.
struct MainWindowControls {
    HWND window = nullptr;
    HWND 图片框1 = nullptr;  // crosshair picture box
    HWND 标签2 = nullptr;    // support contact
    HWND 选择框1 = nullptr;  // "窗口置顶"
    HWND 标签4 = nullptr;    // invitation link
    HWND 按钮_获取答案 = nullptr;
    HWND 超级列表框1 = nullptr;  // questions and answers
    HWND 编辑框1 = nullptr;      // hidden: last captured window and URL
    HWND 标签1 = nullptr;        // instruction
    HWND 分组框1 = nullptr;
};

extern MainWindowControls mainWindow;
extern const WindowForm MainWindow;

// Handlers that live in the window itself.
void toggleTopmost();
void openInvitePage();
