// Tested by tests/bank/bank_file_win_test.cpp.
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "app/scoped_win.h"
#include "bank/bank_store_win.h"

namespace {

Text platformTempDirectory() {
    char folder[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(MAX_PATH, folder);
    // 0 is a failure; more than the buffer means it did not fit, and the buffer holds
    // nothing usable: both give the empty folder (a name in the current folder).
    if (length == 0 || length >= MAX_PATH) return {};
    return Text(folder, length);
}

DWORD platformTickCount() { return ::GetTickCount(); }

bool platformFileExists(const Text& path) {
    WIN32_FIND_DATAA found;
    UniqueFindHandle find(::FindFirstFileA(path.c_str(), &found));
    return static_cast<bool>(find);
}

std::atomic<std::uint32_t> tempNameCalls{0};

}  // namespace

const TempNameSource& platformTempNameSource() {
    static const TempNameSource source{platformTempDirectory, platformTickCount,
                                       platformFileExists};
    return source;
}

Text tempFileNameWith(const TempNameSource& source, std::uint32_t callNumber) {
    Text folder = source.tempDirectory();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    DWORD number = source.tickCount() + callNumber;  // wraps as the tick count does
    const DWORD first = number;
    for (;;) {
        char name[16];
        std::snprintf(name, sizeof name, "%lx.tmp", static_cast<unsigned long>(number));
        Text candidate = folder + name;
        // After every number has been tried the last candidate is taken: defined, if absurd.
        if (!source.fileExists(candidate) || number + 1 == first) return candidate;
        ++number;
    }
}

Text tempFileName() { return tempFileNameWith(platformTempNameSource(), tempNameCalls++); }

bool writeFileWith(const FileCalls& calls, std::string_view pathText, const ByteArray& bytes) {
    if (pathText.empty()) return false;
    const Text path(pathText);
    HANDLE file = calls.createFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;

    bool ok = true;
    constexpr size_t kChunk = 1 << 20;
    for (size_t done = 0; ok && done < bytes.size();) {
        auto count = static_cast<DWORD>(std::min(kChunk, bytes.size() - done));
        DWORD written = 0;
        // A short write (a full disk) is a failure like an error.
        ok = calls.writeFile(file, bytes.data() + done, count, &written, nullptr) &&
             written == count;
        done += written;
    }
    ok = calls.closeHandle(file) && ok;
    if (!ok) calls.deleteFile(path.c_str());
    return ok;
}

bool writeFile(std::string_view path, const ByteArray& bytes) {
    return writeFileWith(FileCalls{}, path, bytes);
}
