// The answer stored in the bank file for one question id, read with the platform's
// profile reader exactly as the listing asks for it.
#pragma once

#include <string_view>

#include "app/text.h"

// The answer for `questionId` in the bank file named by appState.bankFilePath, section
// "考试题目", default "[无]". Leading bytes of value 0x20 or less are skipped in the file
// name, the section and the key; when one of them is left empty the result is the empty
// text and no file is read. Each call reads the file again.
Text lookupAnswer(std::string_view questionId);

// The same with the bank file given.
Text lookupAnswerIn(std::string_view bankFilePath, std::string_view questionId);
