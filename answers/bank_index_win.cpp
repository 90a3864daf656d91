// Tested by tests/answers/profile_reader_win_test.cpp.
#include "answers/bank_index_win.h"

#include <windows.h>

#include <string>

#include "app/codepage_win.h"
#include "app/scoped_win.h"

namespace {

std::u16string widen(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int size = static_cast<int>(bytes.size());
    int length = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::u16string wide(static_cast<size_t>(length), u'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(wide.data()),
                          length);
    return wide;
}

std::u16string wideFromUtf8(std::string_view bytes) { return widen(CP_UTF8, bytes); }
std::u16string wideFromText(std::string_view text) { return widen(kTextCodePage, text); }

std::string textFromWide(std::u16string_view wide) {
    if (wide.empty()) return {};
    auto data = reinterpret_cast<const wchar_t*>(wide.data());
    int size = static_cast<int>(wide.size());
    int length = ::WideCharToMultiByte(kTextCodePage, 0, data, size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(kTextCodePage, 0, data, size, text.data(), length, nullptr, nullptr);
    return text;  // zero units stay: the reader ends names and values there itself
}

// The profile reader's file name rule: a bare name lives in the Windows folder.
std::string profilePath(std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) return std::string(name);
    char folder[MAX_PATH] = {};
    UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string(name);
    return std::string(folder, length) + "\\" + std::string(name);
}

}  // namespace

const ProfileCodec& windowsProfileCodec() {
    static const ProfileCodec codec{wideFromUtf8, wideFromText, textFromWide};
    return codec;
}

BankIndex loadBankIndex(std::string_view bankFilePath, std::string_view section) {
    std::string path = profilePath(bankFilePath);
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return BankIndex::withoutFile(::GetLastError() == ERROR_FILE_NOT_FOUND
                                          ? ProfileSource::missingFile
                                          : ProfileSource::unreadable);
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF)
        return BankIndex::build({}, section, windowsProfileCodec());
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr))
        got = 0;
    bytes.resize(got);
    return BankIndex::build(bytes, section, windowsProfileCodec());
}
