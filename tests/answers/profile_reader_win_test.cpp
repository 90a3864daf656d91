// BankIndex against the platform's profile reader: every tricky bank file of the shared
// table (and a table of files with Unicode marks) is written to disk and each key is
// asked of GetPrivateProfileStringA and of loadBankIndex. Cases that depend on the ANSI
// code page are compared with the platform only when it is 936; ctest runs this program
// once in the default locale and once with code page 936.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "answers/bank_index_win.h"
#include "tests/answers/profile_cases.h"

namespace {

using namespace profile_cases;

std::string utf16le(std::u16string_view text) {
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::string utf16be(std::u16string_view text) {
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

std::u16string repeat16(std::u16string_view piece, int count) {
    std::u16string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

const std::u16string kSection16 = u"\u8003\u8BD5\u9898\u76EE";  // 考试题目
const std::u16string kZhengQue16 = u"\u6B63\u786E";             // 正确
const std::string kSectionUtf8 = "\xE8\x80\x83\xE8\xAF\x95\xE9\xA2\x98\xE7\x9B\xAE";
const std::string kZhengQueUtf8 = "\xE6\xAD\xA3\xE7\xA1\xAE";

std::vector<FileCase> unicodeCases() {
    const std::u16string bank16 = u"[" + kSection16 + u"]\r\n1001=" + kZhengQue16 + u"\r\n";
    std::vector<FileCase> cases = {
        {"utf8",
         "\xEF\xBB\xBF[" + kSectionUtf8 + "]\n1001=" + kZhengQueUtf8 + "\n",
         {{"1001", kZhengQue}, {"1001", D, kSectionUtf8}}},
        {"utf16le", "\xFF\xFE" + utf16le(bank16), {{"1001", kZhengQue}, {"1002", D}}},
        {"utf16be", "\xFE\xFF" + utf16be(bank16), {{"1001", kZhengQue}}},
        {"utf8_mark_ansi_text", "\xEF\xBB\xBF" + H + "\n1001=A\n", {{"1001", D}}},
        {"utf16_mark_ansi_text", "\xFF\xFE" + H + "\n1001=A\n", {{"1001", D}}},
        {"utf8_malformed",
         "\xEF\xBB\xBF[a]\n1=a\xE8\x80"
         "b\n2=\xC0\xAF"
         "c\n3=\xF0\x9F\x98\x80"
         "d\n5=\xFF\n"
         "6=\xC3\xA0\n7=\xC2\xB2\n8=\xE2\x80\x94\n",
         {{"1", "a?b", "a"},
          {"2", "??c", "a"},
          {"3", "??d", "a"},
          {"5", "?", "a"},
          {"6", "\xA8\xA4", "a"},
          {"7", "2", "a"},
          {"8", "\xA1\xAA", "a"}}},
        {"utf16_unpaired",
         "\xFF\xFE" + utf16le(u"[a]\r\n1001=a\xD800"
                              u"b\r\n1002=\u00E0\u00B2\r\n"),
         {{"1001", "a?b", "a"},
          {"1002",
           "\xA8\xA4"
           "2",
           "a"}}},
        {"utf16_names_compare_unconverted",
         "\xFF\xFE" + utf16le(u"[" + kSection16 + u"]\r\n100\u00B2=x\r\n\u00C0=y\r\n"),
         {{"1002", D}, {"100\xB2", D}, {"\xA8\xA4", D}}},
        {"utf16_long",
         "\xFF\xFE" + utf16le(u"[a]\r\n1=" + repeat16(u"\u4E2D", 6000) + u"\r\n2=" +
                              std::u16string(12000, u'a') + u"\r\n3=\"" +
                              repeat16(u"\u4E2D", 10239) + u"\"\r\n"),
         {{"1", repeat(kZhong, 5119), "a"},
          {"2", std::string(10239, 'a'), "a"},
          {"3", repeat(kZhong, 5119), "a"}}},
        {"utf8_mark_cut", "\xEF\xBB", {{"1001", D}}},
        {"utf8_mark_only", "\xEF\xBB\xBF", {{"1001", D}}},
        {"utf16_mark_only", "\xFF\xFE", {{"1001", D}}},
    };
    for (auto& c : cases) c.codePage936Only = true;
    return cases;
}

class ProfileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
        folder_ = std::string(temp) + "profile_reader_win_test." +
                  std::to_string(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    }
    void TearDown() override {
        for (const auto& path : written_) ::DeleteFileA(path.c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    std::string write(const std::string& bytes) {
        // Plain numbered names: a name like "nul.ini" would be a device.
        std::string path = folder_ + "\\case" + std::to_string(written_.size()) + ".ini";
        std::ofstream(path, std::ios::binary) << bytes;
        written_.push_back(path);
        return path;
    }
    void check(const std::vector<FileCase>& cases) {
        const bool cp936 = ::GetACP() == 936;
        for (const FileCase& file : cases) {
            const std::string path = write(file.bytes);
            std::map<std::string, BankIndex> bySection;
            for (const Query& q : file.queries) {
                auto it = bySection.find(q.section);
                if (it == bySection.end())
                    it = bySection.emplace(q.section, loadBankIndex(path, q.section)).first;
                const std::string where = file.name + " key " + q.key.substr(0, 20);
                EXPECT_EQ(it->second.lookup(q.key, q.defaultText), q.expected) << where;
                if (file.codePage936Only && !cp936) continue;
                std::vector<char> buffer(kProfileBufferSize, '\0');
                ::GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), q.defaultText.c_str(),
                                           buffer.data(), kProfileBufferSize, path.c_str());
                EXPECT_EQ(std::string(buffer.data()), q.expected) << where << " (platform)";
            }
        }
    }
    std::string folder_;
    std::vector<std::string> written_;
};

TEST_F(ProfileFiles, TrickyAnsiFilesMatchThePlatform) {
    std::printf("ANSI code page %u\n", ::GetACP());
    check(ansiCases());
}

TEST_F(ProfileFiles, UnicodeMarkedFilesMatchThePlatform) { check(unicodeCases()); }

TEST_F(ProfileFiles, MissingFiles) {
    char buffer[64];
    const std::string inFolder = folder_ + "\\absent.ini";
    const std::string noFolder = folder_ + "\\absent\\absent.ini";
    for (const std::string& path : {inFolder, noFolder}) {
        for (const std::string& fallback : {D, std::string("\"q\"  ")}) {
            std::memset(buffer, 0, sizeof buffer);
            ::GetPrivateProfileStringA(S.c_str(), "1001", fallback.c_str(), buffer, sizeof buffer,
                                       path.c_str());
            EXPECT_EQ(loadBankIndex(path).lookup("1001", fallback), std::string(buffer)) << path;
        }
    }
    EXPECT_EQ(loadBankIndex(noFolder).lookup("1001", "\"q\""), "\"q\"");
    EXPECT_EQ(loadBankIndex(inFolder).lookup("1001", "\"q\""), "q");
}

TEST_F(ProfileFiles, LargeBankAgreesKeyByKey) {
    std::string bank = "; generated\r\n[other]\r\n1=x\r\n" + H + "\r\n";
    for (int id = 1; id <= 3000; ++id) {
        bank += (id % 7 == 0 ? " " : "") + std::to_string(id) + (id % 5 == 0 ? " = " : "=");
        bank += (id % 11 == 0 ? "\"" + kZhong + std::to_string(id) + "\""
                              : kZhengQue + std::to_string(id)) +
                "\r\n";
        if (id % 13 == 0) bank += std::to_string(id) + "=repeated\r\n";
    }
    const std::string path = write(bank);
    BankIndex index = loadBankIndex(path);
    char buffer[kProfileBufferSize];
    for (int id = 0; id <= 3002; id += 1) {
        const std::string key = std::to_string(id);
        std::memset(buffer, 0, sizeof buffer);
        ::GetPrivateProfileStringA(S.c_str(), key.c_str(), D.c_str(), buffer, sizeof buffer,
                                   path.c_str());
        ASSERT_EQ(lookupBankAnswer(index, key), std::string(buffer)) << key;
    }
}

}  // namespace
