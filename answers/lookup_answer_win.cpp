// Tested by tests/answers/lookup_answer_win_test.cpp.
#include "answers/lookup_answer_win.h"

#include <windows.h>

#include <string>
#include <vector>

#include "answers/profile_reader.h"
#include "app/app_state.h"

namespace {

std::string_view skipLowBytes(std::string_view text) {
    std::size_t skip = 0;
    while (skip < text.size() && static_cast<unsigned char>(text[skip]) <= 0x20) ++skip;
    text.remove_prefix(skip);
    return text.substr(0, text.find('\0'));
}

}  // namespace

Text lookupAnswerIn(std::string_view bankFilePath, std::string_view questionId) {
    std::string file(skipLowBytes(bankFilePath));
    std::string section(skipLowBytes(kBankSection));
    std::string key(skipLowBytes(questionId));
    if (file.empty() || section.empty() || key.empty()) return {};
    const std::string fallback(kNoAnswer);
    // Zeroed, so that a cut inside a double-byte character leaves no stale byte behind.
    std::vector<char> buffer(kProfileBufferSize, '\0');
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                               kProfileBufferSize, file.c_str());
    return toText(std::string_view(buffer.data()));
}

Text lookupAnswer(std::string_view questionId) {
    return lookupAnswerIn(appState.bankFilePath, questionId);
}
