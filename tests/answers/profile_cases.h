// Tricky bank files and what GetPrivateProfileStringA (section, key, default, a zeroed
// buffer of 10240 bytes) gives for them under code page 936. The native test checks
// BankIndex against the expectations; the Wine test also checks the platform call
// itself, so every expectation here has been seen from the real profile reader.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "answers/profile_reader.h"

namespace profile_cases {

inline const std::string S(kBankSection);  // 考试题目
inline const std::string H = "[" + S + "]";
inline const std::string D(kNoAnswer);                    // [无]
inline const std::string kZhong = "\xD6\xD0";             // 中
inline const std::string kZhengQue = "\xD5\xFD\xC8\xB7";  // 正确

inline std::string repeat(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

struct Query {
    std::string key;
    std::string expected;
    std::string section = S;
    std::string defaultText = D;
};

struct FileCase {
    std::string name;
    std::string bytes;
    std::vector<Query> queries;
    // True when another ANSI code page reads the file differently (double-byte
    // decoding, byte cuts inside characters, Unicode marks).
    bool codePage936Only = false;
};

inline std::vector<FileCase> ansiCases() {
    std::vector<FileCase> cases = {
        {"basic",
         H + "\r\n1001=A\r\n1002=" + kZhengQue + "\r\n",
         {{"1001", "A"}, {"1002", kZhengQue}, {"1003", D}, {" 1001 ", "A"}, {"1001\t", "A"}}},
        {"quotes",
         H +
             "\n1=\"A\"\n2='B'\n3=\"C\n4=\"\"\n5=\"\n6=\"x\"y\"\n7=\" spaced \"\n8='mixed\"\n"
             "9= \"q\"  \n10='\n11=\"" +
             kZhong + "\"\n12=''\n13=\"'\n14=\"A\" \n15=\"A\"\"\n",
         {{"1", "A"},
          {"2", "B"},
          {"3", "\"C"},
          {"4", ""},
          {"5", "\""},
          {"6", "x\"y"},
          {"7", " spaced "},
          {"8", "'mixed\""},
          {"9", "q"},
          {"10", "'"},
          {"11", kZhong},
          {"12", ""},
          {"13", "\"'"},
          {"14", "A"},
          {"15", "A\""}}},
        {"blanks",
         H + "\n  1001  =  A B  \n\t1002\t=\tC\t\n10 03=D\n1004 = E \x1A\n1005=F\x0B\x0C\n"
             "1006\x1C=G\n1007=H\x1F\n1008=\xA1\xA1I\xA1\xA1\n\xA1\xA1"
             "1009=J\n1010\xA1\xA1=K\n"
             "10\t11=L\n",
         {{"1001", "A B"},
          {"1002", "C"},
          {"10 03", "D"},
          {"1003", D},
          {"1004", "E"},
          {"1005", "F"},
          {"1006", D},
          {"1007", "H\x1F"},
          {"1008", "\xA1\xA1I\xA1\xA1"},
          {"1009", D},
          {"1010", D},
          {"10\t11", "L"},
          {"10 11", D}}},
        {"comments",
         H + "\n;1001=A\n#1002=B\n1003=C ;comment\n1004=D # x\n ;1005=E\n",
         {{"1001", D},
          {";1001", "A"},
          {"1002", D},
          {"#1002", "B"},
          {"1003", "C ;comment"},
          {"1004", "D # x"},
          {";1005", "E"}}},
        {"letter_case",
         "[Test]\nabc=1\nKEY=2\n" + H + "\nxY=3\n\xA3\xC1=4\n",
         {{"abc", D},
          {"XY", "3"},
          {"xy", "3"},
          {"abc", "1", "TEST"},
          {"KEY", "2", "test"},
          {" abc ", "1", " Test "},
          {"key", "2", "Test"},
          {"\xA3\xC1", "4"},
          {"\xA3\xE1", D}}},
        {"lf_only", H + "\n1001=A\n1002=B", {{"1001", "A"}, {"1002", "B"}}},
        {"cr_only", H + "\r1001=A\r1002=B\r", {{"1001", "A"}, {"1002", "B"}}},
        {"mixed_breaks",
         H + "\r\n1001=A\r\r\n1002=B\n\r1003=C\r\n\r\r\r1004=D\r\r",
         {{"1001", "A"}, {"1002", "B"}, {"1003", "C"}, {"1004", "D"}}},
        {"cr_inside_value",
         H + "\n1001=A\rB\n1002=C\r\r\n",
         {{"1001", "A"}, {"1002", "C"}, {"B", D}}},
        {"repeated_keys",
         H + "\n1001=A\n1001=B\n1002\n1002=C\n1003=\n1003=D\n1004=E\n1004\n",
         {{"1001", "A"}, {"1002", D}, {"1003", ""}, {"1004", "E"}}},
        {"repeated_sections",
         H + "\n1001=A\n[Other]\n1002=X\n" + H + "\n1002=B\n1001=Z\n",
         {{"1001", "A"}, {"1002", D}, {"1002", "X", "other"}}},
        {"empty_first_section", "[Other]\n1001=X\n" + H + "\n" + H + "\n1001=B\n", {{"1001", D}}},
        {"no_equals",
         H + "\n1001\n1002=\n 1003 \n1004 =\n1005=   \n",
         {{"1001", D}, {"1002", ""}, {"1003", D}, {"1004", ""}, {"1005", ""}}},
        {"empty_names", H + "\n=A\n\n=B\n1001=C\n  =D\n", {{"1001", "C"}, {"=A", D}, {" ", "A"}}},
        {"equals_in_value",
         H + "\n1001==A\n1002 = = B\n1003=[x]\n[x]=1\n",
         {{"1001", "=A"}, {"1002", "= B"}, {"1003", "[x]"}}},
        {"no_section", "1001=A\n", {{"1001", D}}},
        {"keys_before_section", "1001=Q\n" + H + "\n1002=B\n", {{"1001", D}, {"1002", "B"}}},
        {"header_spaces", "[ " + S + " ]\n1001=A\n", {{"1001", "A"}}},
        {"header_tabs", "[\t" + S + "\t]\n1001=A\n", {{"1001", "A"}}},
        {"header_trailing", H + " trailing ; c\n1001=A\n", {{"1001", "A"}}},
        {"header_open", "[" + S + "\n1001=A\n", {{"1001", D}, {"[" + S, D}}},
        {"header_line_spaces", "   " + H + "   \n1001=A\n", {{"1001", "A"}}},
        {"header_two_closing", "[" + S + "]]\n1001=A\n", {{"1001", D}}},
        {"header_two_opening", "[[" + S + "]\n1001=A\n", {{"1001", D}}},
        {"header_last_bracket", "[" + S + "]x]\n1001=A\n", {{"1001", D}}},
        {"header_wide_space", "[" + S + "\xA1\xA1]\n1001=A\n", {{"1001", D}}},
        {"header_bracket_line", H + "\n[abc\n1001=A\n", {{"1001", "A"}, {"[abc", D}}},
        {"leading_zeros",
         H + "\n01001=A\n1001=B\n",
         {{"1001", "B"}, {"01001", "A"}, {"001001", D}}},
        {"sub_char",
         H + "\n\x1A\x1A"
             "1001=A\x1A\n",
         {{"1001", "A"}}},
        {"control_prefix", "\x01\x02" + H + "\n1001=A\n", {{"1001", D}}},
        {"zero_in_name",
         H + "\n10" + std::string(1, '\0') + "01=A\n1003=D\n",
         {{"10", "A"}, {"1001", D}, {"1003", "D"}}},
        {"zero_in_value",
         H + "\n1002=B" + std::string(1, '\0') + "C\n1003=" + std::string(1, '\0') +
             "C\n1004=\"Q\"" + std::string(1, '\0') + "x\n",
         {{"1002", "B"}, {"1003", ""}, {"1004", "Q"}}},
        {"zero_lines",
         H + "\n1001=A\n" + std::string(3, '\0') + "\n1002=B\n",
         {{"1001", "A"}, {"1002", "B"}}},
        {"zero_in_header", "[a" + std::string(1, '\0') + "b]\n1003=D\n", {{"1003", "D", "a"}}},
        {"zero_first", std::string(1, '\0') + H + "\n1001=A\n", {{"1001", D}}},
        {"empty_file", "", {{"1001", D}}},
        {"only_breaks", "\r\n\r\n", {{"1001", D}}},
        {"long_ascii",
         H + "\n1=" + std::string(10238, 'a') + "Z\n2=" + std::string(10239, 'a') +
             "Y\n3=" + std::string(20000, 'a') + "\n4=\"" + std::string(10240, 'a') + "\"\n5=\"" +
             std::string(10237, 'a') + "\"\n6=\"" + std::string(10238, 'a') + "\"\n7=\"" +
             std::string(10239, 'a') + "\"\n8='" + std::string(10239, 'a') + "\n",
         {{"1", std::string(10238, 'a') + "Z"},
          {"2", std::string(10239, 'a')},
          {"3", std::string(10239, 'a')},
          {"4", std::string(10239, 'a')},
          {"5", std::string(10237, 'a')},
          {"6", std::string(10238, 'a')},
          {"7", std::string(10238, 'a')},
          {"8", "'" + std::string(10238, 'a')}}},
        {"defaults",
         "[a]\n1=x\n",
         {{"2", "x", "a", "x  "},
          {"2", " ", "a", "   "},
          {"2", " x", "a", " x "},
          {"2", "q", "a", "\"q\"  "},
          {"2", "x\t", "a", "x\t"},
          {"2", "'", "a", "'"},
          {"2", "", "a", ""}}},
    };
    std::string blankLines;
    std::vector<Query> blankQueries;
    for (int b = 1; b < 0x80; b = (b == 0x1F ? 0x7F : b + 1)) {
        if (b == '\n' || b == '\r') continue;
        char key[8];
        std::snprintf(key, sizeof key, "k%02x", b);
        const std::string c(1, static_cast<char>(b));
        blankLines += c + key + c + "=" + c + "v" + c + "\n";
        bool blank = b == '\t' || b == 0x0B || b == 0x0C || b == 0x1A;
        blankQueries.push_back({key, blank ? "v" : D});
    }
    cases.push_back({"control_bytes", H + "\n" + blankLines, blankQueries});

    std::vector<FileCase> dbcs = {
        {"lead_before_break",
         H + "\n1001=A\xB0\n1002=B\n1003=C\n",
         {{"1001", "A?1002=B"}, {"1002", D}, {"1003", "C"}}},
        {"lead_before_equals", H + "\n1001\xB0=A\n1002=B\n", {{"1001", D}, {"1002", "B"}}},
        {"bad_pairs",
         H + "\n1001=\x81 X\n1002=\xFF\xFE\n1003=\x80\n1004=\xA1\x7F\n1005=\xFE\xA0\n",
         {{"1001", "?X"},
          {"1002", "\xFF?1003=\x80"},
          {"1003", D},
          {"1004", "?"},
          {"1005", "\xFE\xA0"}}},
        {"lead_at_end", H + "\n1001=A\xB0", {{"1001", "A?"}}},
        {"lead_before_zero",
         H + "\n1001=A\n1002=\xB0" + std::string(1, '\0') + "\n1003=C\n",
         {{"1001", "A"}, {"1002", "?"}, {"1003", "C"}}},
        {"question_marks",
         H + "\n1\x81 1=X\n",
         {{"1?1", "X"}, {"1\x81 1", "X"}, {"1\x81!1", "X"}, {"1?1\xB0", "X"}}},
        {"bracket_trail_byte",
         "[" + S + "\xB0\x5D\n1001=A\n" + H + "\xB0\x5D\n1002=B\n",
         {{"1001", D}, {"1002", "B"}, {"1001", D, S + "\xB0\x5D"}}},
        {"lead_in_asked_section", H + "\n1001=A\n", {{"1001", "A", S + "\xB0"}}},
        {"letter_trail_bytes",
         H + "\n\xB0"
             "A=1\n\xB0"
             "a=2\n",
         {{"\xB0"
           "a",
           "2"},
          {"\xB0"
           "A",
           "1"}}},
        {"long_double_byte",
         H + "\n1=" + repeat(kZhong, 5119) + "\n2=" + repeat(kZhong, 5120) + "\n3=a" +
             repeat(kZhong, 5119) + "\n4=a" + repeat(kZhong, 5120) + "\n5=" + repeat(kZhong, 6000) +
             "\n6=aa" + repeat(kZhong, 5119) + "\n7=" + repeat(kZhong, 5119) +
             "a\n8=" + repeat(kZhong, 5119) + "ab\n9=\"" + repeat(kZhong, 5119) + "\"\n10=\"" +
             repeat(kZhong, 5120) + "\"\n",
         {{"1", repeat(kZhong, 5119)},
          {"2", repeat(kZhong, 5119)},
          {"3", "a" + repeat(kZhong, 5119)},
          {"4", "a" + repeat(kZhong, 5119)},
          {"5", repeat(kZhong, 5119)},
          {"6", "aa" + repeat(kZhong, 5118)},
          {"7", repeat(kZhong, 5119) + "a"},
          {"8", repeat(kZhong, 5119) + "a"},
          {"9", repeat(kZhong, 5119)},
          {"10", repeat(kZhong, 5119)}}},
        {"default_lead_bytes", "[a]\n1=x\n", {{"2", "", "a", "\xB0"}, {"2", "?", "a", "\xB0 "}}},
    };
    for (auto& c : dbcs) {
        c.codePage936Only = true;
        cases.push_back(std::move(c));
    }
    return cases;
}

}  // namespace profile_cases
