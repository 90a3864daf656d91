// Fuzz target of the text operations (app/text.h): each operation against a
// plain reference of its rules, written here without the product's helpers.
// The references walk the character steps of a text explicitly (a byte of
// 0x80 or above takes the byte after it; standing alone at the end it ends
// every scan) and build the searching operations on one search, so a fault in
// how the product steps over double-byte characters shows as a difference.
//
// Input: byte 0 holds flags (bit 0 ignore case, bit 1 case-sensitive replace,
// bit 2 a maximum for splitText is given); bytes 1 to 3 are a start position,
// a count and that maximum as signed bytes (127 and -128 stand for the int
// limits); the rest is up to three texts separated by zero bytes: the text,
// the sought text (also the delimiter and the old text) and the new text.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/text.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "text_fuzz: %s\n", what);
        std::abort();
    }
}

bool high(unsigned char byte) { return byte >= 0x80; }
unsigned char at(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// The positions where character steps begin when a scan starts at `origin`; a
// lone lead byte at the end is not a step. `lastLone` tells whether the scan
// ended on such a byte.
std::vector<std::size_t> stepStarts(std::string_view s, std::size_t origin,
                                    bool* lastLone = nullptr) {
    std::vector<std::size_t> starts;
    std::size_t p = origin;
    if (lastLone) *lastLone = false;
    while (p < s.size()) {
        if (high(at(s, p)) && p + 1 == s.size()) {
            if (lastLone) *lastLone = true;
            break;
        }
        starts.push_back(p);
        p += high(at(s, p)) ? 2 : 1;
    }
    return starts;
}

bool sameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = at(a, i), y = at(b, i);
        if (ignoreCase) {
            if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
            if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        }
        if (x != y) return false;
    }
    return true;
}

std::size_t originOf(int start) { return start <= 1 ? 0 : static_cast<std::size_t>(start) - 1; }

int refFind(std::string_view s, std::string_view sought, int start, bool ignoreCase) {
    std::size_t origin = originOf(start);
    if (origin >= s.size()) return -1;
    if (sought.empty()) return 1;
    for (std::size_t p : stepStarts(s, origin)) {
        if (s.size() - p < sought.size()) break;
        if (sameBytes(s.substr(p, sought.size()), sought, ignoreCase))
            return static_cast<int>(p) + 1;
    }
    return -1;
}

std::string refLeft(std::string_view s, long long n) {
    if (n <= 0) return {};
    return std::string(s.substr(0, static_cast<std::size_t>(std::min<long long>(n, s.size()))));
}

std::string refRight(std::string_view s, long long n) {
    if (n <= 0) return {};
    long long size = static_cast<long long>(s.size());
    long long from = n >= size ? 0 : size - n;
    return std::string(s.substr(static_cast<std::size_t>(from)));
}

std::string refMid(std::string_view s, long long start, long long n) {
    long long size = static_cast<long long>(s.size());
    if (start < 1 || start > size || n <= 0) return {};
    long long end = std::min(size, start - 1 + n);
    return std::string(
        s.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(end - start + 1)));
}

// Split built on the search: each piece ends where the next delimiter is
// found from the end of the previous one.
std::vector<std::string> refSplit(std::string_view s, std::string_view delimiter,
                                  std::optional<int> maxCount) {
    std::vector<std::string> pieces;
    long long limit = maxCount ? std::max(*maxCount, 0) : LLONG_MAX;
    if (s.empty() || limit == 0) return pieces;
    if (delimiter.empty()) return {std::string(s)};
    std::size_t from = 0;
    while (from < s.size()) {
        int found = refFind(s, delimiter, static_cast<int>(from) + 1, false);
        if (found == -1) break;
        pieces.emplace_back(s.substr(from, static_cast<std::size_t>(found - 1) - from));
        if (static_cast<long long>(pieces.size()) == limit) return pieces;
        from = static_cast<std::size_t>(found - 1) + delimiter.size();
    }
    if (from < s.size()) pieces.emplace_back(s.substr(from));
    return pieces;
}

// Trim over the list of characters: drop blank characters from both ends.
std::string refTrim(std::string_view s) {
    std::vector<std::string_view> chars;
    std::vector<std::size_t> starts = stepStarts(s, 0);
    for (std::size_t k = 0; k < starts.size(); ++k) {
        std::size_t end =
            k + 1 < starts.size() ? starts[k + 1] : starts[k] + (high(at(s, starts[k])) ? 2 : 1);
        chars.push_back(s.substr(starts[k], end - starts[k]));
    }
    auto blank = [](std::string_view c) { return c == " " || c == "\xA1\xA1"; };
    std::size_t first = 0, last = chars.size();
    while (first < last && blank(chars[first])) ++first;
    while (last > first && blank(chars[last - 1])) --last;
    std::string out;
    for (std::size_t k = first; k < last; ++k) out += chars[k];
    return out;
}

