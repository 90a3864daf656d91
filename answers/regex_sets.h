// Building the unit sets of the built-in engine, and the component's
// character classes. Internal to the engine.
//
// Portable: no Windows headers. Tested by tests/answers/regex_engine_test.cpp.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "answers/regex_engine.h"

// \s: the units the component counts as white space.
bool isRegexSpace(char16_t c);
// \w: ASCII letters, digits and the underscore.
bool isRegexWord(char16_t c);
// Where Multiline ^ and $ match: \n, \r, U+2028 and U+2029.
bool isRegexLineTerminator(char16_t c);

class SetBuilder {
  public:
    // Adds lo..hi; with foldCase also the other case of its ASCII letters.
    void add(char16_t lo, char16_t hi, bool foldCase);
    void add(const RegexCharSet& set);
    RegexCharSet build(bool negated) const;

  private:
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges_;
};

// Adds \d \D \s \S \w or \W, given its letter.
void addClassEscape(SetBuilder& builder, char16_t letter);
