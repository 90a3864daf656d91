// The reference backtracker and the random pattern trees of the engine tests.
#include "regex_reference.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <optional>

namespace {

constexpr std::uint32_t kNoLimit = 0xFFFFFFFF;

struct State {
    std::u16string_view s;
    RegexFlags flags;
    // Steps taken and allowed; past the budget every step fails at once.
    mutable std::uint64_t steps = 0;
    std::uint64_t maxSteps = UINT64_MAX;
    bool exhausted() const { return steps > maxSteps; }
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
    if (++st.steps > st.maxSteps) return false;
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

namespace {

std::vector<RegexMatch> execute(const State& st, const RefNode& root) {
    const std::u16string_view subject = st.s;
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
        if (!st.flags.global) break;
    }
    return out;
}

}  // namespace

std::vector<RegexMatch> referenceExecute(const RefNode& root, std::u16string_view subject,
                                         RegexFlags flags) {
    return execute(State{subject, flags}, root);
}

std::optional<std::vector<RegexMatch>> referenceExecute(const RefNode& root,
                                                        std::u16string_view subject,
                                                        RegexFlags flags, std::uint64_t maxSteps) {
    State st{subject, flags};
    st.maxSteps = maxSteps;
    std::vector<RegexMatch> out = execute(st, root);
    if (st.exhausted()) return std::nullopt;
    return out;
}

// --- patterns as text -----------------------------------------------------

namespace {

// \s as the dialect has it.
const std::vector<std::pair<char16_t, char16_t>> kSpaceRanges = {
    {'\t', '\r'},     {' ', ' '},       {0x85, 0x85},     {0xA0, 0xA0},     {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}};

bool isPunctuation(char16_t c) {
    return std::u16string_view(u"^$\\.*+?()[]{}|/-").find(c) != std::u16string_view::npos;
}

// A control escape's unit, or 0.
char16_t controlEscape(char16_t c) {
    switch (c) {
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return 0;
    }
}

class Parser {
  public:
    explicit Parser(std::u16string_view p) : p_(p) {}

    std::optional<RefNode> parse() {
        RefNode root = alternation();
        if (!ok_ || i_ != p_.size()) return std::nullopt;
        return root;
    }

  private:
    bool more() const { return i_ < p_.size(); }
    char16_t peek() const { return p_[i_]; }
    void fail() { ok_ = false; }

    RefNode alternation() {
        RefNode first = sequence();
        if (!more() || peek() != '|') return first;
        RefNode n;
        n.kind = RefNode::alternation;
        n.kids.push_back(std::move(first));
        while (ok_ && more() && peek() == '|') {
            ++i_;
            n.kids.push_back(sequence());
        }
        return n;
    }

    RefNode sequence() {
        RefNode n;
        n.kind = RefNode::concat;
        while (ok_ && more() && peek() != '|' && peek() != ')') n.kids.push_back(term());
        if (n.kids.empty()) return RefNode{};
        if (n.kids.size() == 1) return std::move(n.kids[0]);
        return n;
    }

    RefNode term() {
        RefNode atom = this->atom();
        if (!ok_ || !more()) return atom;
        std::uint32_t min = 0, max = 0;
        switch (peek()) {
            case '*':
                min = 0, max = kNoLimit;
                break;
            case '+':
                min = 1, max = kNoLimit;
                break;
            case '?':
                min = 0, max = 1;
                break;
            case '{':
                if (!count(min, max)) fail();
                break;
            default:
                return atom;
        }
        if (!ok_) return atom;
        ++i_;  // past the quantifier, or the "}" of a count
        bool quantifiable = atom.kind == RefNode::literal || atom.kind == RefNode::any ||
                            atom.kind == RefNode::set || atom.kind == RefNode::group ||
                            atom.kind == RefNode::nonCapturing;
        if (!quantifiable) fail();
        RefNode n;
        n.kind = RefNode::repeat;
        n.min = min;
        n.max = max;
        if (more() && peek() == '?') {
            n.greedy = false;
            ++i_;
        }
        n.kids.push_back(std::move(atom));
        return n;
    }

    // {n}, {n,} or {n,m} with at most two digits each; leaves i_ on the "}".
    bool count(std::uint32_t& min, std::uint32_t& max) {
        std::size_t k = i_ + 1;
        auto number = [&](std::uint32_t& out) {
            std::size_t digits = 0;
            out = 0;
            while (k < p_.size() && p_[k] >= '0' && p_[k] <= '9' && digits < 3) {
                out = out * 10 + (p_[k++] - '0');
                ++digits;
            }
            return digits > 0 && digits <= 2;
        };
        if (!number(min)) return false;
        max = min;
        if (k < p_.size() && p_[k] == ',') {
            ++k;
            max = kNoLimit;
            if (k < p_.size() && p_[k] != '}' && !number(max)) return false;
        }
        if (k >= p_.size() || p_[k] != '}' || max < min) return false;
        i_ = k;
        return true;
    }

