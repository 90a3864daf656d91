// Tested by tests/app/codepage_win_test.cpp.
#include "app/codepage_win.h"

std::wstring wideFromText(std::string_view text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = ::MultiByteToWideChar(kTextCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(kTextCodePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

Text textFromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    int size = static_cast<int>(wide.size());
    int length =
        ::WideCharToMultiByte(kTextCodePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    Text text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(kTextCodePage, 0, wide.data(), size, text.data(), length, nullptr,
                          nullptr);
    return toText(std::string_view(text));  // a Text ends at its first zero byte
}
