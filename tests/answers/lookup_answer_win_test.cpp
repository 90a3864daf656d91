// lookupAnswer: the bank file of appState read with the platform's profile reader, the
// skipping of low bytes and the empty cases that must not read any file.
#include "answers/lookup_answer_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "answers/bank_index_win.h"
#include "app/app_state.h"
#include "tests/answers/profile_cases.h"

namespace {

using namespace profile_cases;

class LookupAnswer : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(::GetTempPathA(MAX_PATH, temp), 0u);
        path_ = std::string(temp) + "lookup_answer_test." +
                std::to_string(::GetCurrentProcessId()) + ".tmp";
        std::ofstream(path_, std::ios::binary) << H << "\r\n1001=A\r\n1002=" << kZhengQue
                                               << "\r\n1003=\r\n01004=B\r\n1005 = \"AB\" \r\n"
                                               << "1006\r\n";
        appState.bankFilePath = path_;
    }
    void TearDown() override {
        ::DeleteFileA(path_.c_str());
        appState.bankFilePath.clear();
    }
    std::string path_;
};

TEST_F(LookupAnswer, ReadsTheBankOfAppState) {
    EXPECT_EQ(lookupAnswer("1001"), "A");
    EXPECT_EQ(lookupAnswer("1002"), kZhengQue);
    EXPECT_EQ(lookupAnswer("1003"), "");  // present with nothing after "="
    EXPECT_EQ(lookupAnswer("1004"), D);   // "01004" is another id
    EXPECT_EQ(lookupAnswer("01004"), "B");
    EXPECT_EQ(lookupAnswer("1005"), "AB");
    EXPECT_EQ(lookupAnswer("1006"), D);  // no "=": treated as absent
    EXPECT_EQ(lookupAnswer("9999"), D);
}

TEST_F(LookupAnswer, SkipsLowBytes) {
    EXPECT_EQ(lookupAnswer(" \t\x01\x1F"
                           "1001"),
              "A");
    EXPECT_EQ(lookupAnswerIn(" \x02" + path_, "1001"), "A");
}

TEST_F(LookupAnswer, EmptyPartsReadNoFile) {
    // A read would give "[无]" (missing key or missing file); no read gives the empty text.
    EXPECT_EQ(lookupAnswer(""), "");
    EXPECT_EQ(lookupAnswer(" \x01\x20"), "");
    EXPECT_EQ(lookupAnswerIn("", "1001"), "");
    EXPECT_EQ(lookupAnswerIn("  \t", "1001"), "");
    appState.bankFilePath.clear();
    EXPECT_EQ(lookupAnswer("1001"), "");
}

TEST_F(LookupAnswer, MissingFileGivesNoAnswerMark) {
    appState.bankFilePath = path_ + ".absent";
    EXPECT_EQ(lookupAnswer("1001"), D);
}

TEST_F(LookupAnswer, AgreesWithTheIndex) {
    BankIndex index = loadBankIndex(path_);
    for (const char* id : {"1001", "1002", "1003", "1004", "01004", "1005", "1006", "9999", " 1001",
                           "\x01"
                           "1002",
                           "", "  "}) {
        EXPECT_EQ(lookupBankAnswer(index, id), lookupAnswer(id)) << id;
    }
}

}  // namespace
