// Tested by tests/answers/profile_reader_test.cpp and tests/answers/profile_reader_win_test.cpp.
//
// The file is turned into a string of 16-bit units before parsing. For a code page 936
// file a unit is one decoded character: a single byte as itself, a double-byte
// character as (lead << 8) | trail, an undecodable sequence as '?'. For a file with a
// Unicode mark the units are UTF-16 code units. Every character the parser looks at
// (blanks, CR, LF, '[', ']', '=', quotes, ASCII letters) is below 0x80, and no
// double-byte unit is, so one parser serves both.
#include "answers/profile_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Units = std::u16string;
using UnitView = std::u16string_view;

constexpr std::size_t kMaxChars = kProfileBufferSize - 1;  // room left for the zero

bool isBlank(char16_t u) { return (u >= 0x09 && u <= 0x0D) || u == 0x1A || u == 0x20; }
bool isLineBreak(char16_t u) { return u == '\n' || u == '\r'; }
bool isLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool isTrailByte(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE); }

// Decodes code page 936 bytes. `dropLoneLead` is how the asked strings are converted
// (a lead byte at the very end vanishes); file text turns it into '?'. `offsets`, when
// given, receives each unit's byte offset and `invalid` the offsets of the sequences
// that decoded to '?'.
Units unitsFromAnsi(std::string_view bytes, bool dropLoneLead,
                    std::vector<std::size_t>* offsets = nullptr,
                    std::vector<std::size_t>* invalid = nullptr) {
    Units units;
    units.reserve(bytes.size());
    auto add = [&](char16_t unit, std::size_t at, bool bad) {
        units.push_back(unit);
        if (offsets) offsets->push_back(at);
        if (bad && invalid) invalid->push_back(at);
    };
    for (std::size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (!isLeadByte(b)) {
            add(b, i, false);
            ++i;
        } else if (i + 1 == bytes.size()) {
            if (!dropLoneLead) add(u'?', i, true);
            ++i;
        } else {
            auto t = static_cast<unsigned char>(bytes[i + 1]);
            if (t == 0) {
                add(u'?', i, true);  // the zero stays a character of its own
                ++i;
            } else {
                bool valid = isTrailByte(t);
                add(valid ? static_cast<char16_t>((b << 8) | t) : u'?', i, !valid);
                i += 2;
            }
        }
    }
    return units;
}

std::string textFromAnsiUnits(UnitView units) {
    std::string text;
    text.reserve(units.size() * 2);
    for (char16_t u : units) {
        if (u > 0xFF) text.push_back(static_cast<char>(u >> 8));
        text.push_back(static_cast<char>(u & 0xFF));
    }
    return text;
}

Units unitsFromUtf16(std::string_view bytes, bool bigEndian) {
    Units units(bytes.size() / 2, u'\0');  // an odd last byte is dropped
    for (std::size_t k = 0; k < units.size(); ++k) {
        auto first = static_cast<unsigned char>(bytes[2 * k]);
        auto second = static_cast<unsigned char>(bytes[2 * k + 1]);
        units[k] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return units;
}

UnitView trimmed(UnitView s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && isBlank(s[begin])) ++begin;
    while (end > begin && isBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// A zero unit ends a name or value, as it ends the platform's strings.
UnitView untilZero(UnitView s) {
    std::size_t zero = s.find(u'\0');
    return zero == UnitView::npos ? s : s.substr(0, zero);
}

Units folded(UnitView s) {
    Units out(s);
    for (char16_t& u : out)
        if (u >= 'A' && u <= 'Z') u = static_cast<char16_t>(u - 'A' + 'a');
    return out;
}

// Quote removal and the cut to the buffer, in characters, as the platform copies a
// value into its UTF-16 buffer: the closing quote goes only when the whole value fit.
Units copiedEntry(UnitView value, bool stripQuotes) {
    bool quoted = stripQuotes && value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                  value.back() == value[0];
    if (quoted) value.remove_prefix(1);
    Units copy(value.substr(0, kMaxChars));
    if (quoted && value.size() <= kMaxChars + 1) copy.pop_back();
    return copy;
}

// The longest run of whole code page 936 characters that fits the byte buffer.
std::string cutToBuffer(std::string text) {
    if (text.size() <= kMaxChars) return text;
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t step = isLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
        if (end + step > kMaxChars) break;
        end += step;
    }
    text.resize(end);
    return text;
}

// A name's units, ASCII letters folded and cut at a zero unit, as bytes (two a unit).
void appendFoldedName(std::string& out, UnitView name) {
    for (char16_t u : untilZero(name)) {
        if (u >= 'A' && u <= 'Z') u = static_cast<char16_t>(u - 'A' + 'a');
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    }
}

struct KeyLine {
    UnitView name;
    UnitView value;
    bool hasValue = false;
};

// The section name of a header line (already trimmed and starting with '['), or false.
bool sectionName(UnitView line, UnitView& name) {
    std::size_t close = line.rfind(u']');
    if (close == UnitView::npos || close == 0) return false;
    name = untilZero(trimmed(line.substr(1, close - 1)));
    return true;
}

KeyLine keyLine(UnitView line) {
    KeyLine key;
    std::size_t eq = line.find(u'=');
    if (eq == UnitView::npos) {
        key.name = untilZero(line);
        return key;
    }
    key.name = untilZero(trimmed(line.substr(0, eq)));
    key.value = untilZero(trimmed(line.substr(eq + 1)));
    key.hasValue = true;
    return key;
}

// Calls `onLine` with each trimmed, non-empty line until it returns false.
template <typename F>
void forEachLine(UnitView text, F onLine) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t start = pos;
        while (pos < text.size() && !isLineBreak(text[pos])) ++pos;
        UnitView line = trimmed(text.substr(start, pos - start));
        while (pos < text.size() && isLineBreak(text[pos])) ++pos;
        if (!line.empty() && !onLine(line)) return;
    }
}

