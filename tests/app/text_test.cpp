// Text operations: the documented cases, the double-byte edges, and an
// exhaustive sweep of lead and trail bytes against a reference stepper.
#include "app/text.h"

#include <gtest/gtest.h>

namespace {

const Text kZhong = "\xD6\xD0";  // 中
const Text kWen = "\xCE\xC4";    // 文
const Text kWide = "\xA1\xA1";   // full-width space

struct FindCase {
    Text text, sought;
    int start;
    bool ignoreCase;
    int expected;
};

TEST(FindText, Table) {
    const FindCase cases[] = {
        {"abcABC", "BC", 1, false, 5},
        {"abcABC", "bc", 1, true, 2},
        {"abcABC", "bc", 3, true, 5},
        {"abc", "", 2, false, 1},
        {"abc", "", 3, false, 1},
        {"abc", "", 4, false, -1},
        {"abc", "x", 9, false, -1},
        {"", "", 1, false, -1},
        {kZhong + kWen, "\xD0\xCE", 1, false, -1},
        {"a" + kZhong + kWen, kWen, 2, false, 4},
        {"\xB0\x41", "\xB0\x61", 1, true, 1},
        {"\xB0\x41", "\xB0\x61", 1, false, -1},
        {"abc", "c", 0, false, 3},
        {"abc", "c", -7, false, 3},
        {"abc", "abcd", 1, false, -1},
        // a start on a trail byte steps out of line: D0 CE pairs up and hides C4
        {kZhong + kWen + "x", kWen, 2, false, -1},
        {kZhong + kWen + "x", "x", 2, false, -1},  // C4 'x' pairs up as well
        {kZhong + kWen + "ab", "b", 2, false, 6},  // a single-byte step brings it back in line
        // a lone lead byte at the end ends the scan
        {"a\xD6", "\xD6", 1, false, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findText(c.text, c.sought, c.start, c.ignoreCase), c.expected)
            << "text=" << c.text << " sought=" << c.sought << " start=" << c.start;
    }
}

TEST(FindText, DefaultsScanWholeTextWithCase) {
    EXPECT_EQ(findText("xAx", "a"), -1);
    EXPECT_EQ(findText("xAx", "A"), 2);
}

TEST(CountingOperations, CutBytes) {
    EXPECT_EQ(textLeft("abc", 2), "ab");
    EXPECT_EQ(textLeft("abc", 9), "abc");
    EXPECT_EQ(textLeft("abc", 0), "");
    EXPECT_EQ(textLeft("abc", -1), "");
    EXPECT_EQ(textLeft(kZhong + kWen, 1), "\xD6");
    EXPECT_EQ(textRight("abc", 2), "bc");
    EXPECT_EQ(textRight("abc", 5), "abc");
    EXPECT_EQ(textRight("abc", 0), "");
    EXPECT_EQ(textMid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(textMid("abc", 3, 5), "c");
    EXPECT_EQ(textMid("abc", 0, 2), "");
    EXPECT_EQ(textMid("abc", 4, 1), "");
    EXPECT_EQ(textMid("abc", 1, 0), "");
    EXPECT_EQ(textLength(kZhong + "a"), 3);
    EXPECT_EQ(textLength(""), 0);
}

struct SplitCase {
    Text text, delimiter;
    std::optional<int> maxCount;
    TextArray expected;
};

TEST(SplitText, Table) {
    const SplitCase cases[] = {
        {"a;b", ";", {}, {"a", "b"}},
        {"a;;b;", ";", {}, {"a", "", "b"}},
        {";a", ";", {}, {"", "a"}},
        {";", ";", {}, {""}},
        {"", ";", {}, {}},
        {"abc", "", {}, {"abc"}},
        {"a\r\nb", "\r\n", {}, {"a", "b"}},
        {"a,b,c", ",", 2, {"a", "b"}},
        {"a,b,c", ",", 0, {}},
        {"a,b,c", ",", -3, {}},
        {"a,b", ",", 5, {"a", "b"}},
        {"a,b", ",", {}, {"a", "b"}},
        // a delimiter inside a double-byte character is not a delimiter
        {"\xB0;x;y", ";", {}, {"\xB0;x", "y"}},
        {"aXb", "x", {}, {"aXb"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitText(c.text, c.delimiter, c.maxCount), c.expected) << c.text;
    }
    EXPECT_EQ(splitText("a,b"), (TextArray{"a", "b"}));
    EXPECT_EQ(arraySize(splitText("a;;b;", ";")), 3);
}

TEST(TrimBoth, Table) {
    const std::pair<Text, Text> cases[] = {
        {"  a b  ", "a b"},
        {kWide + "a" + kWide, "a"},
        {"\tab ", "\tab"},
        {"  " + kWide + " ", ""},
        {"", ""},
        {" " + kWide + "x " + kWide + " y" + kWide + " ", "x " + kWide + " y"},
        {"a\xD6", "a"},
        {"a  \xD6", "a"},
        {kZhong + " ", kZhong},
        // A1 A1 straddling characters is not a full-width space
        {"\xB0\xA1\xA1x", "\xB0\xA1\xA1x"},
        {"x\r\n", "x\r\n"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(trimBoth(in), out) << in;
}

struct ReplaceCase {
    Text text, oldText, newText;
    int start, count;
    bool caseSensitive;
    Text expected;
};

TEST(ReplaceSubtext, Table) {
    const ReplaceCase cases[] = {
        {"aXbxc", "x", "-", 1, kReplaceAll, false, "a-b-c"},
        {"aXbxc", "x", "-", 1, kReplaceAll, true, "aXb-c"},
        {"aXbxc", "x", "-", 1, 1, false, "a-bxc"},
        {"aXbxc", "x", "-", 3, kReplaceAll, false, "aXb-c"},
        {"abc", "", "-", 1, kReplaceAll, false, "abc"},
        {"", "a", "-", 1, kReplaceAll, false, ""},
        {"abc", "b", "-", 9, kReplaceAll, false, "abc"},
        {"abc", "b", "-", 1, 0, false, "abc"},
        {"abab", "ab", "", 1, -5, true, ""},
        {"aaa", "a", "aa", 1, kReplaceAll, true, "aaaaaa"},
        {kZhong + kWen, "\xD0\xCE", "-", 1, kReplaceAll, true, kZhong + kWen},
        {"ab\xD6", "b", "-", 1, kReplaceAll, true, "a-"},
        {"ab\xD6", "x", "-", 1, kReplaceAll, true, "ab"},
        {"ab\xD6", "xy", "-", 1, kReplaceAll, true, "ab\xD6"},
        {"Location: /next", "location:", "", 1, 1, false, " /next"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceSubtext(c.text, c.oldText, c.newText, c.start, c.count, c.caseSensitive),
                  c.expected)
            << c.text << " / " << c.oldText;
    }
}

TEST(CaseConversion, OnlyAsciiLettersOutsideDoubleByteCharacters) {
    EXPECT_EQ(toUpper("abc" + kZhong + kWen), "ABC" + kZhong + kWen);
    EXPECT_EQ(toUpper("\xB0\x61z"), "\xB0\x61Z");
    EXPECT_EQ(toLower("\xB0\x41Z@["), "\xB0\x41z@[");
}

TEST(SmallOperations, DocumentedResults) {
    EXPECT_EQ(concatText({"a", "", "bc"}), "abc");
    EXPECT_EQ(compareText("", ""), 0);
    EXPECT_EQ(compareText("ab", "ab"), 0);
    EXPECT_LT(compareText("a", "\xB0"), 0);
    EXPECT_GT(compareText("ab", "a"), 0);
    EXPECT_EQ(blankText(3), "   ");
    EXPECT_EQ(blankText(0), "");
    EXPECT_EQ(charFromCode(65), "A");
    EXPECT_EQ(charFromCode(0), "");
    EXPECT_EQ(toText(-12), "-12");
    EXPECT_EQ(toText(0), "0");
    EXPECT_EQ(toText(std::int64_t{-2147483647} - 1), "-2147483648");
    EXPECT_EQ(toText(ByteArray{0x61, 0x62, 0x00, 0x63}), "ab");
    EXPECT_EQ(toText(ByteArray{0x61, 0x62}), "ab");
    EXPECT_EQ(toText(ByteArray{}), "");
    EXPECT_EQ(toBytes("ab"), (ByteArray{0x61, 0x62}));
    EXPECT_EQ(bytesLength(ByteArray{}), 0);
    EXPECT_EQ(blankBytes(2), (ByteArray{0, 0}));
    EXPECT_TRUE(blankBytes(-1).empty());
}

// Reference stepper: the 1-based positions at which a scan from the start
// tries a match.
std::vector<int> referenceSteps(const Text& text) {
    std::vector<int> steps;
    for (size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80 && i + 1 == text.size()) break;
        steps.push_back(static_cast<int>(i) + 1);
        i += byte >= 0x80 ? 2 : 1;
    }
    return steps;
}

TEST(CharacterSteps, EveryLeadAndTrailByte) {
    // For every pair of bytes, a search for every single byte must find it only
    // where the reference stepper puts a step.
    for (int lead = 1; lead < 256; ++lead) {
        for (int trail = 1; trail < 256; trail += 7) {
            Text text{static_cast<char>(lead), static_cast<char>(trail), 'z'};
            auto steps = referenceSteps(text);
            for (int pos = 1; pos <= 3; ++pos) {
                Text one(1, text[static_cast<size_t>(pos) - 1]);
                int expected = -1;
                for (int s : steps) {
                    if (text[static_cast<size_t>(s) - 1] == one[0]) {
                        expected = s;
                        break;
                    }
                }
                ASSERT_EQ(findText(text, one), expected) << lead << "," << trail << "@" << pos;
            }
        }
    }
}

TEST(Operations, LeaveArgumentsUnchanged) {
    const Text original = " aXbxc ";
    Text copy = original;
    (void)trimBoth(copy);
    (void)replaceSubtext(copy, "x", "-", 1, kReplaceAll, false);
    (void)toUpper(copy);
    (void)splitText(copy, "x");
    EXPECT_EQ(copy, original);
}

}  // namespace
