// Tested by tests/bank/bankctl_test.py.
#include "tools/bankctl/bank_check.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "answers/profile_reader.h"

namespace {

// Offsets at which editor lines start: after LF, after CR LF, after a lone CR.
class LineNumbers {
  public:
    explicit LineNumbers(std::string_view bytes) {
        starts_.push_back(0);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
            if (bytes[i] == '\n' || bytes[i] == '\r') starts_.push_back(i + 1);
        }
    }
    std::size_t lineOf(std::size_t offset) const {
        return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) -
                                        starts_.begin());
    }
    std::size_t columnOf(std::size_t offset) const {
        return offset - starts_[lineOf(offset) - 1] + 1;
    }

  private:
    std::vector<std::size_t> starts_;
};

bool isDecimalId(std::string_view name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string withoutLeadingZeros(const std::string& id) {
    std::size_t first = id.find_first_not_of('0');
    return first == std::string::npos ? "0" : id.substr(first);
}

// The value as the tool copies it: the quotes that enclose it removed.
std::string unquoted(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        return value.substr(1, value.size() - 2);
    return value;
}

const std::string kSectionShown =
    "[\xE8\x80\x83\xE8\xAF\x95\xE9\xA2\x98\xE7\x9B\xAE]";  // UTF-8 for the terminal

}  // namespace

std::string shownBytes(std::string_view bytes, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > limit) out += "...";
    return out;
}

BankCheck checkBank(std::string_view bytes) {
    BankCheck check;
    const LineNumbers lines(bytes);
    auto report = [&](std::size_t line, std::string message) {
        check.findings.push_back({line, std::move(message)});
    };
    if (bytes.empty()) {
        report(0, "the bank is empty: the tool stops at start with its download failure message");
        return check;
    }
    // The tool keeps the decrypted bank up to its first zero byte.
    if (std::size_t zero = bytes.find('\0'); zero != std::string_view::npos) {
        if (zero == 0) {
            report(1,
                   "the bank begins with a zero byte: the tool stops at start with its download "
                   "failure message");
            return check;
        }
        report(lines.lineOf(zero), "zero byte at offset " + std::to_string(zero) +
                                       ": the tool keeps only the " + std::to_string(zero) +
                                       " bytes before it");
        bytes = bytes.substr(0, zero);
    }
    for (std::string_view mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        if (bytes.substr(0, mark.size()) == mark) {
            report(1, std::string("the bank begins with a ") +
                          (mark.size() == 3 ? "UTF-8" : "UTF-16") +
                          " byte order mark: it must be code page 936 text without a mark");
            return check;
        }
    }

    const std::vector<std::size_t> invalid = invalidCodePage936Offsets(bytes);
    constexpr std::size_t kMaxInvalid = 20;
    for (std::size_t k = 0; k < invalid.size() && k < kMaxInvalid; ++k) {
        std::size_t at = invalid[k];
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(bytes[at]));
        std::string message = std::string("byte ") + hex + " at column " +
                              std::to_string(lines.columnOf(at)) +
                              " is not code page 936: the tool reads \"?\"";
        if (at + 1 < bytes.size() && (bytes[at + 1] == '\n' || bytes[at + 1] == '\r'))
            message += " and joins the next line to this one";
        report(lines.lineOf(at), message);
    }
    if (invalid.size() > kMaxInvalid)
        report(0, std::to_string(invalid.size() - kMaxInvalid) +
                      " more bytes that are not code page 936");

    const std::vector<ProfileLine> parsed = parseProfileLines(bytes);
    const std::string section(kBankSection);
    auto first = std::find_if(parsed.begin(), parsed.end(), [&](const ProfileLine& l) {
        return l.isSection && l.name == section;
    });
    if (first == parsed.end()) {
        report(0, "no section " + kSectionShown + ": the tool shows [\xE6\x97\xA0] for every id");
        return check;
    }
    const std::size_t sectionLine = lines.lineOf(first->offset);
    const BankIndex index = BankIndex::build(bytes, kBankSection);
    std::map<std::string, std::size_t> seen;      // id -> line of its first key
    std::map<std::string, std::string> byNumber;  // id without leading zeros -> first spelling
    for (auto it = first + 1; it != parsed.end(); ++it) {
        const std::size_t line = lines.lineOf(it->offset);
        if (it->isSection) {
            if (it->name == section)
                report(line, "another section " + kSectionShown +
                                 ": the tool reads only the first one (line " +
                                 std::to_string(sectionLine) + ")");
            break;
        }
        const std::string& id = it->name;
        if (!isDecimalId(id)) {
            report(line, id.empty() ? "a line with nothing before \"=\": no question can ask for it"
                                    : "key \"" + shownBytes(id) +
                                          "\" is not a decimal id: no question can ask for it");
        }
        if (auto prior = seen.find(id); prior != seen.end()) {
            report(line, "id " + shownBytes(id) + " repeats line " + std::to_string(prior->second) +
                             ": the tool shows the first one, \"" +
                             shownBytes(lookupBankAnswer(index, id)) + "\"");
            continue;
        }
        seen.emplace(id, line);
        if (isDecimalId(id)) {
            auto [spelling, added] = byNumber.emplace(withoutLeadingZeros(id), id);
            if (!added)
                report(line, "id " + id + " differs from id " + spelling->second + " (line " +
                                 std::to_string(seen[spelling->second]) +
                                 ") only by leading zeros: they are different ids");
        }
        if (!it->hasValue) {
            report(line,
                   "\"" + shownBytes(id) + "\" has no \"=\": the tool shows [\xE6\x97\xA0] for it");
            continue;
        }
        const std::string answer = unquoted(it->value);
        if (answer.empty()) report(line, "id " + shownBytes(id) + " has an empty answer");
        if (answer.size() > static_cast<std::size_t>(kProfileBufferSize - 1)) {
            report(line, "the answer of id " + shownBytes(id) + " has " +
                             std::to_string(answer.size()) +
                             " bytes: the tool shows only its first " +
                             std::to_string(lookupBankAnswer(index, id).size()));
        }
    }
    check.idCount = seen.size();
    std::stable_sort(check.findings.begin(), check.findings.end(),
                     [](const BankFinding& a, const BankFinding& b) { return a.line < b.line; });
    return check;
}
