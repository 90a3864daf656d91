// The built-in regular-expression engine: the dialect of the scripting
// component's "VBScript.RegExp", run over UTF-16 code units.
//
// Guarantees:
// - Time: one search is a Pike VM (Thompson NFA simulation) with
//   leftmost-first thread priority, so greedy/lazy quantifiers and alternation
//   give the same match and sub-matches as a backtracking engine, at a cost of
//   O(program size) per subject unit. A Global run remembers the states that a
//   search proved dead beyond its match, so later searches never scan them
//   again: the whole run stays linear in the subject for a fixed pattern.
// - Stack: nothing recurses over the subject. Parsing and compiling recurse
//   over the pattern only, and a pattern nested deeper than kRegexMaxNesting is
//   rejected, so a 10 MB subject cannot exhaust the stack.
// - Memory: O(program size) per search plus the matches found; the dead-state
//   memo of a Global run takes at most kRegexMemoBudget bytes.
// - A pattern the engine does not support or cannot read unambiguously is
//   rejected by compileRegex, never matched differently: back-references \1
//   to \9 (also where the component would read them as octal or literal),
//   look-ahead and other (?...) groups, \0 octal beyond 0377, \c followed by
//   a digit or "_" in a class, loops that may match nothing nested more than
//   8 deep, programs over kRegexMaxProgram instructions. So is a malformed
//   pattern, as the component rejects it.
//
// The dialect, as the component has it: literals and identity escapes, \f \n
// \r \t \v \cX \xHH \uHHHH \0 (with up to three octal digits), \d \D \w \W
// \s \S (\s: tab to carriage return, space, U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000), bracket classes
// with ranges and negation, groups (capturing and (?:...)), alternation,
// * + ? {n} {n,} {n,m} and their lazy forms, ^ $ \b \B. A "{" that does not
// start a well-formed count is a literal. IgnoreCase folds ASCII letters only.
// Multiline ^ and $ also match at the line terminators \n \r U+2028 U+2029.
// `.` matches any unit except a line feed (\n), in every mode.
// Captures follow ECMAScript: each iteration of a quantified group first
// forgets the captures inside it, and an optional iteration that matches
// nothing is not taken. A Global run starts the next search at the end of the
// last match, or one unit after it when that match was empty.
//
// Portable: no Windows headers. Tested by tests/answers/regex_engine_test.cpp,
// tests/answers/regex_fuzz.cpp and, against the component,
// tests/answers/regex_object_win_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kRegexMaxNesting = 500;
inline constexpr std::size_t kRegexMaxProgram = 200000;
inline constexpr std::size_t kRegexMemoBudget = std::size_t{64} << 20;
inline constexpr std::size_t kRegexNoPosition = static_cast<std::size_t>(-1);

struct RegexFlags {
    bool ignoreCase = false;
    bool multiline = false;
    bool global = false;
};

// A set of UTF-16 code units: a bitmap for ASCII and sorted, disjoint,
// inclusive ranges above it.
struct RegexCharSet {
    std::uint64_t ascii[2] = {0, 0};
    std::vector<std::pair<char16_t, char16_t>> upper;
    bool contains(char16_t c) const;
};

enum class RegexOp : std::uint8_t {
    unit,          // consume the unit x
    set,           // consume a unit of sets[x]
    split,         // continue at x, then (lower priority) at y
    jump,          // continue at x
    save,          // slot x = position
    reset,         // slots x .. y-1 = no position
    lineStart,     // ^
    lineEnd,       // $
    wordBoundary,  // \b
    notWordBoundary,
    mark,   // an optional iteration of a loop that may match nothing starts: set bit x
    check,  // that iteration ends: it dies when bit x is still set (nothing consumed)
    match,
};

struct RegexInstruction {
    RegexOp op;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
};

// A compiled pattern. Slots 0 and 1 hold the whole match, 2k and 2k+1 the
// capture group k.
struct RegexProgram {
    std::vector<RegexInstruction> code;
    std::vector<RegexCharSet> sets;
    int groupCount = 0;
    RegexFlags flags;
    // Units a match can begin with; empty when a match can be empty.
    std::optional<RegexCharSet> firstUnits;
};

struct RegexSpan {
    std::size_t start = kRegexNoPosition;  // kRegexNoPosition: the group took no part
    std::size_t length = 0;
    bool participated() const { return start != kRegexNoPosition; }
};

struct RegexMatch {
    std::size_t firstIndex = 0;  // in UTF-16 units
    std::size_t length = 0;
    std::vector<RegexSpan> groups;  // groups[k - 1] is capture group k
};

// Work done by a run, for the complexity tests and the benchmark.
struct RegexStats {
    std::uint64_t statesVisited = 0;
};

// nullopt when the pattern is malformed or uses what the engine lacks.
std::optional<RegexProgram> compileRegex(std::u16string_view pattern, RegexFlags flags);

// The first match, or with flags.global every match, in subject order.
std::vector<RegexMatch> executeRegex(const RegexProgram& program, std::u16string_view subject,
                                     RegexStats* stats = nullptr);

// The subject with the matches of executeRegex replaced. In the replacement,
// $$ is "$", $& the match, $` the text before it, $' the text after it, and
// $n / $nn (1 to 99, the longer form when that group exists) a capture group
// (empty when it took no part); any other "$" stands for itself.
std::u16string replaceRegex(const RegexProgram& program, std::u16string_view subject,
                            std::u16string_view replacement);

// The replacement text for one match, as replaceRegex inserts it.
std::u16string expandReplacement(const RegexMatch& match, int groupCount,
                                 std::u16string_view subject, std::u16string_view replacement);
