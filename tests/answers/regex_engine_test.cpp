// The built-in regular-expression engine: a table of the dialect with the
// component's answers, the patterns it must reject, the replacement syntax,
// random patterns against the reference backtracker, the page patterns over
// a 10 MB subject, and the work a Global run does.
#include "answers/regex_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "regex_reference.h"

namespace {

// UTF-8 test text to UTF-16.
std::u16string u16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp;
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<std::size_t>(extra) + 1;
        out.push_back(static_cast<char16_t>(cp));
    }
    return out;
}

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buffer[12];
            std::snprintf(buffer, sizeof buffer, "<%X>", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out;
}

// "start 'value' group..." for each match; E for a group that took no part.
std::string describe(const std::vector<RegexMatch>& matches, std::u16string_view subject) {
    std::string out;
    for (const RegexMatch& m : matches) {
        if (!out.empty()) out += ' ';
        out += "{";
        out += std::to_string(m.firstIndex);
        out += " '";
        out += narrow(subject.substr(m.firstIndex, m.length));
        out += "'";
        for (const RegexSpan& g : m.groups) {
            if (!g.participated()) {
                out += " E";
                continue;
            }
            out += " '";
            out += narrow(subject.substr(g.start, g.length));
            out += "'";
        }
        out += "}";
    }
    return out;
}

struct Case {
    const char* flags;  // i: IgnoreCase, m: Multiline, g: Global
    const char* pattern;
    const char* subject;
    const char* expected;  // describe(), or "REJECTED"
};

RegexFlags flagsOf(const char* text) {
    std::string f(text);
    return {f.find('i') != std::string::npos, f.find('m') != std::string::npos,
            f.find('g') != std::string::npos};
}

std::string run(const Case& c) {
    auto program = compileRegex(u16(c.pattern), flagsOf(c.flags));
    if (!program) return "REJECTED";
    std::u16string subject = u16(c.subject);
    return describe(executeRegex(*program, subject), subject);
}

