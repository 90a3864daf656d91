// The Pike VM of the built-in engine, the Global loop and the replacement.
// See regex_engine.h for the guarantees.
//
// Tested by tests/answers/regex_engine_test.cpp and tests/answers/regex_fuzz.cpp.
#include "answers/regex_engine.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "answers/regex_sets.h"

namespace {

constexpr std::size_t npos = kRegexNoPosition;

// Capture slots shared between threads until one of them writes.
class CapturePool {
  public:
    explicit CapturePool(std::size_t width) : width_(width) {}
    std::uint32_t make() {
        std::uint32_t b = allocate();
        std::fill_n(slots(b), width_, npos);
        return b;
    }
    void retain(std::uint32_t b) { ++refs_[b]; }
    void release(std::uint32_t b) {
        if (--refs_[b] == 0) free_.push_back(b);
    }
    // A block that only the caller holds, with the same contents.
    std::uint32_t writable(std::uint32_t b) {
        if (refs_[b] == 1) return b;
        std::uint32_t copy = allocate();
        std::copy_n(slots(b), width_, slots(copy));
        --refs_[b];
        return copy;
    }
    std::size_t* slots(std::uint32_t b) { return data_.data() + std::size_t{b} * width_; }

  private:
    std::uint32_t allocate() {
        std::uint32_t b;
        if (!free_.empty()) {
            b = free_.back();
            free_.pop_back();
        } else {
            b = static_cast<std::uint32_t>(refs_.size());
            refs_.push_back(0);
            data_.resize(data_.size() + width_);
        }
        refs_[b] = 1;
        return b;
    }
    std::size_t width_;
    std::vector<std::size_t> data_;
    std::vector<std::uint32_t> refs_;
    std::vector<std::uint32_t> free_;
};

// States (instruction, position) that a Global run has proved dead: no match
// can be reached from them. Stored in chunks of positions, allocated when
// first written, within kRegexMemoBudget.
class DeadStates {
  public:
    DeadStates(std::size_t programSize, std::size_t subjectLength)
        : width_(programSize),
          perChunk_(std::max<std::size_t>(1, (std::size_t{1} << 20) / programSize)),
          chunks_(subjectLength / perChunk_ + 1) {}
    bool dead(std::size_t pos, std::uint32_t pc) const {
        const auto& chunk = chunks_[pos / perChunk_];
        if (!chunk) return false;
        std::size_t bit = (pos % perChunk_) * width_ + pc;
        return (chunk[bit >> 6] >> (bit & 63)) & 1;
    }
    void mark(std::size_t pos, std::uint32_t pc) {
        auto& chunk = chunks_[pos / perChunk_];
        if (!chunk) {
            std::size_t words = (perChunk_ * width_ + 63) / 64;
            if (used_ + words * 8 > kRegexMemoBudget) return;
            used_ += words * 8;
            chunk = std::make_unique<std::uint64_t[]>(words);
        }
        std::size_t bit = (pos % perChunk_) * width_ + pc;
        chunk[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    }

  private:
    std::size_t width_, perChunk_, used_ = 0;
    std::vector<std::unique_ptr<std::uint64_t[]>> chunks_;
};

struct Thread {
    std::uint32_t pc;
    std::uint32_t caps;
    std::uint32_t mask;  // loops whose current iteration has consumed nothing yet
};

class Machine {
  public:
    Machine(const RegexProgram& program, std::u16string_view subject, RegexStats* stats)
        : prog_(program),
          code_(program.code),
          s_(subject),
          pool_(2 * static_cast<std::size_t>(program.groupCount) + 2),
          stamps_(program.code.size(), 0),
          dead_(program.code.size(), subject.size()),
          stats_(stats) {}

