// Tested by tests/app/main_window_test.py.
#include "app/application_win.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "app/app_state.h"
#include "app/main_window_win.h"
#include "app/window_layer_win.h"
#include "bank/loading_window_win.h"

namespace {

constexpr int kApplicationIconId = 1;

void useProgramFolderAsCurrentDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    for (;;) {
        length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return;
        if (length < path.size()) break;
        path.resize(path.size() * 2);
    }
    path.resize(length);
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    path.resize(slash + 1);
    ::SetCurrentDirectoryW(path.c_str());
}

bool registerWindowClasses() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto large = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kApplicationIconId),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                 ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    auto small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kApplicationIconId),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return registerFormClass(MainWindow, large, small) &&
           registerFormClass(LoadingWindow, nullptr, nullptr);
}

}  // namespace

int runApplication() {
    ::OleInitialize(nullptr);
    useProgramFolderAsCurrentDirectory();
    registerExitRoutine(exitCleanup);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    if (!registerWindowClasses() || !loadWindow(MainWindow, false)) {
        ::MessageBoxW(nullptr, L"主窗口创建失败, 程序无法启动!", L"信息：",
                      MB_OK | MB_ICONERROR | MB_TASKMODAL);
        runExitRoutine();
        ::OleUninitialize();
        return 1;
    }
    int exitCode = runMainMessageLoop();
    runExitRoutine();
    ::OleUninitialize();
    return exitCode;
}

void prepareMainWindow() {
    loadWindow(LoadingWindow, true);
    ::SendMessageW(mainWindow.选择框1, BM_SETCHECK, BST_UNCHECKED, 0);
}

void deleteBankFile() { ::DeleteFileA(appState.bankFilePath.c_str()); }
