// The command line of the rig's helper programs (pagehost, winprobe, withenv): the
// arguments after the program's name, where an argument "@FILE" stands for the
// lines of FILE, read as UTF-8, one argument per line (LF or CR LF).
//
// Wine turns a Unix command line into UTF-16 by the Unix locale, so under the C
// locale Chinese arguments would arrive mangled; tests/rig/tiyanrig.py passes
// any argument that is not plain ASCII through such a file. Header only.
//
// Tested by the rig self-test tests/rig/rig_selftest.py.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/scoped_win.h"

// False when the command line cannot be read or a response file is missing.
inline bool programArguments(std::vector<std::wstring>* arguments) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!args) return false;
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        if (args[i][0] != L'@') {
            arguments->push_back(args[i]);
            continue;
        }
        UniqueFileHandle file(::CreateFileW(args[i] + 1, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        ok = file && ::GetFileSizeEx(file.get(), &size) && size.QuadPart < (1 << 20);
        if (!ok) break;
        std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        ok = bytes.empty() || (::ReadFile(file.get(), bytes.data(),
                                          static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                               got == bytes.size());
        int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
        std::wstring text(static_cast<size_t>(length), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                              length);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring line = text.substr(start, end - start);
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            arguments->push_back(line);
            start = end + 1;
        }
    }
    ::LocalFree(args);
    return ok;
}