// Each expected value is what the scripting component gives, unless marked.
TEST(RegexEngine, Dialect) {
    const Case cases[] = {
        {"g", "a", "bab", "{1 'a'}"},
        {"", "a", "aa", "{0 'a'}"},
        {"g", "", "abc", "{0 ''} {1 ''} {2 ''} {3 ''}"},
        {"", "", "abc", "{0 ''}"},
        // after an empty match the next search starts one unit later
        {"g", "a*", "bab", "{0 ''} {1 'a'} {2 ''} {3 ''}"},
        {"g", "x{2,3}", "xxxxxxx", "{0 'xxx'} {3 'xxx'}"},
        {"g", "a{1,2", "a{1,2", "{0 'a{1,2'}"},
        {"g", "x{,3}", "x{,3}", "{0 'x{,3}'}"},
        {"g", "{", "{", "{0 '{'}"},
        {"g", "}]", "}]", "{0 '}]'}"},
        {"g", "a{2}{x", "aa{x", "{0 'aa{x'}"},
        {"g", "[\\d-z]", "-z5", "{0 '-'} {1 'z'} {2 '5'}"},
        {"g", "[a-]", "-a", "{0 '-'} {1 'a'}"},
        {"g", "[]a]", "]a", ""},
        {"g", "[^]a]", "]ab", ""},
        {"g", "[^]", "\n", "{0 '<A>'}"},
        {"g", "\\xZ1", "xZ1\\Z1", "{0 'xZ1'}"},
        {"g", "[\\xZ]", "\\xZ", "{0 '\\'} {2 'Z'}"},
        {"g", "\\x4", "\x04", "{0 '<4>'}"},
        {"g", "\\u4e2dx", "中x", "{0 '<4E2D>x'}"},
        {"g", "\\cA\\c1", "\x01\\c1", "{0 '<1>\\c1'}"},
        {"g", "\\q\\-\\/\\.", "q-/.", "{0 'q-/.'}"},
        {"g", "[\\b]\\t\\v\\f", "\x08\t\v\f", "{0 '<8><9><B><C>'}"},
        {"g", "[\\101-\\103]", "ABCD", "{0 'A'} {1 'B'} {2 'C'}"},
        {"g", "\\bA", "A A", "{0 'A'} {2 'A'}"},
        {"g", "\\Ba", "aa a", "{1 'a'}"},
        {"g", "[\\w-z]", "-z", "{0 '-'} {1 'z'}"},
        {"g", "\\s+",
         "a \t\xC2\x85\xE3\x80\x80\xEF\xBB\xBF"
         "b",
         "{1 ' <9><85><3000>'}"},
        {"g", "\\S\\d\\D\\W", "x5_.", "{0 'x5_.'}"},
        // `.` refuses a line feed only (the component under Wine also refuses
        // \r, U+2028 and U+2029; these rows give our rule)
        {"g", ".", "a\nb\rc", "{0 'a'} {2 'b'} {3 '<D>'} {4 'c'}"},
        {"g", ".+", "\xE2\x80\xA8x", "{0 '<2028>x'}"},
        {"mg", "^b",
         "a\r\nb\rc\xE2\x80\xA8"
         "b",
         "{3 'b'} {7 'b'}"},
        {"mg", "a$", "a\r\na\na", "{0 'a'} {3 'a'} {5 'a'}"},
        {"g", "^a|a$", "a\na\na", "{0 'a'} {4 'a'}"},
        {"ig", "[a-z]+", "aBc1Z", "{0 'aBc'} {4 'Z'}"},
        {"ig", "[^a]", "aAb", "{2 'b'}"},
        {"ig", "é", "Éé", "{1 '<E9>'}"},  // ASCII letters only, as the component folds
        {"ig", "k",
         "\xE2\x84\xAA"
         "Kk",
         "{1 'K'} {2 'k'}"},
        {"g", "(a)|b", "ab", "{0 'a' 'a'} {1 'b' E}"},
        {"g", "(?:(a)|b)+", "ab", "{0 'ab' E}"},
        {"g", "((a)|b)+", "ab", "{0 'ab' 'b' E}"},
        {"", "(a|b?){1,2}", "a", "{0 'a' 'a'}"},
        {"", "(a*)*", "b", "{0 '' E}"},
        {"", "(a*)+", "b", "{0 '' ''}"},
        {"", "(a|)+b", "aab", "{0 'aab' 'a'}"},
        {"", "(|a)+b", "aab", "{0 'aab' 'a'}"},
        {"", "(?:()|a)+", "aa", "{0 'aa' E}"},
        {"", "(a?){2}b", "ab", "{0 'ab' ''}"},
        {"", "((a)|(b))*", "abab", "{0 'abab' 'b' E 'b'}"},
        {"", "(?:a|()){2}", "x", "{0 '' ''}"},
        {"", "(a?)+?c", "aac", "{0 'aac' 'a'}"},
        // the component gives '' for the group here; ECMAScript (and we) E
        {"", "(?:(a)|b)*?c", "abc", "{0 'abc' E}"},
        {"", "(a|ab)(c|bcd)(d*)", "abcd", "{0 'abcd' 'a' 'bcd' ''}"},
        {"", "a{0}b", "ab", "{1 'b'}"},
        {"g", "(x){0}y", "xy", "{1 'y' E}"},
        {"g", "a+?", "aaa", "{0 'a'} {1 'a'} {2 'a'}"},
        {"g", "a{2,}?", "aaaaa", "{0 'aa'} {2 'aa'}"},
        {"", "<p.*?>(.*?)</p>", "<p a>x</p></p>", "{0 '<p a>x</p>' 'x'}"},
        {"g", "中.文", "中a文中\n文", "{0 '<4E2D>a<6587>'}"},
        // rejected: malformed, or beyond what the engine runs exactly
        {"", "a**", "", "REJECTED"},
        {"", "*a", "", "REJECTED"},
        {"", "^*", "", "REJECTED"},
        {"", "\\b+", "", "REJECTED"},
        {"", "a{2}{3}", "", "REJECTED"},
        {"", "a{2,1}", "", "REJECTED"},
        {"", "a{65536}", "", "REJECTED"},
        {"", "{1}", "", "REJECTED"},
        {"", "[b-a]", "", "REJECTED"},
        {"", "[a-\\d]", "", "REJECTED"},
        {"", "[a", "", "REJECTED"},
        {"", "a)", "", "REJECTED"},
        {"", "(a", "", "REJECTED"},
        {"", "a\\", "", "REJECTED"},
        {"", "(?=a)", "", "REJECTED"},
        {"", "(?!a)", "", "REJECTED"},
        {"", "(?<a>x)", "", "REJECTED"},
        {"", "(a)\\1", "", "REJECTED"},
        {"", "\\8", "", "REJECTED"},
        {"", "\\0777", "", "REJECTED"},
        {"", "[\\c1]", "", "REJECTED"},
        {"", "(?:(?:(?:(?:(?:(?:(?:(?:(?:a?)*)*)*)*)*)*)*)*)*", "", "REJECTED"},
        {"", "(?:a{1000}){1000}", "", "REJECTED"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c), c.expected) << "/" << c.pattern << "/" << c.flags << " on " << c.subject;
    }
}

