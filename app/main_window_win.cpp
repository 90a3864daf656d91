// Tested by tests/app/main_window_test.py.
#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "answers/get_answers_win.h"
#include "app/application_win.h"
#include "app/product_win.h"
#include "app/static_controls_win.h"
#include "capture/crosshair_capture_win.h"
#include "capture/crosshair_images.h"

MainWindowControls mainWindow;

namespace {

constexpr int kOuterWidth = 484;
constexpr int kOuterHeight = 379;

RECT at(int left, int top, int width, int height) {
    return RECT{left, top, left + width, top + height};
}

HWND createStandard(const wchar_t* className, const wchar_t* text, DWORD style, RECT where) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | WS_CLIPSIBLINGS | style, where.left,
                             where.top, where.right - where.left, where.bottom - where.top,
                             mainWindow.window, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

void addListColumn(HWND list, int index, const wchar_t* title, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

HWND createQuestionList(RECT where) {
    HWND list = createStandard(
        WC_LISTVIEWW, L"",
        WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS,
        where);
    if (!list) return nullptr;
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_FLATSB | LVS_EX_INFOTIP |
                     LVS_EX_SUBITEMIMAGES;
    ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    ::SendMessageW(list, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
    ::SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
    ::SendMessageW(list, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    addListColumn(list, 0, L"序号", 60);
    addListColumn(list, 1, L"题目", 290);
    addListColumn(list, 2, L"答案", 70);
    return list;
}

void onCrosshairMouse(HWND, UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
            beginCrosshairDrag();
            break;
        case WM_MOUSEMOVE:
            trackCrosshairDrag();
            break;
        case WM_LBUTTONUP:
            endCrosshairDrag();
            break;
        default:
            break;
    }
}

void onTopmostBoxMouse(HWND, UINT message) {
    if (message == WM_LBUTTONUP) toggleTopmost();
}

void onInviteLabelMouse(HWND, UINT message) {
    if (message == WM_LBUTTONUP) openInvitePage();
}

bool createControls() {
    MainWindowControls& w = mainWindow;
    HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    // Creation order is stacking order: each control lies above the later ones.
    w.图片框1 = createPictureBox(w.window, at(163, 8, 40, 40));
    w.标签2 = createLabel(w.window, kSupportLabelText, at(19, 312, 245, 24), RGB(255, 0, 0));
    w.选择框1 = createStandard(
        L"BUTTON", L"窗口置顶",
        WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE | BS_LEFT | BS_VCENTER,
        at(401, 19, 70, 24));
    w.标签4 = createLabel(w.window, kInviteLabelText, at(319, 311, 142, 24), RGB(255, 0, 0));
    w.按钮_获取答案 = createStandard(
        L"BUTTON", L"获取答案",
        WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_CENTER | BS_VCENTER,
        at(327, 14, 66, 31));
    w.超级列表框1 = createQuestionList(at(10, 57, 456, 240));
    w.编辑框1 =
        createStandard(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, at(177, 17, 16, 24));
    w.标签1 = createLabel(w.window, L"请先拖动十字架到答题页面          然后再点击获取答案",
                          at(7, 14, 321, 31), RGB(0, 0, 255));
    w.分组框1 = createStandard(L"BUTTON", L"", WS_VISIBLE | BS_GROUPBOX, at(10, 301, 456, 40));
    HWND all[] = {w.图片框1,     w.标签2,   w.选择框1, w.标签4,  w.按钮_获取答案,
                  w.超级列表框1, w.编辑框1, w.标签1,   w.分组框1};
    auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    ::SendMessageW(w.window, WM_SETFONT, font, FALSE);
    for (HWND control : all) {
        if (!control) return false;
        ::SendMessageW(control, WM_SETFONT, font, FALSE);
    }
    subclassControl(w.图片框1, onCrosshairMouse);
    setControlPointer(w.图片框1, hand);
    setPicture(w.图片框1, ByteArray(crosshairImage.begin(), crosshairImage.end()));
    subclassControl(w.选择框1, onTopmostBoxMouse);
    subclassControl(w.标签4, onInviteLabelMouse);
    setControlPointer(w.标签4, hand);
    setControlPointer(w.标签2, hand);
    return true;
}

HWND buildMainWindow(void* createParam) {
    if (!registerStaticControlClasses()) return nullptr;
    mainWindow = MainWindowControls{};
    mainWindow.window = ::CreateWindowExW(
        0, MainWindow.className, kMainWindowCaption, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 50,
        50, kOuterWidth, kOuterHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), createParam);
    if (!mainWindow.window) return nullptr;
    if (!createControls()) {
        ::DestroyWindow(mainWindow.window);
        return nullptr;
    }
    return mainWindow.window;
}

bool handleMainWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == mainWindow.按钮_获取答案 &&
                HIWORD(wParam) == BN_CLICKED && eventDispatchEnabled()) {
                getAnswers();
                *result = 0;
                return true;
            }
            return false;
        case WM_CTLCOLORSTATIC:  // check box and group box: black on the window colour
        case WM_CTLCOLORBTN: {
            auto dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, RGB(0, 0, 0));
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            *result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        case WM_ACTIVATE:
            // Activation puts the focus on a control rather than on the window.
            if (LOWORD(wParam) == WA_INACTIVE || HIWORD(wParam)) return false;
            if (!::IsChild(mainWindow.window, ::GetFocus())) ::SetFocus(mainWindow.按钮_获取答案);
            *result = 0;
            return true;
        default:
            return false;
    }
}

}  // namespace

extern const WindowForm MainWindow = {L"TiyanMainWindow", buildMainWindow, handleMainWindowMessage,
                                      WindowHandlers{prepareMainWindow, deleteBankFile, nullptr},
                                      centredOnScreen};

void toggleTopmost() {
    // The box has not yet handled the release: the mark is the one from before the click.
    bool checked = ::SendMessageW(mainWindow.选择框1, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::SetWindowPos(mainWindow.window, checked ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void openInvitePage() {
    ::ShellExecuteA(nullptr, "open", kInviteAddress, nullptr, nullptr, SW_SHOWNORMAL);
}
