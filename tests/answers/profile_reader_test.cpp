// BankIndex over the table of tricky bank files (the same table the Wine test checks
// against GetPrivateProfileStringA), plus what the table cannot hold: missing and
// unreadable files, Unicode marks with the portable codec, the lookupAnswer rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "answers/profile_reader.h"
#include "tests/answers/profile_cases.h"

namespace {

using namespace profile_cases;

std::string printable(const std::string& s) {
    if (s.size() > 60) return "<" + std::to_string(s.size()) + " bytes>";
    std::string out;
    for (unsigned char c : s) {
        char hex[8];
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

TEST(BankIndex, TrickyFiles) {
    for (const FileCase& file : ansiCases()) {
        std::map<std::string, BankIndex> bySection;
        for (const Query& q : file.queries) {
            auto it = bySection.find(q.section);
            if (it == bySection.end())
                it = bySection.emplace(q.section, BankIndex::build(file.bytes, q.section)).first;
            Text got = it->second.lookup(q.key, q.defaultText);
            EXPECT_EQ(got, q.expected) << file.name << " [" << printable(q.section) << "] "
                                       << printable(q.key) << ": got " << printable(got);
        }
    }
}

TEST(BankIndex, EmptyKeyGivesEmptyText) {
    BankIndex index = BankIndex::build(H + "\n=A\n", S);
    EXPECT_EQ(index.lookup("", D), "");
    EXPECT_EQ(index.lookup(std::string(1, '\0') + "x", D), "");
}

TEST(BankIndex, WithoutFile) {
    EXPECT_EQ(BankIndex().lookup("1001", D), D);
    EXPECT_EQ(BankIndex::withoutFile(ProfileSource::missingFile).lookup("1", "\"q\""), "q");
    // The platform copies the default as it is when the file could not be opened.
    EXPECT_EQ(BankIndex::withoutFile(ProfileSource::unreadable).lookup("1", "\"q\"  "), "\"q\"");
}

TEST(BankIndex, SectionAndCounts) {
    BankIndex index = BankIndex::build(H + "\n1=A\n1=B\n2\n[x]\n3=C\n", S);
    EXPECT_TRUE(index.hasSection());
    EXPECT_EQ(index.keyCount(), 2u);
    EXPECT_FALSE(BankIndex::build("[x]\n1=A\n", S).hasSection());
}

// With the portable codec, files with a Unicode mark keep their ASCII exactly; other
// characters can neither match nor be shown (the Windows build converts them).
TEST(BankIndex, UnicodeMarksWithPortableCodec) {
    const std::string utf16le(
        "\xFF\xFE[\0a\0]\0\r\0\n\0"
        "1\0=\0A\0\"\0",
        20);
    EXPECT_EQ(BankIndex::build(utf16le, "a").lookup("1", D), "A\"");
    const std::string utf16be(
        "\xFE\xFF\0[\0a\0]\0\n\0"
        "1\0=\0\"\0B\0\"\0x",
        21);
    EXPECT_EQ(BankIndex::build(utf16be, "A").lookup("1", D), "B");
    const std::string utf8 = "\xEF\xBB\xBF[a]\n1=\xE6\xAD\xA3x\n2=y\n";
    EXPECT_EQ(BankIndex::build(utf8, "a").lookup("1", D), "?x");
    EXPECT_EQ(BankIndex::build(utf8, "a").lookup("2", D), "y");
    // One replacement per malformed part; a character beyond the BMP is two units.
    const std::string bad =
        "\xEF\xBB\xBF[a]\n1=a\xE8\x80"
        "b\xC0\xAF\xED\xA0\x80\xF0\x9F\x98\x80"
        "c\n";
    EXPECT_EQ(BankIndex::build(bad, "a").lookup("1", D), "a?b???????c");
    // A code page 936 section name after a UTF-8 mark is not the asked name.
    EXPECT_EQ(BankIndex::build("\xEF\xBB\xBF" + H + "\n1001=A\n", S).lookup("1001", D), D);
    EXPECT_EQ(BankIndex::build("\xEF\xBB", S).lookup("1001", D), D);
}

TEST(BankIndex, LookupBankAnswerRules) {
    BankIndex index = BankIndex::build(H + "\n1001=A\n\x01x=B\n=E\n", S);
    EXPECT_EQ(lookupBankAnswer(index, "1001"), "A");
    EXPECT_EQ(lookupBankAnswer(index,
                               " \t\x01"
                               "1001"),
              "A");
    EXPECT_EQ(lookupBankAnswer(index, "\x01x"), D);  // the skipped byte is gone from the key
    EXPECT_EQ(lookupBankAnswer(index, "x"), D);
    EXPECT_EQ(lookupBankAnswer(index, "   "), "");  // empty after skipping: no lookup
    EXPECT_EQ(lookupBankAnswer(index, ""), "");
    EXPECT_EQ(lookupBankAnswer(index, "1002"), D);
}

TEST(BankIndex, ManyKeys) {
    std::string bank = H + "\r\n";
    for (int id = 1; id <= 100000; ++id)
        bank += std::to_string(id) + "=" + std::to_string(id * 7) + "\r\n";
    BankIndex index = BankIndex::build(bank, S);
    EXPECT_EQ(index.keyCount(), 100000u);
    for (int id : {1, 500, 99999, 100000})
        EXPECT_EQ(lookupBankAnswer(index, std::to_string(id)), std::to_string(id * 7));
    EXPECT_EQ(lookupBankAnswer(index, "100001"), D);
}

TEST(ReadProfileFile, MissingAndPresent) {
    std::string bytes = "stale";
    EXPECT_EQ(readProfileFile("no/such/dir/bank.ini", bytes), ProfileSource::missingFile);
    EXPECT_TRUE(bytes.empty());
    auto path = std::filesystem::temp_directory_path() / "profile_reader_test.ini";
    const std::string content = H + "\n1=" + std::string(1, '\0') + "\xFF\n";
    std::ofstream(path, std::ios::binary) << content;
    EXPECT_EQ(readProfileFile(path.string(), bytes), ProfileSource::read);
    EXPECT_EQ(bytes, content);
    std::filesystem::remove(path);
    EXPECT_EQ(readProfileFile(std::filesystem::temp_directory_path().string(), bytes),
              ProfileSource::unreadable);
}

}  // namespace
