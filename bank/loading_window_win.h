// The small window that shows "加载中..." while the question bank is loaded.
#pragma once

#include <windows.h>

#include <string_view>

#include "app/text.h"
#include "app/window_layer_win.h"

struct WebRequestArgs;

extern const WindowForm LoadingWindow;

// First-time-active event of LoadingWindow: downloads, decrypts and stores
// the bank, then closes the window; on failure shows a message and ends the
// program.
void loadQuestionBank();

// The steps loadQuestionBank takes, so that a test can make any of them fail
// (allocation failures included). `fail` shows the message and ends the program;
// loadQuestionBankWith returns when it returns.
struct BankLoadingSteps {
    ByteArray (*download)(WebRequestArgs& args);
    Text (*decrypt)(const ByteArray& encrypted, std::string_view password);
    bool (*write)(std::string_view path, const ByteArray& bytes);
    void (*fail)(const wchar_t* message);
};
extern const BankLoadingSteps kPlatformBankLoadingSteps;
void loadQuestionBankWith(const BankLoadingSteps& steps);
