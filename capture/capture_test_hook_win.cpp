// TEST HOOK (see the header). Tested by tests/capture/crosshair_capture_test.py.
#include "capture/capture_test_hook_win.h"

#include <windows.h>

#include <string>

#include "app/scoped_win.h"

namespace {

// The file named by TIYAN_TEST_DUMP, read once; empty when the hook is off.
const std::wstring& dumpPath() {
    static const std::wstring path = [] {
        wchar_t buffer[MAX_PATH + 1] = {};
        DWORD length = ::GetEnvironmentVariableW(L"TIYAN_TEST_DUMP", buffer, MAX_PATH + 1);
        return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
    }();
    return path;
}

}  // namespace

void mirrorCapturedPageForTests(const Text& capturedPageHtml) {
    const std::wstring& path = dumpPath();
    if (path.empty()) return;
    // Written beside and renamed, so that a reader never sees half a page.
    std::wstring part = path + L".part";
    {
        UniqueFileHandle file(::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        if (!::WriteFile(file.get(), capturedPageHtml.data(),
                         static_cast<DWORD>(capturedPageHtml.size()), &written, nullptr)) {
            return;
        }
    }
    ::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}
