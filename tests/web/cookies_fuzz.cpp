// Fuzz target of the cookie and host helpers (web/cookies.h): mergeCookies
// and hostFromUrl under rules that hold for every input.
//
// Input: byte 0 is unused by the checks but kept so that seeds may vary it;
// the rest is up to two texts separated by a zero byte: a cookie-list target
// (also the URL) and a cookie-list source.
//
// mergeCookies:
// - the result is the new target, in the form "a=1; b=2;": empty, or items
//   each trimmed of blanks joined by "; " and ending with ";";
// - the source is left trimmed, ending with ";" when not empty;
// - merging the result again with an empty source changes nothing, unless a
//   trimmed item ends in "=" or "=deleted" (an item "a= " is kept, and only
//   the second merge sees it end in "=");
// - lists whose only blanks are single spaces after ";" and that hold no
//   double-byte characters never give an item ending in "=" or "=deleted".
// hostFromUrl, for all four flag combinations:
// - the host is in lower case and holds no "/", nor ":" unless the port is
//   kept; reduced to the domain it holds at most one ".";
// - the port cut is the same as cutting the host with its port at ":";
// - a host given back to hostFromUrl with the same flags comes back unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/text.h"
#include "web/cookies.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "cookies_fuzz: %s\n", what);
        std::abort();
    }
}

bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool dropped(std::string_view item) { return endsWith(item, "=") || endsWith(item, "=deleted"); }

// Only single spaces after ";" as blanks, and no byte of 0x80 or above.
bool plainList(std::string_view list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (static_cast<unsigned char>(list[i]) >= 0x80) return false;
        if (list[i] == ' ' && (i == 0 || list[i - 1] != ';')) return false;
    }
    return true;
}

// The number of character steps that hold `byte` as a single-byte character.
int stepsWith(std::string_view text, char byte) {
    int found = 0;
    for (std::size_t p = 0; p < text.size();) {
        bool lead = static_cast<unsigned char>(text[p]) >= 0x80;
        if (!lead && text[p] == byte) ++found;
        p += lead ? 2 : 1;
    }
    return found;
}

bool hasUpperAscii(std::string_view text) {
    for (std::size_t p = 0; p < text.size();) {
        auto c = static_cast<unsigned char>(text[p]);
        if (c >= 'A' && c <= 'Z') return true;
        p += c >= 0x80 ? 2 : 1;
    }
    return false;
}

void checkMerge(std::string_view targetIn, std::string_view sourceIn) {
    Text target(targetIn), source(sourceIn);
    Text result = mergeCookies(target, source);
    require(result == target, "the result is not the new target");

    Text normalised = trimBoth(sourceIn);
    if (!normalised.empty() && normalised.back() != ';') normalised += ';';
    require(source == normalised, "the source is not left trimmed with a final ';'");

    bool anyDropped = false;
    if (!result.empty()) {
        require(result.back() == ';', "the list does not end with ';'");
        // Rebuild the form from the items: "x; y; z;".
        TextArray items = splitText(result, ";");
        Text rebuilt;
        for (std::size_t k = 0; k < items.size(); ++k) {
            std::string_view item = items[k];
            if (k > 0) {
                require(!item.empty() && item[0] == ' ', "items not separated by \"; \"");
                item.remove_prefix(1);
            }
            require(trimBoth(item) == item, "an item is not trimmed");
            anyDropped = anyDropped || dropped(item);
            rebuilt += item;
            rebuilt += k + 1 < items.size() ? "; " : ";";
        }
        require(rebuilt == result, "the list is not in the form \"a=1; b=2;\"");
    }
    if (!anyDropped) {
        Text again = result, empty;
        require(mergeCookies(again, empty) == result, "merging again changed the list");
    }
    if (plainList(targetIn) && plainList(sourceIn))
        require(!anyDropped, "an item ending in \"=\" or \"=deleted\" was kept");
}

void checkHosts(std::string_view url) {
    for (int flags = 0; flags < 4; ++flags) {
        bool reduce = flags & 1, keepPort = flags & 2;
        Text host = hostFromUrl(url, reduce, keepPort);
        require(!hasUpperAscii(host), "host not in lower case");
        require(stepsWith(host, '/') == 0, "host holds a '/'");
        if (!keepPort) require(stepsWith(host, ':') == 0, "host holds a ':' without its port");
        if (reduce) require(stepsWith(host, '.') <= 1, "domain of more than two labels");
        require(hostFromUrl(host, reduce, keepPort) == host, "host not stable under hostFromUrl");
    }
    Text withPort = hostFromUrl(url, false, true);
    int colon = findText(withPort, ":");
    Text cut = colon == -1 ? withPort : textLeft(withPort, colon - 1);
    require(hostFromUrl(url) == cut, "port cut differs from the host with its port");
    Text domain = hostFromUrl(url, true);
    require(domain == hostFromUrl(cut, true), "domain differs from the host's domain");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 4096) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t zero = rest.find('\0');
    std::string_view first = rest.substr(0, zero);
    std::string_view second =
        zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    second = second.substr(0, second.find('\0'));

    checkMerge(first, second);
    checkMerge(second, first);
    checkMerge(first, {});
    checkHosts(first);
    return 0;
}