    RefNode atom() {
        RefNode n;
        char16_t c = peek();
        ++i_;
        switch (c) {
            case '^':
                n.kind = RefNode::lineStart;
                return n;
            case '$':
                n.kind = RefNode::lineEnd;
                return n;
            case '.':
                n.kind = RefNode::any;
                return n;
            case '(': {
                n.kind = RefNode::group;
                if (p_.substr(i_, 2) == u"?:") {
                    n.kind = RefNode::nonCapturing;
                    i_ += 2;
                } else if (more() && peek() == '?') {
                    fail();
                    return n;
                } else {
                    n.capture = ++groups_;
                }
                n.kids.push_back(alternation());
                if (!more() || peek() != ')') fail();
                ++i_;
                return n;
            }
            case '[':
                return bracket();
            case '\\':
                return escape();
            case ')':
            case ']':
            case '{':
            case '}':
            case '*':
            case '+':
            case '?':
                fail();
                return n;
            default:
                n.kind = RefNode::literal;
                n.unit = c;
                return n;
        }
    }

    // The class of \d \s \w (or their negations outside brackets).
    static bool classEscape(char16_t letter, std::vector<std::pair<char16_t, char16_t>>& ranges) {
        switch (letter | 0x20) {
            case 'd':
                ranges = {{'0', '9'}};
                return true;
            case 's':
                ranges = kSpaceRanges;
                return true;
            case 'w':
                ranges = {{'0', '9'}, {'A', 'Z'}, {'_', '_'}, {'a', 'z'}};
                return true;
            default:
                return false;
        }
    }

    RefNode escape() {
        RefNode n;
        if (!more()) {
            fail();
            return n;
        }
        char16_t c = peek();
        ++i_;
        if (c == 'b' || c == 'B') {
            n.kind = c == 'b' ? RefNode::wordBoundary : RefNode::notWordBoundary;
        } else if (classEscape(c, n.ranges)) {
            n.kind = RefNode::set;
            n.classEscape = true;
            n.negated = c == 'D' || c == 'S' || c == 'W';
            n.setText = std::u16string(u"\\") + c;
        } else if (char16_t unit = controlEscape(c)) {
            n.kind = RefNode::literal;
            n.unit = unit;
        } else if (isPunctuation(c)) {
            n.kind = RefNode::literal;
            n.unit = c;
        } else {
            fail();
        }
        return n;
    }

    // One unit of a class, or a class escape; false for what is left out.
    bool classUnit(char16_t& unit, std::vector<std::pair<char16_t, char16_t>>& escaped) {
        if (!more()) return false;
        char16_t c = peek();
        ++i_;
        if (c == '[' || c == ']' || c == '-') return false;
        if (c != '\\') {
            unit = c;
            return true;
        }
        if (!more()) return false;
        c = peek();
        ++i_;
        if (c == 'd' || c == 's' || c == 'w') return classEscape(c, escaped);
        if ((unit = controlEscape(c)) != 0) return true;
        if (isPunctuation(c)) {
            unit = c;
            return true;
        }
        return false;
    }

    RefNode bracket() {
        RefNode n;
        n.kind = RefNode::set;
        std::size_t textStart = i_;
        if (more() && peek() == '^') {
            n.negated = true;
            ++i_;
        }
        while (ok_ && more() && peek() != ']') {
            char16_t lo = 0;
            std::vector<std::pair<char16_t, char16_t>> escaped;
            if (!classUnit(lo, escaped)) {
                fail();
                break;
            }
            if (!escaped.empty()) {
                n.ranges.insert(n.ranges.end(), escaped.begin(), escaped.end());
                if (more() && peek() == '-') fail();  // [\d-x]
                continue;
            }
            char16_t hi = lo;
            if (more() && peek() == '-') {
                ++i_;
                if (!more() || peek() == ']' || !classUnit(hi, escaped) || !escaped.empty() ||
                    hi < lo) {
                    fail();
                    break;
                }
            }
            n.ranges.emplace_back(lo, hi);
        }
        if (!more() || n.ranges.empty()) fail();
        n.setText = std::u16string(p_.substr(textStart, i_ - textStart));
        ++i_;
        return n;
    }

    std::u16string_view p_;
    std::size_t i_ = 0;
    bool ok_ = true;
    int groups_ = 0;
};

}  // namespace

std::optional<RefNode> parseReferencePattern(std::u16string_view pattern) {
    return Parser(pattern).parse();
}