// Asked names keep their ASCII; everything else becomes U+FFFF, which no file holds, so
// that no non-ASCII name can match.
std::u16string asciiWide(std::string_view bytes, char16_t other) {
    std::u16string wide;
    wide.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        wide.push_back(b < 0x80 ? b : other);
    }
    return wide;
}
// UTF-8 to UTF-16; a malformed sequence gives one U+FFFD per maximal invalid part.
std::u16string wideFromUtf8(std::string_view bytes) {
    std::u16string wide;
    wide.reserve(bytes.size());
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (std::size_t i = 0; i < bytes.size();) {
        unsigned char b = at(i);
        std::size_t need = b < 0x80                 ? 0
                           : b >= 0xC2 && b <= 0xDF ? 1
                           : b >= 0xE0 && b <= 0xEF ? 2
                           : b >= 0xF0 && b <= 0xF4 ? 3
                                                    : 99;
        if (need == 0) {
            wide.push_back(b);
            ++i;
            continue;
        }
        if (need == 99) {
            wide.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        char32_t code = b & (0x3F >> need);
        std::size_t got = 0;
        while (got < need && i + 1 + got < bytes.size()) {
            unsigned char c = at(i + 1 + got);
            unsigned char low = 0x80, high = 0xBF;  // the second byte's range depends on the first
            if (got == 0 && b == 0xE0) low = 0xA0;
            if (got == 0 && b == 0xED) high = 0x9F;
            if (got == 0 && b == 0xF0) low = 0x90;
            if (got == 0 && b == 0xF4) high = 0x8F;
            if (c < low || c > high) break;
            code = (code << 6) | (c & 0x3F);
            ++got;
        }
        i += 1 + got;
        if (got < need) {
            wide.push_back(u'\uFFFD');
        } else if (code >= 0x10000) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
    }
    return wide;
}
std::u16string asciiWideFromText(std::string_view text) { return asciiWide(text, u'\uFFFF'); }

std::string asciiTextFromWide(std::u16string_view wide) {
    std::string text;
    text.reserve(wide.size());
    for (char16_t u : wide) text.push_back(u < 0x80 ? static_cast<char>(u) : '?');
    return text;
}

}  // namespace

const ProfileCodec& asciiProfileCodec() {
    static const ProfileCodec codec{wideFromUtf8, asciiWideFromText, asciiTextFromWide};
    return codec;
}

BankIndex BankIndex::withoutFile(ProfileSource source) {
    BankIndex index;
    index.source_ = source;
    return index;
}

