// Pattern parsing and code generation for the built-in engine. The parser
// reads the component's dialect with the component's quirks (a "{" that does
// not start a count is a literal, \x and \u with too few hex digits fall back
// to literals, octal escapes in classes), and rejects what the engine cannot
// run exactly.
//
// Tested by tests/answers/regex_engine_test.cpp and
// tests/answers/regex_object_win_test.cpp.
#include <algorithm>
#include <cstdint>

#include "answers/regex_engine.h"
#include "answers/regex_sets.h"

namespace {

constexpr std::uint32_t kInfinite = 0xFFFFFFFF;
constexpr std::uint32_t kMaxCount = 0xFFFF;   // the component's limit for {n,m}
constexpr std::uint32_t kMaxLoopNesting = 8;  // loops that may match nothing, nested

enum class NodeKind { empty, unit, set, assertion, group, concat, alternation, repeat };

struct Node {
    NodeKind kind = NodeKind::empty;
    char16_t unit = 0;
    int set = -1;
    RegexOp assertion = RegexOp::match;
    int capture = 0;                   // the group number of a capturing group, else 0
    int firstGroup = 0, endGroup = 0;  // capture groups inside: [firstGroup, endGroup)
    std::vector<int> kids;
    std::uint32_t min = 1, max = 1;
    bool greedy = true;
};

bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool isAsciiLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isOctal(char16_t c) { return c >= '0' && c <= '7'; }
int hexValue(char16_t c) {
    if (isDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
  public:
    Parser(std::u16string_view pattern, RegexFlags flags, std::vector<RegexCharSet>& sets)
        : p_(pattern), flags_(flags), sets_(sets) {}

    // The root node, or -1 when the pattern is rejected.
    int parse() {
        int root = alternation(0);
        if (failed_ || at_ != p_.size()) return -1;  // a ")" with no "(" stops early
        return root;
    }
    const std::vector<Node>& nodes() const { return nodes_; }
    int groupCount() const { return groups_; }

  private:
    bool more() const { return at_ < p_.size(); }
    char16_t peek(std::size_t ahead = 0) const {
        return at_ + ahead < p_.size() ? p_[at_ + ahead] : char16_t{0};
    }
    int fail() {
        failed_ = true;
        return -1;
    }
    int add(Node node) {
        nodes_.push_back(std::move(node));
        return static_cast<int>(nodes_.size() - 1);
    }
    int unitNode(char16_t c) {
        if (flags_.ignoreCase && isAsciiLetter(c)) {
            SetBuilder b;
            b.add(c, c, true);
            return setNode(b.build(false));
        }
        Node n;
        n.kind = NodeKind::unit;
        n.unit = c;
        return add(n);
    }
    int setNode(RegexCharSet set) {
        sets_.push_back(std::move(set));
        Node n;
        n.kind = NodeKind::set;
        n.set = static_cast<int>(sets_.size() - 1);
        return add(n);
    }
    int assertionNode(RegexOp op) {
        Node n;
        n.kind = NodeKind::assertion;
        n.assertion = op;
        return add(n);
    }

    int alternation(int depth) {
        if (depth > kRegexMaxNesting) return fail();
        int first = concat(depth);
        if (failed_ || peek() != '|' || !more()) return first;
        Node alt;
        alt.kind = NodeKind::alternation;
        alt.kids.push_back(first);
        while (!failed_ && more() && peek() == '|') {
            ++at_;
            alt.kids.push_back(concat(depth));
        }
        return failed_ ? -1 : add(std::move(alt));
    }

    int concat(int depth) {
        Node seq;
        seq.kind = NodeKind::concat;
        while (!failed_ && more() && peek() != '|' && peek() != ')') {
            int item = term(depth);
            if (item >= 0) seq.kids.push_back(item);
        }
        if (failed_) return -1;
        if (seq.kids.size() == 1) return seq.kids[0];
        return add(std::move(seq));
    }

    // {n}, {n,} or {n,m} at the cursor: true and the bounds when well formed.
    bool countAhead(std::size_t* length, std::uint32_t* min, std::uint32_t* max) const {
        std::size_t i = at_ + 1;
        auto number = [&](std::uint32_t* value) {
            if (i >= p_.size() || !isDigit(p_[i])) return false;
            std::uint64_t v = 0;
            while (i < p_.size() && isDigit(p_[i])) {
                v = std::min<std::uint64_t>(v * 10 + (p_[i] - '0'), std::uint64_t{kMaxCount} + 1);
                ++i;
            }
            *value = static_cast<std::uint32_t>(v);
            return true;
        };
        if (!number(min)) return false;
        *max = *min;
        if (i < p_.size() && p_[i] == ',') {
            ++i;
            if (!number(max)) *max = kInfinite;
        }
        if (i >= p_.size() || p_[i] != '}') return false;
        *length = i + 1 - at_;
        return true;
    }

    bool quantifierAhead() const {
        std::size_t length;
        std::uint32_t min, max;
        char16_t c = peek();
        return more() &&
               (c == '*' || c == '+' || c == '?' || (c == '{' && countAhead(&length, &min, &max)));
    }

    int term(int depth) {
        int firstGroup = groups_ + 1;
        char16_t c = p_[at_];
        int atom;
        if (c == '^' || c == '$' || (c == '\\' && (peek(1) == 'b' || peek(1) == 'B'))) {
            at_ += c == '\\' ? 2 : 1;
            RegexOp op = c == '^'             ? RegexOp::lineStart
                         : c == '$'           ? RegexOp::lineEnd
                         : p_[at_ - 1] == 'b' ? RegexOp::wordBoundary
                                              : RegexOp::notWordBoundary;
            // An assertion takes no quantifier.
            return quantifierAhead() ? fail() : assertionNode(op);
        }
        if (c == '*' || c == '+' || c == '?') return fail();  // nothing to repeat
        if (c == '(') {
            atom = group(depth);
        } else if (c == '[') {
            atom = bracketClass();
        } else if (c == '\\') {
            atom = escape();
        } else if (c == '.') {
            ++at_;
            SetBuilder b;
            b.add('\n', '\n', false);
            atom = setNode(b.build(true));
        } else {
            if (c == '{' && quantifierAhead()) return fail();
            ++at_;
            atom = unitNode(c);
        }
        if (failed_) return -1;
        return quantified(atom, firstGroup);
    }

    int quantified(int atom, int firstGroup) {
        std::uint32_t min, max;
        std::size_t length = 1;
        char16_t c = peek();
        if (!more()) return atom;
        if (c == '*') {
            min = 0, max = kInfinite;
        } else if (c == '+') {
            min = 1, max = kInfinite;
        } else if (c == '?') {
            min = 0, max = 1;
        } else if (c == '{' && countAhead(&length, &min, &max)) {
            if (min > kMaxCount || (max != kInfinite && (max > kMaxCount || min > max))) {
                return fail();
            }
        } else {
            return atom;
        }
        at_ += length;
        Node rep;
        rep.kind = NodeKind::repeat;
        rep.kids.push_back(atom);
        rep.min = min;
        rep.max = max;
        rep.firstGroup = firstGroup;
        rep.endGroup = groups_ + 1;
        if (more() && peek() == '?') {
            rep.greedy = false;
            ++at_;
        }
        if (quantifierAhead()) return fail();  // a quantifier of a quantifier
        return add(std::move(rep));
    }

    int group(int depth) {
        ++at_;
        Node g;
        g.kind = NodeKind::group;
        if (peek() == '?') {
            if (peek(1) != ':') return fail();  // look-ahead and the like are not supported
            at_ += 2;
        } else {
            g.capture = ++groups_;
        }
        int inner = alternation(depth + 1);
        if (failed_) return -1;
        if (!more() || peek() != ')') return fail();
        ++at_;
        g.kids.push_back(inner);
        return add(std::move(g));
    }

    // \x and \u: the value of `digits` hex digits at `at`, which then moves
    // past them. A non-hex digit makes it fail (nullopt, `at` unchanged); the
    // end of the pattern or class ends the digits early, as in the component.
    std::optional<char16_t> hexEscape(std::size_t& at, std::size_t end, int digits) const {
        std::uint32_t value = 0;
        std::size_t i = at;
        for (int k = 0; k < digits && i < end; ++k, ++i) {
            int v = hexValue(p_[i]);
            if (v < 0) return std::nullopt;
            value = value * 16 + static_cast<std::uint32_t>(v);
        }
        at = i;
        return static_cast<char16_t>(value);
    }

    int escape() {
        ++at_;
        if (!more()) return fail();  // a trailing backslash
        char16_t c = p_[at_++];
        switch (c) {
            case 'f':
                return unitNode(0x0C);
            case 'n':
                return unitNode(0x0A);
            case 'r':
                return unitNode(0x0D);
            case 't':
                return unitNode(0x09);
            case 'v':
                return unitNode(0x0B);
            case 'c':
                if (more() && isAsciiLetter(peek())) return unitNode(p_[at_++] & 0x1F);
                --at_;  // a backslash, and the "c" is read again as a literal
                return unitNode('\\');
            case 'x':
            case 'u': {
                if (auto value = hexEscape(at_, p_.size(), c == 'x' ? 2 : 4))
                    return unitNode(*value);
                return unitNode(c);  // the letter itself, and the digits as literals
            }
            case '0': {
                std::uint32_t value = 0;
                while (more() && isOctal(peek())) {
                    value = value * 8 + (p_[at_++] - '0');
                    // The component swallows the digit that overflows; reject
                    // rather than guess which reading a pattern means.
                    if (value > 0377) return fail();
                }
                return unitNode(static_cast<char16_t>(value));
            }
            case 'd':
            case 'D':
            case 's':
            case 'S':
            case 'w':
            case 'W': {
                SetBuilder b;
                addClassEscape(b, c);
                return setNode(b.build(false));
            }
            default:
                if (isDigit(c)) return fail();  // back-references and their octal readings
                return unitNode(c);
        }
    }

    int bracketClass() {
        std::size_t begin = ++at_;
        while (true) {  // find the closing bracket first, as the component does
            if (!more()) return fail();
            if (peek() == '\\') {
                at_ = std::min(at_ + 2, p_.size());
                continue;
            }
            if (peek() == ']') break;
            ++at_;
        }
        std::size_t end = at_++;
        std::size_t i = begin;
        bool negated = i < end && p_[i] == '^';
        if (negated) ++i;
        SetBuilder b;
        bool inRange = false;
        char16_t rangeStart = 0;
        while (i < end) {
            char16_t c = p_[i++];
            char16_t value = c;
            if (c == '\\') {
                c = p_[i++];
                switch (c) {
                    case 'b':
                        value = 0x08;
                        break;
                    case 'f':
                        value = 0x0C;
                        break;
                    case 'n':
                        value = 0x0A;
                        break;
                    case 'r':
                        value = 0x0D;
                        break;
                    case 't':
                        value = 0x09;
                        break;
                    case 'v':
                        value = 0x0B;
                        break;
                    case 'c':
                        if (i < end && isAsciiLetter(p_[i])) {
                            value = p_[i++] & 0x1F;
                        } else if (i < end && (isDigit(p_[i]) || p_[i] == '_')) {
                            return fail();  // the component reads these two ways at once
                        } else {
                            --i;
                            value = '\\';
                        }
                        break;
                    case 'x':
                    case 'u':
                        if (auto v = hexEscape(i, end, c == 'x' ? 2 : 4)) {
                            value = *v;
                        } else {
                            value = '\\';  // the letter is dropped, the digits stay literals
                        }
                        break;
                    case 'd':
                    case 'D':
                    case 's':
                    case 'S':
                    case 'w':
                    case 'W':
                        if (inRange) return fail();
                        addClassEscape(b, c);
                        continue;
                    default:
                        if (isOctal(c)) {
                            std::uint32_t v = c - '0';
                            if (i < p_.size() && isOctal(p_[i])) {
                                v = v * 8 + (p_[i++] - '0');
                                if (i < p_.size() && isOctal(p_[i]) &&
                                    v * 8 + (p_[i] - '0') <= 0377) {
                                    v = v * 8 + (p_[i++] - '0');
                                }
                            }
                            value = static_cast<char16_t>(v);
                        } else {
                            value = c;
                        }
                }
            }
            if (inRange) {
                if (rangeStart > value) return fail();
                b.add(rangeStart, value, flags_.ignoreCase);
                inRange = false;
                continue;
            }
            b.add(value, value, flags_.ignoreCase);
            if (i + 1 < end && p_[i] == '-') {
                ++i;
                inRange = true;
                rangeStart = value;
            }
        }
        return setNode(b.build(negated));
    }

    std::u16string_view p_;
    RegexFlags flags_;
    std::vector<RegexCharSet>& sets_;
    std::vector<Node> nodes_;
    std::size_t at_ = 0;
    int groups_ = 0;
    bool failed_ = false;
};

class Generator {
  public:
    Generator(const std::vector<Node>& nodes, std::vector<RegexInstruction>& code)
        : nodes_(nodes), code_(code) {}
    bool failed() const { return failed_; }

    void emit(int n, std::uint32_t loopDepth) {
        if (failed_ || n < 0) return;
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        switch (node.kind) {
            case NodeKind::empty:
                break;
            case NodeKind::unit:
                push({RegexOp::unit, node.unit});
                break;
            case NodeKind::set:
                push({RegexOp::set, static_cast<std::uint32_t>(node.set)});
                break;
            case NodeKind::assertion:
                push({node.assertion});
                break;
            case NodeKind::group:
                if (node.capture)
                    push({RegexOp::save, 2 * static_cast<std::uint32_t>(node.capture)});
                emit(node.kids[0], loopDepth);
                if (node.capture)
                    push({RegexOp::save, 2 * static_cast<std::uint32_t>(node.capture) + 1});
                break;
            case NodeKind::concat:
                for (int kid : node.kids) emit(kid, loopDepth);
                break;
            case NodeKind::alternation: {
                std::vector<std::size_t> jumps;
                for (std::size_t k = 0; k < node.kids.size(); ++k) {
                    std::size_t split = code_.size();
                    bool last = k + 1 == node.kids.size();
                    if (!last) push({RegexOp::split, here() + 1});
                    emit(node.kids[k], loopDepth);
                    if (last || failed_) break;
                    jumps.push_back(code_.size());
                    push({RegexOp::jump});
                    code_[split].y = here();
                }
                for (std::size_t j : jumps) {
                    if (!failed_) code_[j].x = here();
                }
                break;
            }
            case NodeKind::repeat:
                repeat(node, loopDepth);
                break;
        }
    }

    bool nullable(int n) const {
        const Node& node = nodes_[static_cast<std::size_t>(n)];
        switch (node.kind) {
            case NodeKind::unit:
            case NodeKind::set:
                return false;
            case NodeKind::group:
                return nullable(node.kids[0]);
            case NodeKind::concat:
                return std::all_of(node.kids.begin(), node.kids.end(),
                                   [&](int k) { return nullable(k); });
            case NodeKind::alternation:
                return std::any_of(node.kids.begin(), node.kids.end(),
                                   [&](int k) { return nullable(k); });
            case NodeKind::repeat:
                return node.min == 0 || nullable(node.kids[0]);
            default:
                return true;
        }
    }

  private:
    std::uint32_t here() const { return static_cast<std::uint32_t>(code_.size()); }
    void push(RegexInstruction inst) {
        if (code_.size() >= kRegexMaxProgram) {
            failed_ = true;
            return;
        }
        code_.push_back(inst);
    }

    // One iteration: forget the captures inside, then the body. An optional
    // iteration of a body that may match nothing dies when it consumed nothing.
    void iteration(const Node& node, bool optional, bool mayBeEmpty, std::uint32_t loopDepth) {
        bool checked = optional && mayBeEmpty;
        if (checked) push({RegexOp::mark, loopDepth});
        if (node.endGroup > node.firstGroup) {
            push({RegexOp::reset, 2 * static_cast<std::uint32_t>(node.firstGroup),
                  2 * static_cast<std::uint32_t>(node.endGroup)});
        }
        emit(node.kids[0], checked ? loopDepth + 1 : loopDepth);
        if (checked) push({RegexOp::check, loopDepth});
    }

    void repeat(const Node& node, std::uint32_t loopDepth) {
        for (std::uint32_t i = 0; i < node.min && !failed_; ++i) {
            iteration(node, false, false, loopDepth);
        }
        if (node.max == node.min) return;
        bool mayBeEmpty = nullable(node.kids[0]);
        if (mayBeEmpty && loopDepth >= kMaxLoopNesting) {
            failed_ = true;
            return;
        }
        auto link = [&](std::size_t split, std::uint32_t body, std::uint32_t exit) {
            code_[split].x = node.greedy ? body : exit;
            code_[split].y = node.greedy ? exit : body;
        };
        if (node.max == kInfinite) {
            std::size_t split = code_.size();
            push({RegexOp::split});
            iteration(node, true, mayBeEmpty, loopDepth);
            push({RegexOp::jump, static_cast<std::uint32_t>(split)});
            if (!failed_) link(split, static_cast<std::uint32_t>(split + 1), here());
            return;
        }
        std::vector<std::size_t> splits;
        for (std::uint32_t i = node.min; i < node.max && !failed_; ++i) {
            splits.push_back(code_.size());
            push({RegexOp::split});
            iteration(node, true, mayBeEmpty, loopDepth);
        }
        if (failed_) return;
        for (std::size_t split : splits) link(split, static_cast<std::uint32_t>(split + 1), here());
    }

    const std::vector<Node>& nodes_;
    std::vector<RegexInstruction>& code_;
    bool failed_ = false;
};

// The units a match can begin with, or nullopt when a match may be empty.
std::optional<RegexCharSet> firstUnits(const RegexProgram& program) {
    std::vector<bool> seen(program.code.size());
    std::vector<std::uint32_t> stack{0};
    SetBuilder units;
    while (!stack.empty()) {
        std::uint32_t pc = stack.back();
        stack.pop_back();
        if (seen[pc]) continue;
        seen[pc] = true;
        const RegexInstruction& inst = program.code[pc];
        switch (inst.op) {
            case RegexOp::match:
                return std::nullopt;
            case RegexOp::unit:
                units.add(static_cast<char16_t>(inst.x), static_cast<char16_t>(inst.x), false);
                break;
            case RegexOp::set:
                units.add(program.sets[inst.x]);
                break;
            case RegexOp::jump:
                stack.push_back(inst.x);
                break;
            case RegexOp::split:
                stack.push_back(inst.y);
                stack.push_back(inst.x);
                break;
            default:
                stack.push_back(pc + 1);
                break;
        }
    }
    return units.build(false);
}

}  // namespace

std::optional<RegexProgram> compileRegex(std::u16string_view pattern, RegexFlags flags) {
    RegexProgram program;
    program.flags = flags;
    Parser parser(pattern, flags, program.sets);
    int root = parser.parse();
    if (root < 0) return std::nullopt;
    program.groupCount = parser.groupCount();
    Generator generator(parser.nodes(), program.code);
    program.code.push_back({RegexOp::save, 0});
    generator.emit(root, 0);
    program.code.push_back({RegexOp::save, 1});
    program.code.push_back({RegexOp::match});
    if (generator.failed()) return std::nullopt;
    program.firstUnits = firstUnits(program);
    return program;
}
