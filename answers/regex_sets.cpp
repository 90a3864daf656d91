// Tested by tests/answers/regex_engine_test.cpp.
#include "answers/regex_sets.h"

#include <algorithm>

namespace {

// The component's white space, measured unit by unit against it.
constexpr char16_t kSpaces[] = {0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x0020, 0x0085,
                                0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004,
                                0x2005, 0x2006, 0x2007, 0x2008, 0x2009, 0x200A, 0x2028,
                                0x2029, 0x202F, 0x205F, 0x3000};

}  // namespace

bool isRegexSpace(char16_t c) {
    return std::find(std::begin(kSpaces), std::end(kSpaces), c) != std::end(kSpaces);
}

bool isRegexWord(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isRegexLineTerminator(char16_t c) {
    return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029;
}

bool RegexCharSet::contains(char16_t c) const {
    if (c < 128) return (ascii[c >> 6] >> (c & 63)) & 1;
    auto it = std::upper_bound(
        upper.begin(), upper.end(), c,
        [](char16_t v, const std::pair<char16_t, char16_t>& r) { return v < r.first; });
    return it != upper.begin() && c <= std::prev(it)->second;
}

void SetBuilder::add(char16_t lo, char16_t hi, bool foldCase) {
    ranges_.emplace_back(lo, hi);
    if (!foldCase) return;
    auto shifted = [&](std::uint32_t from, std::uint32_t to, int delta) {
        std::uint32_t a = std::max<std::uint32_t>(lo, from), b = std::min<std::uint32_t>(hi, to);
        if (a <= b) ranges_.emplace_back(a + delta, b + delta);
    };
    shifted('a', 'z', 'A' - 'a');
    shifted('A', 'Z', 'a' - 'A');
}

void SetBuilder::add(const RegexCharSet& set) {
    for (std::uint32_t c = 0; c < 128; ++c) {
        if (set.contains(static_cast<char16_t>(c))) ranges_.emplace_back(c, c);
    }
    for (const auto& [lo, hi] : set.upper) ranges_.emplace_back(lo, hi);
}

RegexCharSet SetBuilder::build(bool negated) const {
    auto ranges = ranges_;
    std::sort(ranges.begin(), ranges.end());
    std::vector<std::pair<std::uint32_t, std::uint32_t>> merged;
    for (const auto& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, r.second);
        } else {
            merged.push_back(r);
        }
    }
    if (negated) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> complement;
        std::uint32_t next = 0;
        for (const auto& [lo, hi] : merged) {
            if (lo > next) complement.emplace_back(next, lo - 1);
            next = hi + 1;
        }
        if (next <= 0xFFFF) complement.emplace_back(next, 0xFFFF);
        merged.swap(complement);
    }
    RegexCharSet set;
    for (auto [lo, hi] : merged) {
        for (; lo <= hi && lo < 128; ++lo) set.ascii[lo >> 6] |= std::uint64_t{1} << (lo & 63);
        if (lo <= hi) set.upper.emplace_back(static_cast<char16_t>(lo), static_cast<char16_t>(hi));
    }
    return set;
}

void addClassEscape(SetBuilder& builder, char16_t letter) {
    SetBuilder part;
    switch (letter | 0x20) {
        case 'd':
            part.add('0', '9', false);
            break;
        case 'w':
            part.add('0', '9', false);
            part.add('A', 'Z', false);
            part.add('a', 'z', false);
            part.add('_', '_', false);
            break;
        default:
            for (char16_t c : kSpaces) part.add(c, c, false);
    }
    builder.add(part.build(letter >= 'A' && letter <= 'Z'));
}
