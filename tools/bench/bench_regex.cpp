// Times the two page patterns over generated exam pages: the built-in engine
// natively, and under Windows also RegexObject with the component and with
// the built-in engine (one execute plus reading every sub-match, as the answer
// lookup does). Run by tools/bench/bench_regex.py.
//   bench_regex [megabytes]     (default 2)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "answers/regex_engine.h"
#ifdef _WIN32
#include "answers/regex_object_win.h"
#include "app/codepage_win.h"
#endif

namespace {

enum class Page { pageAnswers, questionIds };

const char16_t kPageAnswerPattern[] = u"stranswer=\"([a-z])\"[\\s\\S]+?<p.*?>(.*?)</p>";
const char16_t kQuestionIdPattern[] = u"<li.*?id=\"(\\d+)\".*?>(.*?)</li>";

// About `size` UTF-16 units of page mark-up: CRLF line ends, Chinese text.
std::u16string makePage(Page kind, std::size_t size) {
    static const char16_t* const words[] = {u"下列", u"关于", u"计算机", u"网络", u"说法",
                                            u"正确", u"的是", u"（",     u"）",   u"。"};
    std::u16string page = u"<html><body><div class=\"paper\">\r\n<ul>\r\n";
    for (unsigned n = 1; page.size() < size; ++n) {
        std::u16string text, number;
        for (unsigned k = 0; k < 12; ++k) text += words[(n * 7 + k * 3) % 10];
        for (unsigned v = 100000 + n; v; v /= 10)
            number.insert(number.begin(), char16_t('0' + v % 10));
        if (kind == Page::pageAnswers) {
            page += u"<li class=\"question\" stranswer=\"";
            page += char16_t(n % 5 == 0 ? 'D' : 'a' + n % 4);
            page += u"\">\r\n  <div class=\"title\">\r\n    <p style=\"margin:0\">" + number +
                    u". " + text + u"</p>\r\n  </div>\r\n";
        } else {
            page += u"<li class=\"question\" id=\"" + number + u"\"><span class=\"t\">" + text +
                    u"</span></li>\r\n";
        }
        for (char16_t option : std::u16string(u"ABCD")) {
            page += u"  <label><input type=\"radio\" value=\"";
            page += option;
            page += u"\"> " + text.substr(0, 6) + u"</label>\r\n";
        }
        if (kind == Page::pageAnswers) page += u"</li>\r\n";
    }
    return page + u"</ul>\r\n</div></body></html>\r\n";
}

template <typename F>
double bestOf3(F&& run) {
    double best = 1e18;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
        if (ms.count() < best) best = ms.count();
    }
    return best;
}

#ifdef _WIN32
std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out.push_back(static_cast<char>(c));
    return out;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? std::atof(argv[1]) : 2.0;
    std::size_t units = static_cast<std::size_t>(megabytes * (1 << 20) / 2);
    struct Case {
        const char* name;
        const char16_t* pattern;
        Page page;
    } cases[] = {{"answers-page/pageAnswerPattern", kPageAnswerPattern, Page::pageAnswers},
                 {"ids-page/pageAnswerPattern", kPageAnswerPattern, Page::questionIds},
                 {"ids-page/questionIdPattern", kQuestionIdPattern, Page::questionIds}};
    for (const Case& c : cases) {
        std::u16string page = makePage(c.page, units);
        auto program = compileRegex(c.pattern, {true, true, true});
        if (!program) return 1;
        std::size_t count = 0;
        double ms = bestOf3([&] { count = executeRegex(*program, page).size(); });
        std::printf("case=%s engine=core units=%zu ms=%.1f matches=%zu\n", c.name, page.size(), ms,
                    count);
#ifdef _WIN32
        Text text = textFromWide(std::wstring(page.begin(), page.end()));
        for (RegexEngineChoice choice :
             {RegexEngineChoice::componentFirst, RegexEngineChoice::builtIn}) {
            int found = 0;
            std::size_t checksum = 0;
            double objectMs = bestOf3([&] {
                RegexObject re(choice);
                re.execute(narrow(c.pattern), text);
                found = re.matchCount();
                for (int i = 1; i <= found; ++i)
                    checksum += re.subMatchText(i, 2).size() + re.subMatchText(i, 1)[0];
            });
            std::printf(
                "case=%s engine=%s bytes=%zu ms=%.1f matches=%d checksum=%zu\n", c.name,
                choice == RegexEngineChoice::builtIn ? "object-builtin" : "object-component",
                text.size(), objectMs, found, checksum);
        }
#endif
        std::fflush(stdout);
    }
    return 0;
}
