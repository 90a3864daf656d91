// Reading the question-bank file the way the profile reader GetPrivateProfileStringA
// reads it, but parsed once so that a click with thousands of lookups stays fast.
//
// The rules, as the platform's profile reader applies them (code page 936):
// - Text is decoded first: a byte 0x81-0xFE followed by 0x40-0x7E or 0x80-0xFE is one
//   character; a lead byte followed by any other byte except zero takes that byte with
//   it and reads as "?" (so a lead byte before a line break joins two lines); a lead
//   byte at the very end reads as "?". A file that begins with EF BB BF (UTF-8), FF FE
//   (UTF-16LE) or FE FF (UTF-16BE) is read as that encoding; the mark is skipped.
// - Lines end at every run of CR and LF characters (CR alone ends a line too).
// - Blanks are tab, LF, VT, FF, CR, 0x1A and space; they are trimmed around lines,
//   section names, key names and values. Nothing else is a blank (not 0xA1A1).
// - A line that starts with "[" and holds a "]" is a section header; the name lies
//   between the "[" and the last "]". A "[" line without "]" is a key line.
// - Any other line is a key: the name is the text before the first "=", the value the
//   text after it. A line without "=" is a key without value. There are no comments:
//   ";x=1" is the key ";x".
// - Names compare with ASCII letters folded (only those); a zero byte ends a name or
//   value. Only the first section with the asked name is searched, and the first key
//   with the asked name in it wins, even when it has no value.
// - Found with a value: the value. Otherwise (no file, no section, no key, a key
//   without "=") the default, with trailing spaces removed except the first character.
// - Either one, when it starts and ends with the same quote (' or ") and has at least
//   two characters, loses the quotes. The result holds at most 10239 bytes, cut after
//   the last whole character that fits.
//
// Portable: no Windows headers. Tested by tests/answers/profile_reader_test.cpp and,
// against GetPrivateProfileStringA itself, tests/answers/profile_reader_win_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/text.h"

// The read buffer of a lookup, terminating zero included.
inline constexpr int kProfileBufferSize = 10240;

// Conversions for bank files that begin with a Unicode byte order mark. The profile
// reader decodes such a file to UTF-16, compares names there, and converts values to
// code page 936 with the platform's conversions; the Windows build passes those (see
// answers/bank_index_win.h). The portable codec converts ASCII exactly and nothing else.
struct ProfileCodec {
    // Bytes after a UTF-8 mark to UTF-16.
    std::u16string (*wideFromUtf8)(std::string_view bytes);
    // Code page 936 to UTF-16, as the platform converts the asked section and key.
    std::u16string (*wideFromText)(std::string_view text);
    // UTF-16 to code page 936, characters without a code as the platform maps them.
    std::string (*textFromWide)(std::u16string_view wide);
};
const ProfileCodec& asciiProfileCodec();

// What became of the attempt to read the file.
enum class ProfileSource {
    read,         // the bytes of the file (an empty file included)
    missingFile,  // no such file in an existing folder: like an empty file
    unreadable,   // any other failure: the default is given without removing quotes
};

// The keys of one section of one bank file.
class BankIndex {
  public:
    // Every lookup gives its default, as for a missing file.
    BankIndex() = default;

    // Parses `fileBytes` and keeps the keys of the first section whose name equals
    // `section` (names trimmed, ASCII letters folded).
    static BankIndex build(std::string_view fileBytes, std::string_view section,
                           const ProfileCodec& codec = asciiProfileCodec());
    // An index for a file that could not be read.
    static BankIndex withoutFile(ProfileSource source);

    // The text GetPrivateProfileStringA(section, key, defaultText, buffer, 10240, file)
    // leaves in a zeroed buffer. An empty key gives the empty text (the platform leaves
    // the buffer untouched). lookup("1001", "[无]") == "A" for "[考试题目]\n1001=A".
    Text lookup(std::string_view key, std::string_view defaultText) const;

    bool hasSection() const { return hasSection_; }
    std::size_t keyCount() const { return slots_.size(); }

  private:
    // One distinct key: its folded name and its answer, both in arena_. Kept sorted by
    // name in one flat array, which builds and searches far faster than a node-based
    // map for a bank of 100 000 keys.
    struct Slot {
        std::size_t name, nameLength, answer, answerLength;
        bool hasValue;
    };
    std::u16string queryUnits(std::string_view text) const;
    std::string_view nameOf(const Slot& slot) const {
        return {arena_.data() + slot.name, slot.nameLength};
    }

    std::string arena_;
    std::vector<Slot> slots_;              // sorted by name; for a repeated name, its first line's
    const ProfileCodec* codec_ = nullptr;  // set for files with a Unicode mark
    ProfileSource source_ = ProfileSource::missingFile;
    bool hasSection_ = false;
};

// The section of the bank and the answer shown for an id the bank lacks (code page 936).
inline constexpr std::string_view kBankSection = "\xBF\xBC\xCA\xD4\xCC\xE2\xC4\xBF";  // 考试题目
inline constexpr std::string_view kNoAnswer = "[\xCE\xDE]";                           // [无]

// lookupAnswer's rules over an index of section kBankSection: leading bytes of value
// 0x20 or less are skipped, an id left empty gives the empty text, and a missing
// answer gives kNoAnswer. lookupBankAnswer(index, " 1001") == index.lookup("1001", "[无]").
Text lookupBankAnswer(const BankIndex& index, std::string_view questionId);

// One line of a code page 936 file as the reader parses it, for tools that report on
// banks. Empty lines are not listed.
struct ProfileLine {
    std::size_t offset = 0;  // byte offset of the line's first character in the file
    bool isSection = false;
    Text name;              // the section or key name, trimmed, ended at a zero byte
    Text value;             // a key's value as written: trimmed, quotes still on
    bool hasValue = false;  // the key line has "="
};
// The lines of `fileBytes` read as code page 936 (a Unicode mark is not looked at).
std::vector<ProfileLine> parseProfileLines(std::string_view fileBytes);
// Byte offsets of the sequences that are not code page 936 (each reads as "?").
std::vector<std::size_t> invalidCodePage936Offsets(std::string_view fileBytes);

// Reads a whole file into `bytes`. Used by the portable tools; the program reads the
// bank through answers/bank_index_win.h.
ProfileSource readProfileFile(const std::string& path, std::string& bytes);