// Replace built on the search: the bytes between two occurrences are copied.
std::string refReplace(std::string_view s, std::string_view oldText, std::string_view newText,
                       int start, int count, bool caseSensitive) {
    std::size_t origin = originOf(start);
    if (s.empty() || oldText.empty() || origin >= s.size() || count == 0) return std::string(s);
    std::string out(s.substr(0, origin));
    std::size_t from = origin;
    int replaced = 0;
    while (count < 0 || replaced < count) {
        int found =
            from < s.size() ? refFind(s, oldText, static_cast<int>(from) + 1, !caseSensitive) : -1;
        if (found == -1) {
            // The scan runs out; a lone lead byte it reaches is dropped, which
            // it does only while a one-byte old text still fits.
            bool lone = false;
            if (from < s.size()) stepStarts(s, from, &lone);
            if (lone && oldText.size() == 1) {
                out += s.substr(from, s.size() - 1 - from);
                return out;
            }
            break;
        }
        out += s.substr(from, static_cast<std::size_t>(found - 1) - from);
        out += newText;
        from = static_cast<std::size_t>(found - 1) + oldText.size();
        ++replaced;
    }
    out += s.substr(std::min(from, s.size()));
    return out;
}

std::string refCase(std::string_view s, bool upper) {
    std::string out(s);
    for (std::size_t p : stepStarts(s, 0)) {
        unsigned char c = at(s, p);
        if (upper && c >= 'a' && c <= 'z') out[p] = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') out[p] = static_cast<char>(c + 32);
    }
    return out;
}

int wideInt(std::uint8_t byte) {
    auto value = static_cast<std::int8_t>(byte);
    if (value == 127) return INT_MAX;
    if (value == -128) return INT_MIN;
    return value;
}

int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4 || size > 4096) return 0;
    const bool ignoreCase = data[0] & 1, caseSensitive = data[0] & 2;
    const std::optional<int> maxCount =
        (data[0] & 4) ? std::optional<int>(wideInt(data[3])) : std::nullopt;
    const int start = wideInt(data[1]), count = wideInt(data[2]);
    std::string_view rest(reinterpret_cast<const char*>(data + 4), size - 4);
    std::string_view parts[3];
    for (std::string_view& part : parts) {
        std::size_t zero = rest.find('\0');
        part = rest.substr(0, zero);
        rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    }
    const std::string_view text = parts[0], sought = parts[1], newText = parts[2];

    require(findText(text, sought, start, ignoreCase) == refFind(text, sought, start, ignoreCase),
            "findText");
    require(findText(text, sought) == refFind(text, sought, 1, false), "findText from the start");
    require(textLength(text) == static_cast<int>(text.size()), "textLength");
    require(textLeft(text, count) == refLeft(text, count), "textLeft");
    require(textRight(text, count) == refRight(text, count), "textRight");
    require(textMid(text, start, count) == refMid(text, start, count), "textMid");
    require(splitText(text, sought, maxCount) == refSplit(text, sought, maxCount), "splitText");
    require(trimBoth(text) == refTrim(text), "trimBoth");
    require(replaceSubtext(text, sought, newText, start, count, caseSensitive) ==
                refReplace(text, sought, newText, start, count, caseSensitive),
            "replaceSubtext");
    require(replaceSubtext(text, sought, newText, 1, kReplaceAll, caseSensitive) ==
                refReplace(text, sought, newText, 1, -1, caseSensitive),
            "replaceSubtext of all");
    require(toUpper(text) == refCase(text, true), "toUpper");
    require(toLower(text) == refCase(text, false), "toLower");
    require(sign(compareText(text, sought)) == sign(text.compare(sought)), "compareText");
    require(concatText({text, sought, newText}) ==
                std::string(text) + std::string(sought) + std::string(newText),
            "concatText");
    ByteArray bytes(data, data + size);
    Text upToZero = toText(bytes);
    require(upToZero.size() <= size && upToZero.find('\0') == Text::npos &&
                std::string_view(reinterpret_cast<const char*>(data), upToZero.size()) == upToZero,
            "toText of bytes");
    require(toText(toBytes(text)) == text, "toBytes and back");
    return 0;
}
