// Tested by tests/app/text_test.cpp.
#include "app/text.h"

#include <algorithm>

namespace {

bool isLeadByte(unsigned char byte) { return byte >= 0x80; }

unsigned char foldAscii(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

// Length of the character step at `pos`, or 0 when a lone lead byte at the
// end stops the scan.
size_t stepAt(std::string_view text, size_t pos) {
    if (!isLeadByte(static_cast<unsigned char>(text[pos]))) return 1;
    return pos + 1 < text.size() ? 2 : 0;
}

bool matchesAt(std::string_view text, size_t pos, std::string_view sought, bool ignoreCase) {
    for (size_t i = 0; i < sought.size(); ++i) {
        auto a = static_cast<unsigned char>(text[pos + i]);
        auto b = static_cast<unsigned char>(sought[i]);
        if (ignoreCase ? foldAscii(a) != foldAscii(b) : a != b) return false;
    }
    return true;
}

// 0-based offset where a scan given a 1-based `start` begins.
size_t scanOrigin(int start) { return start <= 1 ? 0 : static_cast<size_t>(start) - 1; }

bool isBlankAt(std::string_view text, size_t pos, size_t step) {
    if (step == 1) return text[pos] == ' ';
    return step == 2 && static_cast<unsigned char>(text[pos]) == 0xA1 &&
           static_cast<unsigned char>(text[pos + 1]) == 0xA1;
}

}  // namespace

int findText(std::string_view text, std::string_view sought, int start, bool ignoreCase) {
    size_t pos = scanOrigin(start);
    if (pos >= text.size()) return -1;
    if (sought.empty()) return 1;
    while (text.size() - pos >= sought.size()) {
        size_t step = stepAt(text, pos);
        if (step == 0) break;
        if (matchesAt(text, pos, sought, ignoreCase)) return static_cast<int>(pos) + 1;
        pos += step;
    }
    return -1;
}

int textLength(std::string_view text) { return static_cast<int>(text.size()); }

Text textLeft(std::string_view text, int count) {
    if (count <= 0) return {};
    return Text(text.substr(0, static_cast<size_t>(count)));
}

Text textRight(std::string_view text, int count) {
    if (count <= 0) return {};
    size_t n = std::min(text.size(), static_cast<size_t>(count));
    return Text(text.substr(text.size() - n));
}

Text textMid(std::string_view text, int start, int count) {
    if (start < 1 || static_cast<size_t>(start) > text.size() || count <= 0) return {};
    return Text(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count)));
}

TextArray splitText(std::string_view text, std::string_view delimiter,
                    std::optional<int> maxCount) {
    TextArray pieces;
    size_t limit = maxCount ? static_cast<size_t>(std::max(*maxCount, 0)) : SIZE_MAX;
    if (text.empty() || limit == 0) return pieces;
    if (delimiter.empty()) return {Text(text)};
    size_t pieceStart = 0;
    size_t pos = 0;
    while (pos < text.size() && text.size() - pos >= delimiter.size()) {
        size_t step = stepAt(text, pos);
        if (step == 0) break;
        if (matchesAt(text, pos, delimiter, false)) {
            pieces.emplace_back(text.substr(pieceStart, pos - pieceStart));
            if (pieces.size() == limit) return pieces;
            pos += delimiter.size();
            pieceStart = pos;
            continue;
        }
        pos += step;
    }
    if (pieceStart < text.size()) pieces.emplace_back(text.substr(pieceStart));
    return pieces;
}

int arraySize(const TextArray& array) { return static_cast<int>(array.size()); }

Text trimBoth(std::string_view text) {
    size_t begin = 0;
    while (begin < text.size()) {
        size_t step = stepAt(text, begin);
        if (!isBlankAt(text, begin, step)) break;
        begin += step;
    }
    size_t end = begin;  // end of the kept text so far
    size_t pos = begin;
    while (pos < text.size()) {
        size_t step = stepAt(text, pos);
        if (step == 0) break;  // a lone lead byte at the end is dropped
        if (!isBlankAt(text, pos, step)) end = pos + step;
        pos += step;
    }
    return Text(text.substr(begin, end - begin));
}

Text replaceSubtext(std::string_view text, std::string_view oldText, std::string_view newText,
                    int start, int count, bool caseSensitive) {
    size_t pos = scanOrigin(start);
    if (text.empty() || oldText.empty() || pos >= text.size() || count == 0) return Text(text);
    Text result(text.substr(0, pos));
    int replaced = 0;
    while (text.size() - pos >= oldText.size()) {
        size_t step = stepAt(text, pos);
        if (step == 0) {
            ++pos;  // a lone lead byte at the end is dropped
            break;
        }
        if (matchesAt(text, pos, oldText, !caseSensitive)) {
            result += newText;
            pos += oldText.size();
            if (++replaced == count) break;
            continue;
        }
        result += text.substr(pos, step);
        pos += step;
    }
    result += text.substr(std::min(pos, text.size()));
    return result;
}

namespace {

Text mapAsciiLetters(std::string_view text, char from, char to) {
    Text result(text);
    for (size_t pos = 0; pos < result.size(); ++pos) {
        auto byte = static_cast<unsigned char>(result[pos]);
        if (isLeadByte(byte)) {
            ++pos;  // the trail byte stays as it is
        } else if (byte >= static_cast<unsigned char>(from) &&
                   byte <= static_cast<unsigned char>(from + 25)) {
            result[pos] = static_cast<char>(byte - from + to);
        }
    }
    return result;
}

}  // namespace

Text toUpper(std::string_view text) { return mapAsciiLetters(text, 'a', 'A'); }
Text toLower(std::string_view text) { return mapAsciiLetters(text, 'A', 'a'); }

Text concatText(std::initializer_list<std::string_view> parts) {
    size_t total = 0;
    for (auto part : parts) total += part.size();
    Text result;
    result.reserve(total);
    for (auto part : parts) result += part;
    return result;
}

int compareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

Text blankText(int count) { return count <= 0 ? Text() : Text(static_cast<size_t>(count), ' '); }

Text charFromCode(int byteValue) {
    auto byte = static_cast<unsigned char>(byteValue);
    return byte == 0 ? Text() : Text(1, static_cast<char>(byte));
}

Text toText(std::int64_t value) { return std::to_string(value); }

Text toText(const ByteArray& bytes) {
    auto zero = std::find(bytes.begin(), bytes.end(), 0);
    return Text(bytes.begin(), zero);
}

Text toText(std::string_view text) { return Text(text.substr(0, text.find('\0'))); }

ByteArray toBytes(std::string_view text) { return ByteArray(text.begin(), text.end()); }

int bytesLength(const ByteArray& bytes) { return static_cast<int>(bytes.size()); }

ByteArray blankBytes(int count) {
    return count <= 0 ? ByteArray() : ByteArray(static_cast<size_t>(count), 0);
}
