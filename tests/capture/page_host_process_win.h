// Starts tools/pagehost (pagehost.exe, beside the running program) in a
// process of its own and finds its windows, for the Win32 tests and the
// benchmark of the capture. Header only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/scoped_win.h"

// Writes bytes to a new file in the temporary directory; returns its path.
inline std::wstring writeTempFile(std::string_view bytes, const wchar_t* prefix) {
    wchar_t folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, prefix, 0, path);
    UniqueFileHandle file(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) {
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    return path;
}

class PageHostProcess {
  public:
    // Starts pagehost with the page, URL and further options and waits (up to
    // 20 s) for its window. `title` must be unique among running page hosts.
    PageHostProcess(const std::wstring& pagePath, const std::wstring& url,
                    const std::wstring& title, const std::wstring& options = L"") {
        wchar_t self[MAX_PATH + 1] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring exe = self;
        exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"pagehost.exe";
        std::wstring command = L"\"" + exe + L"\" --html \"" + pagePath + L"\" --url \"" + url +
                               L"\" --title \"" + title + L"\" " + options;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info)) {
            return;
        }
        process_.reset(info.hProcess);
        ::CloseHandle(info.hThread);
        for (int i = 0; i < 400 && !frame_; ++i) {
            frame_ = ::FindWindowW(L"TiyanPageHost", title.c_str());
            if (!frame_) ::Sleep(50);
        }
        if (frame_)
            server_ = ::FindWindowExW(frame_, nullptr, L"Internet Explorer_Server", nullptr);
    }
    PageHostProcess(const PageHostProcess&) = delete;
    PageHostProcess& operator=(const PageHostProcess&) = delete;
    ~PageHostProcess() {
        if (!process_) return;
        if (frame_) ::PostMessageW(frame_, WM_CLOSE, 0, 0);
        if (::WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process_.get(), 1);
        }
    }

    HWND frame() const { return frame_; }
    HWND server() const { return server_; }  // the "Internet Explorer_Server" child
    POINT serverCentre() const {
        RECT r{};
        ::GetWindowRect(server_, &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

  private:
    UniqueHandle process_;
    HWND frame_ = nullptr;
    HWND server_ = nullptr;
};