BankIndex BankIndex::build(std::string_view fileBytes, std::string_view section,
                           const ProfileCodec& codec) {
    BankIndex index;
    index.source_ = ProfileSource::read;
    Units text;
    auto startsWith = [&](std::string_view mark) {
        return fileBytes.substr(0, mark.size()) == mark;
    };
    if (startsWith("\xEF\xBB\xBF")) {
        text = codec.wideFromUtf8(fileBytes.substr(3));
        index.codec_ = &codec;
    } else if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        text = unitsFromUtf16(fileBytes.substr(2), fileBytes[0] == '\xFE');
        index.codec_ = &codec;
    } else {
        text = unitsFromAnsi(fileBytes, false);
    }
    const Units wanted = folded(untilZero(trimmed(index.queryUnits(section))));

    // Reserved for the largest case (every line a key), which spares the copies of growth.
    index.slots_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1);
    index.arena_.reserve(text.size() * 3);
    bool inside = false;
    forEachLine(text, [&](UnitView line) {
        UnitView name;
        if (line[0] == '[' && sectionName(line, name)) {
            if (inside) return false;  // later sections are never searched
            inside = folded(name) == wanted;
            index.hasSection_ = inside;
            return true;
        }
        if (!inside) return true;
        KeyLine key = keyLine(line);
        Slot slot{};
        slot.name = index.arena_.size();
        appendFoldedName(index.arena_, key.name);
        slot.nameLength = index.arena_.size() - slot.name;
        slot.hasValue = key.hasValue;
        if (key.hasValue) {
            Units copy = copiedEntry(key.value, true);
            std::string answer =
                cutToBuffer(index.codec_ ? codec.textFromWide(copy) : textFromAnsiUnits(copy));
            slot.answer = index.arena_.size();
            slot.answerLength = answer.size();
            index.arena_ += answer;
        }
        index.slots_.push_back(slot);
        return true;
    });
    // Sorted by name, file order kept among equal names; then the first of each stays.
    auto byName = [&](const Slot& a, const Slot& b) { return index.nameOf(a) < index.nameOf(b); };
    std::stable_sort(index.slots_.begin(), index.slots_.end(), byName);
    auto sameName = [&](const Slot& a, const Slot& b) {
        return index.nameOf(a) == index.nameOf(b);
    };
    index.slots_.erase(std::unique(index.slots_.begin(), index.slots_.end(), sameName),
                       index.slots_.end());
    index.slots_.shrink_to_fit();
    index.arena_.shrink_to_fit();
    return index;
}

std::u16string BankIndex::queryUnits(std::string_view text) const {
    Units units = unitsFromAnsi(text.substr(0, text.find('\0')), true);
    // Decoded first, so that the platform conversion sees only whole characters.
    return codec_ ? codec_->wideFromText(textFromAnsiUnits(units)) : units;
}

Text BankIndex::lookup(std::string_view key, std::string_view defaultText) const {
    key = key.substr(0, key.find('\0'));
    if (key.empty()) return {};
    if (source_ == ProfileSource::read) {
        std::string name;
        appendFoldedName(name, trimmed(queryUnits(key)));
        auto found = std::lower_bound(
            slots_.begin(), slots_.end(), name,
            [&](const Slot& slot, const std::string& n) { return nameOf(slot) < n; });
        if (found != slots_.end() && nameOf(*found) == name && found->hasValue)
            return Text(arena_, found->answer, found->answerLength);
    }
    // The default goes through the same conversions, with trailing spaces removed first.
    Units fallback = unitsFromAnsi(defaultText.substr(0, defaultText.find('\0')), true);
    while (fallback.size() > 1 && fallback.back() == u' ') fallback.pop_back();
    bool stripQuotes = source_ != ProfileSource::unreadable;
    return cutToBuffer(textFromAnsiUnits(copiedEntry(fallback, stripQuotes)));
}

std::vector<ProfileLine> parseProfileLines(std::string_view fileBytes) {
    std::vector<std::size_t> offsets;
    const Units text = unitsFromAnsi(fileBytes, false, &offsets);
    std::vector<ProfileLine> lines;
    forEachLine(text, [&](UnitView line) {
        ProfileLine parsed;
        parsed.offset = offsets[static_cast<std::size_t>(line.data() - text.data())];
        UnitView name;
        if (line[0] == '[' && sectionName(line, name)) {
            parsed.isSection = true;
            parsed.name = textFromAnsiUnits(name);
        } else {
            KeyLine key = keyLine(line);
            parsed.name = textFromAnsiUnits(key.name);
            parsed.value = textFromAnsiUnits(key.value);
            parsed.hasValue = key.hasValue;
        }
        lines.push_back(std::move(parsed));
        return true;
    });
    return lines;
}

std::vector<std::size_t> invalidCodePage936Offsets(std::string_view fileBytes) {
    std::vector<std::size_t> invalid;
    unitsFromAnsi(fileBytes, false, nullptr, &invalid);
    return invalid;
}

Text lookupBankAnswer(const BankIndex& index, std::string_view questionId) {
    std::size_t skip = 0;
    while (skip < questionId.size() && static_cast<unsigned char>(questionId[skip]) <= 0x20) ++skip;
    questionId.remove_prefix(skip);
    if (questionId.empty()) return {};
    return index.lookup(questionId, kNoAnswer);
}

ProfileSource readProfileFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) return errno == ENOENT ? ProfileSource::missingFile : ProfileSource::unreadable;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
    return std::ferror(file.get()) ? ProfileSource::unreadable : ProfileSource::read;
}
