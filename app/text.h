// Text operations over code page 936 byte strings.
//
// A Text is a byte string in code page 936 that never holds a zero byte: the
// empty text and a missing text are the same value. Positions are 1-based byte
// positions and -1 means "not found". Scanning operations (findText,
// splitText, replaceSubtext, trimBoth, toUpper, toLower) step over double-byte
// characters: a byte of 0x80 or above forms one character with the byte after
// it, and such a byte standing alone at the end ends the scan. Counting
// operations (textLeft, textRight, textMid) count bytes and may cut a
// character in two. Nothing converts encodings; every operation works on bytes.
//
// Portable: no Windows headers. Tested by tests/app/text_test.cpp.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Text = std::string;
using TextArray = std::vector<Text>;  // the 1-based element k is [k - 1]
using ByteArray = std::vector<std::uint8_t>;

// Position of `sought` in `text` at or after `start` (1 or less: from the
// beginning), comparing ASCII letters without case when `ignoreCase`.
// findText("a中文", "文", 2) == 4; an empty `sought` gives 1 when anything is
// left to scan.
int findText(std::string_view text, std::string_view sought, int start = 1,
             bool ignoreCase = false);

int textLength(std::string_view text);
Text textLeft(std::string_view text, int count);
Text textRight(std::string_view text, int count);
Text textMid(std::string_view text, int start, int count);

// Splits at every `delimiter` (case counts). Empty pieces are kept except a
// trailing one: splitText("a;;b;", ";") == {"a", "", "b"}. At most
// `maxCount` elements are made and the rest is dropped; 0 or less gives none.
TextArray splitText(std::string_view text, std::string_view delimiter = ",",
                    std::optional<int> maxCount = std::nullopt);
int arraySize(const TextArray& array);

// Removes leading and trailing blanks: 0x20 and the full-width space A1 A1.
// Tab, CR and LF are not blanks. A lone lead byte at the very end goes too.
Text trimBoth(std::string_view text);

inline constexpr int kReplaceAll = -1;
// Replaces up to `count` occurrences (negative: all, 0: none) of `oldText`
// found at or after `start`. replaceSubtext("aXbxc", "x", "-", 1, kReplaceAll,
// false) == "a-b-c".
Text replaceSubtext(std::string_view text, std::string_view oldText, std::string_view newText,
                    int start, int count, bool caseSensitive);

Text toUpper(std::string_view text);
Text toLower(std::string_view text);
Text concatText(std::initializer_list<std::string_view> parts);
// 0 when equal; the sign of the first differing unsigned byte otherwise.
int compareText(std::string_view a, std::string_view b);
Text blankText(int count);
Text charFromCode(int byteValue);

// Signed decimal: toText(-12) == "-12".
Text toText(std::int64_t value);
// The bytes up to, not including, the first zero byte.
Text toText(const ByteArray& bytes);
Text toText(std::string_view text);
ByteArray toBytes(std::string_view text);
int bytesLength(const ByteArray& bytes);
ByteArray blankBytes(int count);