TEST(RegexEngine, NestingDeeperThanTheLimitIsRejectedWithoutRecursingFurther) {
    std::string deep(100000, '(');
    deep += std::string(100000, ')');
    EXPECT_EQ(run({"", deep.c_str(), "", ""}), "REJECTED");
    std::string fine(kRegexMaxNesting, '(');
    fine += "a" + std::string(kRegexMaxNesting, ')');
    auto program = compileRegex(u16(fine), {});
    ASSERT_TRUE(program);
    EXPECT_EQ(program->groupCount, kRegexMaxNesting);
}

TEST(RegexEngine, Replace) {
    struct ReplaceCase {
        const char* flags;
        const char* pattern;
        const char* subject;
        const char* replacement;
        const char* expected;
    };
    const ReplaceCase cases[] = {
        {"g", "(a)|b", "ab", "[$&|$1|$2|$`|$'|$$|$0|$10|$01]",
         "[a|a|$2||b|$|$0|a0|a][b||$2|a||$|$0|0|]"},
        {"g", "x{2,3}", "xxxxxxx", "[$&|$1|$`|$']", "[xxx|$1||xxxx][xxx|$1|xxx|x]x"},
        {"", "b", "abcb", "<$&>", "a<b>cb"},
        {"g", "b", "abcb", "<$&>", "a<b>c<b>"},
        {"g", "z", "abc", "-", "abc"},
        {"g", "a*", "bab", "-", "-b--b-"},
        {"g", "", "ab", "$", "$a$b$"},
        {"", "((((((((((a))))))))))", "a", "$10|$11|$1a", "a|a1|aa"},
        {"g", "(a)(b)?", "ab a", "$2$1", "ba a"},
    };
    for (const ReplaceCase& c : cases) {
        auto program = compileRegex(u16(c.pattern), flagsOf(c.flags));
        ASSERT_TRUE(program) << c.pattern;
        EXPECT_EQ(narrow(replaceRegex(*program, u16(c.subject), u16(c.replacement))), c.expected)
            << "/" << c.pattern << "/ on " << c.subject;
    }
}