    // The leftmost-first match starting at or after `from`.
    std::optional<RegexMatch> search(std::size_t from) {
        from_ = from;
        matched_ = false;
        std::vector<Thread> current, next;
        std::uint64_t generation = ++generation_;
        std::size_t p = from;
        while (true) {
            if (!matched_) {
                if (current.empty() && prog_.firstUnits) {
                    std::size_t before = p;
                    if (!skipToStart(p)) break;
                    if (p != before) generation = ++generation_;  // a list for another position
                }
                add(current, generation, 0, pool_.make(), 0, p);
            }
            if (current.empty()) {  // the start died at once, or every thread has ended
                if (matched_ || p >= s_.size()) break;
                ++p;
                generation = ++generation_;
                continue;
            }
            std::uint64_t nextGeneration = ++generation_;
            for (std::size_t i = 0; i < current.size(); ++i) {
                const Thread& t = current[i];
                const RegexInstruction& inst = code_[t.pc];
                if (inst.op == RegexOp::match) {
                    if (matched_) pool_.release(best_);
                    best_ = t.caps;
                    bestEnd_ = p;
                    matched_ = true;
                    for (++i; i < current.size(); ++i) pool_.release(current[i].caps);
                    break;
                }
                if (p < s_.size() && consumes(inst, s_[p])) {
                    add(next, nextGeneration, t.pc + 1, t.caps, 0, p + 1);
                } else {
                    pool_.release(t.caps);
                }
            }
            current.clear();
            current.swap(next);
            if (p >= s_.size()) break;
            ++p;
            generation = nextGeneration;
        }
        for (const Thread& t : current) pool_.release(t.caps);
        if (!matched_) return std::nullopt;
        RegexMatch m;
        const std::size_t* slots = pool_.slots(best_);
        m.firstIndex = slots[0];
        m.length = slots[1] - slots[0];
        for (int k = 1; k <= prog_.groupCount; ++k) {
            std::size_t a = slots[2 * k], b = slots[2 * k + 1];
            m.groups.push_back(a == npos || b == npos || b < a ? RegexSpan{} : RegexSpan{a, b - a});
        }
        pool_.release(best_);
        return m;
    }

  private:
    bool consumes(const RegexInstruction& inst, char16_t c) const {
        return inst.op == RegexOp::unit ? c == inst.x : prog_.sets[inst.x].contains(c);
    }

    // Moves p to the next position where a match can begin; false if none.
    bool skipToStart(std::size_t& p) const {
        while (p < s_.size() && !prog_.firstUnits->contains(s_[p])) ++p;
        return p < s_.size();
    }

    bool wordAt(std::size_t pos) const { return pos < s_.size() && isRegexWord(s_[pos]); }

    bool holds(RegexOp op, std::size_t pos) const {
        bool multiline = prog_.flags.multiline;
        switch (op) {
            case RegexOp::lineStart:
                return pos == 0 || (multiline && isRegexLineTerminator(s_[pos - 1]));
            case RegexOp::lineEnd:
                return pos == s_.size() || (multiline && isRegexLineTerminator(s_[pos]));
            case RegexOp::wordBoundary:
                return (pos > 0 && wordAt(pos - 1)) != wordAt(pos);
            default:
                return (pos > 0 && wordAt(pos - 1)) == wordAt(pos);
        }
    }

    // First visit of a state in the list being built; states with loop bits
    // set are told apart by their bits.
    bool firstVisit(std::uint64_t generation, std::uint32_t pc, std::uint32_t mask) {
        if (generation != maskGeneration_) {
            if (!maskSeen_.empty()) maskSeen_.clear();
            maskGeneration_ = generation;
        }
        if (mask == 0) {
            if (stamps_[pc] == generation) return false;
            stamps_[pc] = generation;
            return true;
        }
        return maskSeen_.insert((std::uint64_t{mask} << 32) | pc).second;
    }

    // Adds the thread and everything it reaches without consuming, in
    // priority order, to `list` (the threads at position pos). Takes over the
    // reference to `caps`.
    void add(std::vector<Thread>& list, std::uint64_t generation, std::uint32_t pc,
             std::uint32_t caps, std::uint32_t mask, std::size_t pos) {
        stack_.push_back({pc, caps, mask});
        while (!stack_.empty()) {
            Thread t = stack_.back();
            stack_.pop_back();
            while (true) {
                if (!firstVisit(generation, t.pc, t.mask)) break;
                if (stats_) ++stats_->statesVisited;
                if (t.mask == 0 && prog_.flags.global) {
                    if (pos > from_ && dead_.dead(pos, t.pc)) break;
                    // Beyond the best match so far, every state belongs to a
                    // thread that outranks it; if one led to a match, that
                    // match would end further on. So a later search, which
                    // starts at or after the final match end, may skip it.
                    if (matched_ && pos > bestEnd_) dead_.mark(pos, t.pc);
                }
                const RegexInstruction& inst = code_[t.pc];
                bool alive = true;
                switch (inst.op) {
                    case RegexOp::jump:
                        t.pc = inst.x;
                        continue;
                    case RegexOp::split:
                        pool_.retain(t.caps);
                        stack_.push_back({inst.y, t.caps, t.mask});
                        t.pc = inst.x;
                        continue;
                    case RegexOp::save:
                        t.caps = pool_.writable(t.caps);
                        pool_.slots(t.caps)[inst.x] = pos;
                        break;
                    case RegexOp::reset:
                        t.caps = pool_.writable(t.caps);
                        std::fill(pool_.slots(t.caps) + inst.x, pool_.slots(t.caps) + inst.y, npos);
                        break;
                    case RegexOp::mark:
                        t.mask |= 1u << inst.x;
                        break;
                    case RegexOp::check:
                        alive = !(t.mask & (1u << inst.x));
                        break;
                    case RegexOp::lineStart:
                    case RegexOp::lineEnd:
                    case RegexOp::wordBoundary:
                    case RegexOp::notWordBoundary:
                        alive = holds(inst.op, pos);
                        break;
                    default:  // unit, set, match: the thread waits in the list
                        list.push_back(t);
                        t.caps = npos32;
                        alive = false;
                }
                if (!alive) break;
                ++t.pc;
            }
            if (t.caps != npos32) pool_.release(t.caps);
        }
    }

