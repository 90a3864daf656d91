// Tested by tests/bank/load_question_bank_test.py.
#include <windows.h>

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

}  // namespace

void loadQuestionBank() {
    appState.bankFilePath = tempFileName();

    WebRequestArgs download;
    download.url = bankUrl();
    download.timeoutSeconds = -1;
    ByteArray body = webRequest(download);

    Text bank = decryptBank(body, kBankPassword);
    if (bank.empty()) failLoading(L"题库获取失败, 请检查网络是否正常!");
    if (!writeFile(appState.bankFilePath, toBytes(bank))) {
        failLoading(L"题库创建失败, 请检查权限是否正确!");
    }
    closeWindow(windowOf(LoadingWindow));
}
