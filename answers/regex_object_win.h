// RegexObject: runs one regular expression over one subject text and answers
// how many matches there are, their texts and the texts of their capture
// groups, and on request where such a text lies in the subject as a byte
// offset. It drives "VBScript.RegExp" by member name; where that component
// cannot be created it drives the built-in stand-in (regex_automation_win.h)
// through the same calls, with the same results.
//
// Indices are 1-based here and handed to the component's "Item" 0-based, as
// floating point. Texts cross as UTF-16 converted with code page 936. No
// operation shows a message or throws: a failed call gives empty text or 0.
//
// Example:
//   RegexObject re;
//   re.execute("<li.*?id=\"(\\d+)\".*?>(.*?)</li>", page);
//   for (int i = 1; i <= re.matchCount(); ++i) use(re.subMatchText(i, 1));
//
// Tested by tests/answers/regex_object_win_test.cpp.
#pragma once

#include <string_view>

#include "app/scoped_win.h"
#include "app/text.h"

// Which expression object `execute` creates. The program always uses
// componentFirst; builtIn is for the tests that compare the two.
enum class RegexEngineChoice { componentFirst, builtIn };

class RegexObject {
  public:
    // Enters COM's single-threaded apartment (CoInitialize); the result is
    // kept only to balance it.
    explicit RegexObject(RegexEngineChoice choice = RegexEngineChoice::componentFirst);
    // Releases `expression`, empties `subject`, balances the apartment, then
    // releases `matches`.
    ~RegexObject();
    RegexObject(const RegexObject&) = delete;
    RegexObject& operator=(const RegexObject&) = delete;

    // Replaces expression, matches and subject. True when the pattern ran,
    // even without a match; false when it was rejected.
    bool execute(std::string_view pattern, std::string_view subjectText, bool caseSensitive = false,
                 bool multiline = true, bool global = true);
    Text patternText();
    // The kept subject with the matches replaced ($1..$99, $&, $`, $', $$).
    Text replace(std::string_view replacement);
    int matchCount();
    // Match `index` (from 1). With `position`, also the 0-based byte offset
    // found by searching the subject for the text from the match's
    // "FirstIndex" taken as a 1-based byte position; -2 when not found.
    Text matchText(int index, int* position = nullptr);
    // Capture group `subIndex` (from 1) of match `index`; empty text for a
    // group that took no part. The position search starts at the match.
    Text subMatchText(int index, int subIndex, int* position = nullptr);
    // The number of capture groups, or 0 when nothing matched.
    int subMatchCount();

    ComPtr<IDispatch> expression;  // the expression object of the last execute
    ComPtr<IDispatch> matches;     // its match collection; empty when Execute failed
    Text subject;                  // the object's own copy of the last subject

  private:
    ComPtr<IDispatch> match(int index);
    int positionOf(IDispatch* match, std::string_view text);

    RegexEngineChoice choice_;
    HRESULT apartment_;
};
