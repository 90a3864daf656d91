// A deliberately naive backtracking matcher, kept in the tests only as the
// reference the built-in engine is compared against. It follows the
// ECMAScript matcher semantics step by step (continuations, a repeat matcher
// that forgets the captures inside each iteration and refuses an optional
// iteration that matched nothing) over a pattern tree, not over pattern text,
// so the engine's parser is checked too when the tree is printed as a pattern.
// Exponential on purpose: use it on small patterns and subjects only.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "answers/regex_engine.h"

struct RefNode {
    enum Kind {
        literal,
        any,
        set,
        lineStart,
        lineEnd,
        wordBoundary,
        notWordBoundary,
        group,
        nonCapturing,
        concat,
        alternation,
        repeat,
        empty
    } kind = empty;
    char16_t unit = 0;
    std::u16string setText;  // what goes between the brackets, for printing
    std::vector<std::pair<char16_t, char16_t>> ranges;
    bool negated = false;
    bool classEscape = false;  // printed as \d, \s, ... instead of brackets
    int capture = 0;
    std::vector<RefNode> kids;
    std::uint32_t min = 0, max = 0;  // max 0xFFFFFFFF: no limit
    bool greedy = true;
};

// A random pattern tree over a small alphabet, with capture groups numbered
// in the order their "(" are printed.
RefNode randomPattern(std::mt19937& random, int depth);
std::u16string printPattern(const RefNode& root);
int countGroups(const RefNode& root);

// The matches of the tree as executeRegex reports them.
std::vector<RegexMatch> referenceExecute(const RefNode& root, std::u16string_view subject,
                                         RegexFlags flags);
// The same within a budget of matcher steps; nullopt when it runs out.
std::optional<std::vector<RegexMatch>> referenceExecute(const RefNode& root,
                                                        std::u16string_view subject,
                                                        RegexFlags flags, std::uint64_t maxSteps);

// The tree of a pattern written in a plain part of the dialect: literals,
// ".", bracket classes of single units and ranges with \d \s \w, the escapes
// \d \D \s \S \w \W \b \B \f \n \r \t \v and escaped punctuation, ^ $,
// groups, (?:...), alternation and the quantifiers * + ? {n} {n,} {n,m} with
// their lazy forms. nullopt for anything else, and for every pattern whose
// reading in the dialect could be in doubt ("{" or "]" as literals, "-" at a
// class edge, an empty class, a quantified assertion).
std::optional<RefNode> parseReferencePattern(std::u16string_view pattern);
