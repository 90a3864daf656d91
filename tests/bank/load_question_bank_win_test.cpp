// loadQuestionBank with steps that fail: an allocation failure anywhere in the download,
// the decryption or the write (a body too big for a 32-bit address space) ends in the
// download message with no bank file left, like a download that never arrived; the
// ordinary failures keep their own messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "bank/loading_window_win.h"
#include "web/web_request.h"

namespace {

const std::wstring kNoBank = L"题库获取失败, 请检查网络是否正常!";
const std::wstring kNoFile = L"题库创建失败, 请检查权限是否正确!";

enum class Step { none, download, decrypt, write };

// The stand-in steps: each does its work, or throws std::bad_alloc when it is the step
// chosen to run out of memory; the write puts part of the bank into the file first
// and keeps to writeFile's contract when it fails.
Step outOfMemoryAt = Step::none;
ByteArray downloaded;
bool writeSucceeds = true;
std::optional<std::wstring> shown;

ByteArray fakeDownload(WebRequestArgs&) {
    if (outOfMemoryAt == Step::download) throw std::bad_alloc();
    return downloaded;
}

Text fakeDecrypt(const ByteArray& encrypted, std::string_view) {
    if (outOfMemoryAt == Step::decrypt) throw std::bad_alloc();
    return toText(encrypted);
}

bool fakeWrite(std::string_view path, const ByteArray& bytes) {
    std::ofstream file(std::string(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size() / 2));
    file.close();
    if (outOfMemoryAt == Step::write) throw std::bad_alloc();
    if (!writeSucceeds) {  // as writeFile fails: the partial file removed
        ::DeleteFileA(std::string(path).c_str());
        return false;
    }
    std::ofstream(std::string(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return true;
}

void fakeFail(const wchar_t* message) { shown = message; }

const BankLoadingSteps kFakeSteps{fakeDownload, fakeDecrypt, fakeWrite, fakeFail};

bool fileExists(const Text& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Text fileContent(const Text& path) {
    std::ifstream file(path, std::ios::binary);
    return Text(std::istreambuf_iterator<char>(file), {});
}

struct Case {
    const char* name;
    Step outOfMemoryAt;
    const char* body;
    bool writeSucceeds;
    std::optional<std::wstring> message;  // none: the bank is stored
};

const Case kCases[] = {
    {"out of memory in the download", Step::download, "[b]\r\n1=A\r\n", true, kNoBank},
    {"out of memory in the decryption", Step::decrypt, "[b]\r\n1=A\r\n", true, kNoBank},
    {"out of memory in the write, part of the file written", Step::write, "[b]\r\n1=A\r\n", true,
     kNoBank},
    {"an empty body", Step::none, "", true, kNoBank},
    {"a write that fails", Step::none, "[b]\r\n1=A\r\n", false, kNoFile},
    {"a bank stored", Step::none, "[b]\r\n1=A\r\n", true, std::nullopt},
};

TEST(LoadQuestionBank, FailuresEndInTheirMessageWithoutABankFile) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        outOfMemoryAt = c.outOfMemoryAt;
        downloaded = toBytes(c.body);
        writeSucceeds = c.writeSucceeds;
        shown.reset();
        ASSERT_NO_THROW(loadQuestionBankWith(kFakeSteps));
        const Text path = appState.bankFilePath;
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(shown, c.message);
        if (c.message) {
            EXPECT_FALSE(fileExists(path)) << "no bank file is left after a failure";
        } else {
            EXPECT_EQ(fileContent(path), c.body);
        }
        ::DeleteFileA(path.c_str());
    }
}

}  // namespace
