// Fuzz target of the built-in regular-expression engine. Built with
// -DTIYAN_LIBFUZZER it is a libFuzzer target; otherwise main() replays the
// files and folders named on its command line (tests/answers/regex_corpus in
// ctest) under the sanitizers.
//
// Input: byte 0 holds the flags (bit 0 IgnoreCase, 1 Multiline, 2 Global);
// the rest is the pattern, a zero byte, and the subject. Bytes map to UTF-16
// units one to one, except 0xF8 to 0xFF, which stand for units the dialect
// treats specially (line separators, wide spaces, a Chinese character...).
//
// Checked for every input: no crash, no sanitizer report, and the results
// hang together: matches in order without overlap, inside the subject, each
// capture inside its match; replacing with "$&" gives the subject back and
// replacing with nothing removes exactly the matched units. On small inputs
// (a pattern of up to 16 units in the plain part of the dialect that
// parseReferencePattern reads, a subject of up to 24) the matches and their
// captures must equal the reference backtracker's, unless the reference runs
// out of its step budget; a plain pattern without a count must compile.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "answers/regex_engine.h"
#include "regex_reference.h"

namespace {

std::u16string units(const std::uint8_t* data, std::size_t size) {
    static const char16_t special[] = {0x2028, 0x2029, 0x3000, 0x00A0,
                                       0x0085, 0x4E2D, 0xFEFF, 0xD800};
    std::u16string out;
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i] >= 0xF8 ? special[data[i] - 0xF8] : char16_t{data[i]});
    }
    return out;
}

// Matcher steps the reference may take for one input before it is skipped.
constexpr std::uint64_t kReferenceSteps = 200000;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "regex_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 4096) return 0;
    RegexFlags flags{(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0};
    const std::uint8_t* rest = data + 1;
    std::size_t restSize = size - 1;
    std::size_t split = 0;
    while (split < restSize && rest[split] != 0) ++split;
    std::u16string pattern = units(rest, split);
    std::u16string subject = split < restSize ? units(rest + split + 1, restSize - split - 1) : u"";

    auto program = compileRegex(pattern, flags);
    std::optional<RefNode> tree;
    if (pattern.size() <= 16 && subject.size() <= 24) tree = parseReferencePattern(pattern);
    if (tree && pattern.find(u'{') == std::u16string::npos)
        require(program.has_value(), "a plain pattern is rejected");
    if (!program) return 0;
    require(program->code.size() <= kRegexMaxProgram, "program too large");
    std::vector<RegexMatch> matches = executeRegex(*program, subject);
    require(flags.global || matches.size() <= 1, "more than one match without Global");
    std::size_t done = 0, matched = 0;
    for (std::size_t k = 0; k < matches.size(); ++k) {
        const RegexMatch& m = matches[k];
        std::size_t end = m.firstIndex + m.length;
        require(m.firstIndex >= done && end <= subject.size(), "match out of order or bounds");
        require(m.groups.size() == static_cast<std::size_t>(program->groupCount), "group count");
        for (const RegexSpan& g : m.groups) {
            require(!g.participated() || (g.start >= m.firstIndex && g.start + g.length <= end),
                    "capture outside its match");
        }
        done = end + (m.length == 0 ? 1 : 0);
        matched += m.length;
    }
    require(replaceRegex(*program, subject, u"$&") == subject, "$& does not give the subject back");
    require(replaceRegex(*program, subject, u"").size() == subject.size() - matched,
            "removing the matches");

    if (!tree) return 0;
    require(countGroups(*tree) == program->groupCount, "groups differ from the reference");
    auto expected = referenceExecute(*tree, subject, flags, kReferenceSteps);
    if (!expected) return 0;
    require(expected->size() == matches.size(), "match count differs from the reference");
    for (std::size_t k = 0; k < matches.size(); ++k) {
        const RegexMatch& a = matches[k];
        const RegexMatch& b = (*expected)[k];
        require(a.firstIndex == b.firstIndex && a.length == b.length,
                "a match differs from the reference");
        for (std::size_t g = 0; g < a.groups.size(); ++g) {
            require(a.groups[g].start == b.groups[g].start &&
                        (!a.groups[g].participated() || a.groups[g].length == b.groups[g].length),
                    "a capture differs from the reference");
        }
    }
    return 0;
}