    static constexpr std::uint32_t npos32 = 0xFFFFFFFF;
    const RegexProgram& prog_;
    const std::vector<RegexInstruction>& code_;
    std::u16string_view s_;
    CapturePool pool_;
    std::vector<std::uint64_t> stamps_;
    std::uint64_t generation_ = 0, maskGeneration_ = 0;
    std::unordered_set<std::uint64_t> maskSeen_;
    std::vector<Thread> stack_;
    DeadStates dead_;
    RegexStats* stats_;
    std::size_t from_ = 0, bestEnd_ = 0;
    std::uint32_t best_ = 0;
    bool matched_ = false;
};

}  // namespace

std::vector<RegexMatch> executeRegex(const RegexProgram& program, std::u16string_view subject,
                                     RegexStats* stats) {
    std::vector<RegexMatch> matches;
    Machine machine(program, subject, stats);
    std::size_t from = 0;
    while (from <= subject.size()) {
        std::optional<RegexMatch> m = machine.search(from);
        if (!m) break;
        from = m->firstIndex + m->length + (m->length == 0 ? 1 : 0);
        matches.push_back(std::move(*m));
        if (!program.flags.global) break;
    }
    return matches;
}

std::u16string expandReplacement(const RegexMatch& match, int groupCount,
                                 std::u16string_view subject, std::u16string_view replacement) {
    std::u16string out;
    auto isDigit = [](char16_t c) { return c >= '0' && c <= '9'; };
    std::size_t end = match.firstIndex + match.length;
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        char16_t c = replacement[i];
        char16_t n = i + 1 < replacement.size() ? replacement[i + 1] : 0;
        if (c != '$') {
            out.push_back(c);
        } else if (n == '$') {
            out.push_back('$');
            ++i;
        } else if (n == '&') {
            out.append(subject.substr(match.firstIndex, match.length));
            ++i;
        } else if (n == '`') {
            out.append(subject.substr(0, match.firstIndex));
            ++i;
        } else if (n == '\'') {
            out.append(subject.substr(end));
            ++i;
        } else if (isDigit(n)) {
            int group = n - '0';
            char16_t n2 = i + 2 < replacement.size() ? replacement[i + 2] : 0;
            if (isDigit(n2) && group * 10 + (n2 - '0') <= groupCount) {
                group = group * 10 + (n2 - '0');
                i += 2;
            } else if (group >= 1 && group <= groupCount) {
                i += 1;
            } else {
                out.push_back('$');
                continue;
            }
            const RegexSpan& span = match.groups[static_cast<std::size_t>(group - 1)];
            if (span.participated()) out.append(subject.substr(span.start, span.length));
        } else {
            out.push_back('$');
        }
    }
    return out;
}

std::u16string replaceRegex(const RegexProgram& program, std::u16string_view subject,
                            std::u16string_view replacement) {
    std::u16string out;
    std::size_t done = 0;
    for (const RegexMatch& m : executeRegex(program, subject)) {
        out.append(subject.substr(done, m.firstIndex - done));
        out.append(expandReplacement(m, program.groupCount, subject, replacement));
        done = m.firstIndex + m.length;
    }
    out.append(subject.substr(done));
    return out;
}
