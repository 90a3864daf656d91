// Tested by tests/web/cookies_test.cpp.
#include "web/cookies.h"

namespace {

// Appends ";" to a trimmed, non-empty list that lacks it.
Text normaliseCookieList(std::string_view list) {
    Text normalised = trimBoth(list);
    if (!normalised.empty() && textRight(normalised, 1) != ";") normalised += ';';
    return normalised;
}

bool countsAsSecure(std::string_view hostOrUrl) {
    return toLower(textLeft(hostOrUrl, 8)) == "https://";
}

bool isDroppedCookie(std::string_view item) {
    return textRight(item, 1) == "=" || textRight(item, 8) == "=deleted";
}

}  // namespace

Text hostFromUrl(std::string_view url, bool reduceToDomain, bool keepPort) {
    int start = 1;
    if (int http = findText(url, "http://"); http != -1) {
        start = http + 7;
    } else if (int https = findText(url, "https://"); https != -1) {
        start = https + 8;
    }
    int slash = findText(url, "/", start);
    Text host =
        slash != -1 ? textMid(url, start, slash - start) : textMid(url, start, textLength(url));
    if (!keepPort) {
        if (int colon = findText(host, ":"); colon != -1) host = textLeft(host, colon - 1);
    }
    host = toLower(host);
    if (reduceToDomain) {
        TextArray labels = splitText(host, ".");
        int count = arraySize(labels);
        if (count >= 2) host = concatText({labels[count - 2], ".", labels[count - 1]});
    }
    return host;
}

Text mergeCookies(Text& target, Text& source) {
    target = normaliseCookieList(target);
    source = normaliseCookieList(source);

    for (const Text& item : splitText(source, ";")) {
        int equals = findText(item, "=");
        if (equals == -1) continue;
        Text name = textLeft(item, equals - 1);
        if (findText(target, name, 1, true) != -1) {
            int position = 0;
            Text middle;
            Text old = textBetweenAt(target, position, name, middle, false, ";", true, true);
            target = replaceSubtext(target, old, item, 1, kReplaceAll, false);
        } else {
            target = concatText({target, item, ";"});
        }
    }

    Text rebuilt;
    for (const Text& item : splitText(target, ";")) {
        if (isDroppedCookie(item)) continue;
        rebuilt += trimBoth(item);
        rebuilt += "; ";
    }
    target = trimBoth(rebuilt);
    return target;
}

Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int startPosition) {
    int start = findText(text, startMarker, startPosition, true);
    if (start == -1) return {};
    int begin = start + textLength(startMarker);
    int end = findText(text, endMarker, begin, true);
    if (end == -1) return {};
    return textMid(text, begin, end - begin);
}

Text textBetweenAt(std::string_view text, int& position, std::string_view startMarker,
                   Text& middleMarker, bool useMiddleMarker, std::string_view endMarker,
                   bool ignoreCase, bool includeMarker) {
    position = findText(text, startMarker, position, ignoreCase);
    if (position == -1) return {};
    int middle = position;
    if (useMiddleMarker) {
        middle = findText(text, middleMarker, position, ignoreCase);
    } else {
        middleMarker = Text(startMarker);
    }
    if (middle == -1) {
        position = -1;
        return {};
    }
    int afterMiddle = middle + textLength(middleMarker);
    int end = findText(text, endMarker, afterMiddle, ignoreCase);
    if (end == -1) end = textLength(text) + 1;
    if (!includeMarker) position = afterMiddle;
    return textMid(text, position, end - position);
}

Text readBrowserCookies(BrowserCookieStore& store, std::string_view hostOrUrl,
                        std::string_view cookieName) {
    bool secure = countsAsSecure(hostOrUrl);
    Text host = hostFromUrl(hostOrUrl);
    // One buffer for both lookups: when both succeed it holds the http result.
    // The string's own terminator stays one byte past what the store may use.
    Text buffer = blankText(kCookieBufferSize);
    bool httpsFound = store.getCookies(concatText({"https://", host}), buffer.data(),
                                       static_cast<std::uint32_t>(kCookieBufferSize));
    bool httpFound = store.getCookies(concatText({"http://", host}), buffer.data(),
                                      static_cast<std::uint32_t>(kCookieBufferSize));
    if (!(secure ? httpsFound : httpFound)) return {};
    Text cookies = toText(std::string_view(buffer.c_str()));
    if (cookieName.empty()) return cookies;

    int found = findText(cookies, cookieName, 1, true);
    if (found == -1) return {};
    int nameLength = textLength(cookieName);
    int end = findText(cookies, ";", found, true);
    if (end != -1) return textMid(cookies, found + nameLength + 1, end - found - nameLength - 1);
    return textRight(cookies, textLength(cookies) - found - nameLength);
}

void writeBrowserCookies(BrowserCookieStore& store, std::string_view hostOrUrl,
                         std::string_view cookieList) {
    Text url =
        concatText({countsAsSecure(hostOrUrl) ? "https://" : "http://", hostFromUrl(hostOrUrl)});
    for (const Text& item : splitText(cookieList, ";")) {
        int equals = findText(item, "=");
        if (equals == -1) continue;
        store.setCookie(url, textLeft(item, equals - 1),
                        textMid(item, equals + 1, textLength(item)));
    }
}