// Random patterns and subjects over a small alphabet, engine against the
// reference backtracker, in every mode.
TEST(RegexEngine, MatchesTheReferenceOnRandomPatterns) {
    std::mt19937 random(20240611);
    const char16_t alphabet[] = {'a', 'b', 'A', ' ', '\n', '1', '\r'};
    std::vector<std::u16string> subjects = {u""};
    for (std::size_t i = 0; subjects.size() < 50; ++i) {
        std::u16string s;
        for (std::size_t length = 1 + (i % 7); s.size() < length;) s += alphabet[random() % 7];
        subjects.push_back(s);
    }
    int compared = 0;
    for (int i = 0; i < 1500; ++i) {
        RefNode tree = randomPattern(random, 1 + i % 4);
        std::u16string pattern = printPattern(tree);
        for (int mode = 0; mode < 4; ++mode) {
            RegexFlags flags{(mode & 1) != 0, (mode & 2) != 0, true};
            auto program = compileRegex(pattern, flags);
            ASSERT_TRUE(program) << narrow(pattern);
            ASSERT_EQ(program->groupCount, countGroups(tree)) << narrow(pattern);
            for (const std::u16string& s : subjects) {
                ASSERT_EQ(describe(executeRegex(*program, s), s),
                          describe(referenceExecute(tree, s, flags), s))
                    << "/" << narrow(pattern) << "/ mode " << mode << " on '" << narrow(s) << "'";
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 0);
}

const char16_t kPageAnswerPattern[] = u"stranswer=\"([a-z])\"[\\s\\S]+?<p.*?>(.*?)</p>";
const char16_t kQuestionIdPattern[] = u"<li.*?id=\"(\\d+)\".*?>(.*?)</li>";
const RegexFlags kPageFlags{true, true, true};

std::u16string bigPage(std::u16string_view block, std::size_t size) {
    std::u16string page;
    page.reserve(size + block.size());
    while (page.size() < size) page += block;
    return page;
}

// A 10 MB subject runs in constant stack with both page patterns: as a page of
// many questions, and as one long line on which nothing completes.
TEST(RegexEngine, PagePatternsOverTenMegabytes) {
    const std::size_t size = 10 << 20;
    auto answers = compileRegex(kPageAnswerPattern, kPageFlags);
    auto ids = compileRegex(kQuestionIdPattern, kPageFlags);
    ASSERT_TRUE(answers && ids);

    const std::u16string block =
        u"<li id=\"42\" stranswer=\"B\">\r\n<div class=q>\r\n<p style=\"x\">题目 <b>一</b></p>\r\n"
        u"</div></li>\r\n";
    std::u16string page = bigPage(block, size);
    std::size_t blocks = page.size() / block.size();
    auto found = executeRegex(*answers, page);
    ASSERT_EQ(found.size(), blocks);
    EXPECT_EQ(page.substr(found.back().groups[1].start, found.back().groups[1].length),
              u"题目 <b>一</b>");

    const std::u16string item = u"<li class=\"a\" id=\"7\"><span>问</span></li>\n";
    std::u16string list = bigPage(item, size);
    EXPECT_EQ(executeRegex(*ids, list).size(), list.size() / item.size());

    std::u16string line = bigPage(u"stranswer=\"a\" <p>x <li id=\"1\"> y ", size);
    EXPECT_TRUE(executeRegex(*answers, line).empty());
    EXPECT_TRUE(executeRegex(*ids, line).empty());
}

// A Global run where each search must look far past its match (the higher
// ranked `.*b` fails only at the end of the subject) still does work linear
// in the subject: later searches skip the states the first one proved dead.
TEST(RegexEngine, GlobalRunWorkIsLinearInTheSubject) {
    for (const char16_t* pattern : {u".*b|a", u"(a*?)b|(a)", u"[\\s\\S]*?c|a|b"}) {
        auto program = compileRegex(pattern, {false, false, true});
        ASSERT_TRUE(program);
        for (std::size_t n : {1000u, 20000u}) {
            std::u16string subject(n, 'a');
            RegexStats stats;
            EXPECT_EQ(executeRegex(*program, subject, &stats).size(), n);
            EXPECT_LE(stats.statesVisited, 4 * program->code.size() * (n + 1))
                << narrow(pattern) << " over " << n;
        }
    }
}

}  // namespace
