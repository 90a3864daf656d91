// The reference backtracker and the random pattern trees of the engine tests.
#include "regex_reference.h"

#include <functional>
#include <optional>

namespace {

constexpr std::uint32_t kNoLimit = 0xFFFFFFFF;

struct State {
    std::u16string_view s;
    RegexFlags flags;
};

using Caps = std::vector<RegexSpan>;  // index 0 unused, k for group k
using Cont = std::function<bool(std::size_t, Caps&)>;

char16_t upperAscii(char16_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
char16_t lowerAscii(char16_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
bool isWord(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isTerminator(char16_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }

bool inRanges(const RefNode& n, char16_t c) {
    for (auto [lo, hi] : n.ranges) {
        if (c >= lo && c <= hi) return true;
    }
    return false;
}

bool unitMatches(const State& st, const RefNode& n, char16_t c) {
    switch (n.kind) {
        case RefNode::literal:
            return st.flags.ignoreCase ? upperAscii(c) == upperAscii(n.unit) : c == n.unit;
        case RefNode::any:
            return c != '\n';
        default: {
            // A class with IgnoreCase holds the other case of each of its letters.
            bool in = inRanges(n, c);
            if (st.flags.ignoreCase && !n.classEscape) {
                in = in || inRanges(n, upperAscii(c)) || inRanges(n, lowerAscii(c));
            }
            return in != n.negated;
        }
    }
}

void collectGroups(const RefNode& n, std::vector<int>& out) {
    if (n.kind == RefNode::group) out.push_back(n.capture);
    for (const RefNode& k : n.kids) collectGroups(k, out);
}

bool matchNode(const State& st, const RefNode& n, std::size_t pos, Caps caps, const Cont& c);

bool matchSequence(const State& st, const std::vector<RefNode>& kids, std::size_t i,
                   std::size_t pos, Caps caps, const Cont& c) {
    if (i == kids.size()) return c(pos, caps);
    return matchNode(st, kids[i], pos, std::move(caps), [&](std::size_t p, Caps& k) {
        return matchSequence(st, kids, i + 1, p, k, c);
    });
}

bool matchRepeat(const State& st, const RefNode& n, std::uint32_t min, std::uint32_t max,
                 std::size_t pos, Caps caps, const Cont& c) {
    if (max == 0) return c(pos, caps);
    Cont d = [&](std::size_t p, Caps& k) {
        if (min == 0 && p == pos) return false;  // an optional iteration that matched nothing
        return matchRepeat(st, n, min == 0 ? 0 : min - 1, max == kNoLimit ? max : max - 1, p, k, c);
    };
    Caps fresh = caps;
    std::vector<int> inside;
    collectGroups(n.kids[0], inside);
    for (int g : inside) fresh[static_cast<std::size_t>(g)] = RegexSpan{};
    if (min > 0) return matchNode(st, n.kids[0], pos, fresh, d);
    if (n.greedy) {
        return matchNode(st, n.kids[0], pos, fresh, d) || c(pos, caps);
    }
    return c(pos, caps) || matchNode(st, n.kids[0], pos, fresh, d);
}

bool matchNode(const State& st, const RefNode& n, std::size_t pos, Caps caps, const Cont& c) {
    const std::u16string_view s = st.s;
    auto wordAt = [&](std::size_t p) { return p < s.size() && isWord(s[p]); };
    switch (n.kind) {
        case RefNode::empty:
            return c(pos, caps);
        case RefNode::literal:
        case RefNode::any:
        case RefNode::set:
            return pos < s.size() && unitMatches(st, n, s[pos]) && c(pos + 1, caps);
        case RefNode::lineStart:
            return (pos == 0 || (st.flags.multiline && isTerminator(s[pos - 1]))) && c(pos, caps);
        case RefNode::lineEnd:
            return (pos == s.size() || (st.flags.multiline && isTerminator(s[pos]))) &&
                   c(pos, caps);
        case RefNode::wordBoundary:
            return ((pos > 0 && wordAt(pos - 1)) != wordAt(pos)) && c(pos, caps);
        case RefNode::notWordBoundary:
            return ((pos > 0 && wordAt(pos - 1)) == wordAt(pos)) && c(pos, caps);
        case RefNode::group:
            return matchNode(st, n.kids[0], pos, std::move(caps), [&](std::size_t p, Caps& k) {
                Caps withGroup = k;
                withGroup[static_cast<std::size_t>(n.capture)] = RegexSpan{pos, p - pos};
                return c(p, withGroup);
            });
        case RefNode::nonCapturing:
            return matchNode(st, n.kids[0], pos, std::move(caps), c);
        case RefNode::concat:
            return matchSequence(st, n.kids, 0, pos, std::move(caps), c);
        case RefNode::alternation:
            for (const RefNode& k : n.kids) {
                if (matchNode(st, k, pos, caps, c)) return true;
            }
            return false;
        case RefNode::repeat:
            return matchRepeat(st, n, n.min, n.max, pos, std::move(caps), c);
    }
    return false;
}

// --- random trees -------------------------------------------------------

int pick(std::mt19937& random, int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(random);
}

RefNode leaf(std::mt19937& random) {
    static const char16_t units[] = {'a', 'b', 'A', ' ', '1'};
    RefNode n;
    switch (pick(random, 10)) {
        case 0:
            n.kind = RefNode::any;
            break;
        case 1:
        case 2: {
            n.kind = RefNode::set;
            static const struct {
                const char16_t* text;
                bool negated;
                std::vector<std::pair<char16_t, char16_t>> ranges;
            } sets[] = {{u"ab", false, {{'a', 'b'}}},
                        {u"^a", true, {{'a', 'a'}}},
                        {u"a-b", false, {{'a', 'b'}}},
                        {u"B\\n", false, {{'B', 'B'}, {'\n', '\n'}}},
                        {u"^\\sb", true, {{'\t', '\r'}, {' ', ' '}, {'b', 'b'}}}};
            const auto& chosen = sets[pick(random, 5)];
            n.setText = chosen.text;
            n.negated = chosen.negated;
            n.ranges = chosen.ranges;
            break;
        }
        case 3: {
            n.kind = RefNode::set;
            n.classEscape = true;
            static const char16_t letters[] = {'d', 's', 'w', 'W', 'S'};
            char16_t letter = letters[pick(random, 5)];
            n.setText = std::u16string(u"\\") + letter;
            n.negated = letter == 'W' || letter == 'S';
            if ((letter | 0x20) == 'd') n.ranges = {{'0', '9'}};
            if ((letter | 0x20) == 's') n.ranges = {{'\t', '\r'}, {' ', ' '}};
            if ((letter | 0x20) == 'w') n.ranges = {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
            break;
        }
        case 4: {
            static const RefNode::Kind kinds[] = {RefNode::lineStart, RefNode::lineEnd,
                                                  RefNode::wordBoundary, RefNode::notWordBoundary,
                                                  RefNode::empty};
            n.kind = kinds[pick(random, 5)];
            break;
        }
        default:
            n.kind = RefNode::literal;
            n.unit = units[pick(random, 5)];
    }
    return n;
}

bool isAtom(const RefNode& n) {
    return n.kind == RefNode::literal || n.kind == RefNode::any || n.kind == RefNode::set ||
           n.kind == RefNode::group || n.kind == RefNode::nonCapturing;
}

RefNode wrap(RefNode kid, RefNode::Kind kind) {
    RefNode n;
    n.kind = kind;
    n.kids.push_back(std::move(kid));
    return n;
}

RefNode randomNode(std::mt19937& random, int depth) {
    if (depth <= 0) return leaf(random);
    switch (pick(random, 8)) {
        case 0:
            return wrap(randomNode(random, depth - 1), RefNode::group);
        case 1:
            return wrap(randomNode(random, depth - 1), RefNode::nonCapturing);
        case 2:
        case 3: {
            RefNode n;
            n.kind = RefNode::concat;
            for (int k = 0, count = 2 + pick(random, 2); k < count; ++k) {
                RefNode kid = randomNode(random, depth - 1);
                if (kid.kind == RefNode::alternation)
                    kid = wrap(std::move(kid), RefNode::nonCapturing);
                n.kids.push_back(std::move(kid));
            }
            return n;
        }
        case 4: {
            RefNode n;
            n.kind = RefNode::alternation;
            for (int k = 0, count = 2 + pick(random, 2); k < count; ++k) {
                n.kids.push_back(randomNode(random, depth - 1));
            }
            return n;
        }
        case 5:
        case 6: {
            RefNode kid = randomNode(random, depth - 1);
            if (!isAtom(kid))
                kid =
                    wrap(std::move(kid), pick(random, 2) ? RefNode::group : RefNode::nonCapturing);
            RefNode n = wrap(std::move(kid), RefNode::repeat);
            static const std::pair<std::uint32_t, std::uint32_t> bounds[] = {
                {0, kNoLimit}, {1, kNoLimit}, {0, 1},        {2, 2},
                {0, 2},        {1, 3},        {2, kNoLimit}, {0, 0}};
            std::tie(n.min, n.max) = bounds[pick(random, 8)];
            n.greedy = pick(random, 2) == 0;
            return n;
        }
        default:
            return leaf(random);
    }
}

void numberGroups(RefNode& n, int& next) {
    if (n.kind == RefNode::group) n.capture = ++next;
    for (RefNode& k : n.kids) numberGroups(k, next);
}

void print(const RefNode& n, std::u16string& out) {
    switch (n.kind) {
        case RefNode::empty:
            break;
        case RefNode::literal:
            if (n.unit == ' ') {
                out += u"\\x20";
            } else {
                out += n.unit;
            }
            break;
        case RefNode::any:
            out += u'.';
            break;
        case RefNode::set:
            if (!n.classEscape) out += u'[';
            out += n.setText;
            if (!n.classEscape) out += u']';
            break;
        case RefNode::lineStart:
            out += u'^';
            break;
        case RefNode::lineEnd:
            out += u'$';
            break;
        case RefNode::wordBoundary:
            out += u"\\b";
            break;
        case RefNode::notWordBoundary:
            out += u"\\B";
            break;
        case RefNode::group:
        case RefNode::nonCapturing:
            out += n.kind == RefNode::group ? u"(" : u"(?:";
            print(n.kids[0], out);
            out += u')';
            break;
        case RefNode::concat:
            for (const RefNode& k : n.kids) print(k, out);
            break;
        case RefNode::alternation:
            for (std::size_t k = 0; k < n.kids.size(); ++k) {
                if (k) out += u'|';
                print(n.kids[k], out);
            }
            break;
        case RefNode::repeat: {
            print(n.kids[0], out);
            if (n.min == 0 && n.max == kNoLimit) {
                out += u'*';
            } else if (n.min == 1 && n.max == kNoLimit) {
                out += u'+';
            } else if (n.min == 0 && n.max == 1) {
                out += u'?';
            } else {
                std::string count = "{";
                count += std::to_string(n.min);
                if (n.max != n.min) count += ',';
                if (n.max != n.min && n.max != kNoLimit) count += std::to_string(n.max);
                count += '}';
                out.append(count.begin(), count.end());
            }
            if (!n.greedy) out += u'?';
            break;
        }
    }
}

}  // namespace

RefNode randomPattern(std::mt19937& random, int depth) {
    RefNode root = randomNode(random, depth);
    int next = 0;
    numberGroups(root, next);
    return root;
}

std::u16string printPattern(const RefNode& root) {
    std::u16string out;
    print(root, out);
    return out;
}

int countGroups(const RefNode& root) {
    std::vector<int> groups;
    collectGroups(root, groups);
    return static_cast<int>(groups.size());
}

std::vector<RegexMatch> referenceExecute(const RefNode& root, std::u16string_view subject,
                                         RegexFlags flags) {
    State st{subject, flags};
    int groups = countGroups(root);
    std::vector<RegexMatch> out;
    std::size_t from = 0;
    while (from <= subject.size()) {
        std::optional<RegexMatch> found;
        for (std::size_t start = from; start <= subject.size() && !found; ++start) {
            Caps caps(static_cast<std::size_t>(groups) + 1);
            matchNode(st, root, start, caps, [&](std::size_t end, Caps& k) {
                RegexMatch m;
                m.firstIndex = start;
                m.length = end - start;
                m.groups.assign(k.begin() + 1, k.end());
                found = m;
                return true;
            });
        }
        if (!found) break;
        from = found->firstIndex + found->length + (found->length == 0 ? 1 : 0);
        out.push_back(*found);
        if (!flags.global) break;
    }
    return out;
}
