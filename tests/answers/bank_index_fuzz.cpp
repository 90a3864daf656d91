// Fuzz target of the bank file reader (answers/profile_reader.h):
// BankIndex::build and lookup against a naive reader that walks the file line
// by line for every lookup, following the rules stated in that header. Every
// key named in the file is looked up, as written and in upper case, and a few
// fixed ones. Checked for every input, a file with a Unicode mark included:
// no crash, every result at most 10239 bytes and never ending inside a
// double-byte character; for code page 936 files the results equal the naive
// reader's.
//
// Input: byte 0 holds flags (bit 0: the last 16 bytes of the file are repeated
// until it is over 10 300 bytes long, so that long answers are cut; bit 1: the
// section asked is "Sec" instead of "考试题目"); the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "answers/profile_reader.h"
#include "app/text.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "bank_index_fuzz: %s\n", what);
        std::abort();
    }
}

using Chars =
    std::vector<unsigned>;  // one code page 936 character each: byte, or lead << 8 | trail

unsigned byteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

Chars decode(std::string_view bytes, bool dropLoneLead) {
    Chars out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        unsigned b = byteAt(bytes, i);
        if (b < 0x81 || b == 0xFF) {
            out.push_back(b);
            i += 1;
            continue;
        }
        if (i + 1 == bytes.size()) {
            if (!dropLoneLead) out.push_back('?');
            i += 1;
            continue;
        }
        unsigned t = byteAt(bytes, i + 1);
        if (t == 0) {
            out.push_back('?');
            i += 1;
        } else if ((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE)) {
            out.push_back(b << 8 | t);
            i += 2;
        } else {
            out.push_back('?');
            i += 2;
        }
    }
    return out;
}

bool blank(unsigned c) {
    return c == 0x09 || c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x1A || c == 0x20;
}

Chars trim(Chars c) {
    while (!c.empty() && blank(c.back())) c.pop_back();
    std::size_t k = 0;
    while (k < c.size() && blank(c[k])) ++k;
    return Chars(c.begin() + static_cast<long>(k), c.end());
}

Chars cutAtZero(Chars c) {
    for (std::size_t k = 0; k < c.size(); ++k)
        if (c[k] == 0) return Chars(c.begin(), c.begin() + static_cast<long>(k));
    return c;
}

Chars fold(Chars c) {
    for (unsigned& u : c)
        if (u >= 'A' && u <= 'Z') u += 32;
    return c;
}

std::string encode(const Chars& c) {
    std::string out;
    for (unsigned u : c) {
        if (u > 0xFF) out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

// The platform's copy into a buffer of 10240 characters, quotes removed, then
// the cut to 10239 bytes after the last whole character.
std::string copyOut(Chars value) {
    bool quoted =
        value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    if (quoted) value.erase(value.begin());
    bool fits = value.size() <= 10240;
    if (value.size() > 10239) value.resize(10239);
    if (quoted && fits) value.pop_back();
    std::size_t bytes = 0, keep = 0;
    while (keep < value.size() && bytes + (value[keep] > 0xFF ? 2 : 1) <= 10239)
        bytes += value[keep++] > 0xFF ? 2 : 1;
    value.resize(keep);
    return encode(value);
}

// The file's lines as the reader sees them: decoded, split at every run of CR
// and LF, trimmed, empty ones left out. Made once per input; every lookup then
// walks them from the top.
std::vector<Chars> fileLines(std::string_view file) {
    const Chars text = decode(file, false);
    std::vector<Chars> lines;
    std::size_t k = 0;
    while (k < text.size()) {
        std::size_t start = k;
        while (k < text.size() && text[k] != '\r' && text[k] != '\n') ++k;
        Chars line = trim(
            Chars(text.begin() + static_cast<long>(start), text.begin() + static_cast<long>(k)));
        while (k < text.size() && (text[k] == '\r' || text[k] == '\n')) ++k;
        if (!line.empty()) lines.push_back(std::move(line));
    }
    return lines;
}

std::string naiveLookup(const std::vector<Chars>& lines, std::string_view section,
                        std::string_view key, std::string_view defaultText) {
    key = key.substr(0, key.find('\0'));
    if (key.empty()) return {};
    const Chars wantedSection = fold(cutAtZero(trim(decode(section, true))));
    const Chars wantedKey = fold(cutAtZero(trim(decode(key, true))));
    bool inside = false;
    for (const Chars& line : lines) {
        std::size_t close = line.size();
        for (std::size_t j = 0; j < line.size(); ++j)
            if (line[j] == ']') close = j;
        if (line[0] == '[' && close < line.size()) {
            if (inside) break;
            Chars name(line.begin() + 1, line.begin() + static_cast<long>(close));
            inside = fold(cutAtZero(trim(name))) == wantedSection;
            continue;
        }
        if (!inside) continue;
        std::size_t eq = 0;
        while (eq < line.size() && line[eq] != '=') ++eq;
        Chars name(line.begin(), line.begin() + static_cast<long>(eq));
        if (eq < line.size()) name = trim(name);
        if (fold(cutAtZero(name)) != wantedKey) continue;
        if (eq == line.size()) break;  // the first key of the name wins, without value too
        return copyOut(
            cutAtZero(trim(Chars(line.begin() + static_cast<long>(eq) + 1, line.end()))));
    }
    Chars fallback = decode(defaultText.substr(0, defaultText.find('\0')), true);
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.pop_back();
    return copyOut(fallback);
}

void requireWholeAnswer(std::string_view answer) {
    require(answer.size() <= 10239, "answer longer than 10239 bytes");
    std::size_t p = 0;
    while (p < answer.size()) {
        unsigned b = byteAt(answer, p);
        p += b >= 0x81 && b <= 0xFE ? 2 : 1;
    }
    require(p == answer.size(), "answer ends inside a double-byte character");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 12000) return 0;
    std::string file(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 1) && !file.empty()) {
        std::string tail = file.substr(file.size() > 16 ? file.size() - 16 : 0);
        while (file.size() <= 10300) file += tail;
    }
    const std::string_view section = (data[0] & 2) ? std::string_view("Sec") : kBankSection;
    const bool marked = file.rfind("\xEF\xBB\xBF", 0) == 0 || file.rfind("\xFF\xFE", 0) == 0 ||
                        file.rfind("\xFE\xFF", 0) == 0;

    std::vector<std::string> keys = {"1001", "", " ", "[", "=", "\xD6"};
    for (const ProfileLine& line : parseProfileLines(file)) {
        require(line.offset < file.size(), "line offset outside the file");
        if (!line.isSection && keys.size() < 24) {
            keys.push_back(line.name);
            keys.push_back(toUpper(line.name));
        }
    }
    for (std::size_t offset : invalidCodePage936Offsets(file))
        require(offset < file.size(), "invalid offset outside the file");

    BankIndex index = BankIndex::build(file, section);
    const std::vector<Chars> lines = marked ? std::vector<Chars>() : fileLines(file);
    static const std::string_view defaults[] = {kNoAnswer, "'q'  ", "\"", "a  "};
    for (std::size_t k = 0; k < keys.size(); ++k) {
        requireWholeAnswer(lookupBankAnswer(index, keys[k]));
        for (std::string_view fallback : {defaults[0], defaults[1 + k % 3]}) {
            Text answer = index.lookup(keys[k], fallback);
            requireWholeAnswer(answer);
            if (!marked)
                require(answer == naiveLookup(lines, section, keys[k], fallback),
                        "differs from the line-by-line reading");
        }
    }
    return 0;
}
