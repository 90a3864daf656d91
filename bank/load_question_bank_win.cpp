// Tested by tests/bank/load_question_bank_test.py, tests/bank/load_question_bank_win_test.cpp
// and the hostile-input rig tests beside them (huge banks, stalled servers, full disks).
#include <windows.h>

#include <new>

#include "app/app_state.h"
#include "app/window_layer_win.h"
#include "bank/bank_store_win.h"
#include "bank/loading_window_win.h"
#include "web/web_request_win.h"

namespace {

// The password whose MD5 digest keys the bank's RC4 encryption.
constexpr char kBankPassword[] = "5072439105";

Text bankUrl() { return concatText({"http://", BANK_HOST, "/question"}); }

// Shows a failure of the loading and ends the program once it is read.
[[noreturn]] void failLoading(const wchar_t* message) {
    ::MessageBoxW(nullptr, message, L"信息：", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    endProgram(0);
}

// The bank as stored: downloaded, decrypted and written. Empty when it was not
// obtained; *written tells whether the file holds it.
Text fetchAndStore(const BankLoadingSteps& steps, bool* written) {
    WebRequestArgs download;
    download.url = bankUrl();
    download.timeoutSeconds = -1;
    ByteArray body = steps.download(download);

    Text bank = steps.decrypt(body, kBankPassword);
    if (!bank.empty()) *written = steps.write(appState.bankFilePath, toBytes(bank));
    return bank;
}

}  // namespace

const BankLoadingSteps kPlatformBankLoadingSteps{webRequest, decryptBank, writeFile, failLoading};

void loadQuestionBankWith(const BankLoadingSteps& steps) {
    appState.bankFilePath = tempFileName();

    bool written = false;
    Text bank;
    try {
        bank = fetchAndStore(steps, &written);
    } catch (const std::bad_alloc&) {
        // A body too big for the address space fails one of its copies. The exception
        // must not leave this window procedure (nothing above it can handle it), and
        // the bank never arrived whole: the download failed. A file the write may have
        // begun goes with it.
        ::DeleteFileA(appState.bankFilePath.c_str());
        steps.fail(L"题库获取失败, 请检查网络是否正常!");
        return;
    }
    if (bank.empty()) {
        steps.fail(L"题库获取失败, 请检查网络是否正常!");
        return;
    }
    if (!written) {
        steps.fail(L"题库创建失败, 请检查权限是否正确!");
        return;
    }
    closeWindow(windowOf(LoadingWindow));
}

void loadQuestionBank() { loadQuestionBankWith(kPlatformBankLoadingSteps); }
