// Tested by tests/web/web_request_test.cpp and tests/web/web_request_wire_test.py.
#include "web/web_request.h"

#include <climits>

Text defaultHeaderBlock(std::string_view url) {
    return concatText({"Referer: ", url,
                       "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: Mozilla/5.0 "
                       "(compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)\r\nContent-Type: "
                       "application/x-www-form-urlencoded"});
}

int timeoutMilliseconds(std::int32_t timeoutSeconds) {
    if (timeoutSeconds == -1) return -1;
    if (timeoutSeconds < 1) return 15000;
    std::int64_t milliseconds = std::int64_t{timeoutSeconds} * 1000;
    return milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
}

std::vector<std::pair<Text, Text>> requestHeaderLines(std::string_view headers) {
    std::vector<std::pair<Text, Text>> lines;
    for (const Text& line : splitText(headers, "\r\n")) {
        int colon = findText(line, ":");
        if (colon == -1) continue;
        lines.emplace_back(textLeft(line, colon - 1), textMid(line, colon + 1, textLength(line)));
    }
    return lines;
}

void readResponseLines(std::string_view responseHeaders, Text& redirectTarget,
                       Text& returnedCookies) {
    returnedCookies.clear();
    for (const Text& line : splitText(responseHeaders, "\r\n")) {
        if (findText(line, "Location:") != -1) {
            redirectTarget = trimBoth(replaceSubtext(line, "Location:", "", 1, 1, false));
        }
        if (findText(line, "Set-Cookie") != -1) {
            returnedCookies += trimBoth(textBetween(line, "Set-Cookie:", ";"));
            returnedCookies += "; ";
        }
    }
}

ByteArray runWebRequest(WebRequestArgs& args, HttpRequestObject* object,
                        BrowserCookieStore& store) {
    if (!object) return {};
    HttpRequestObject& http = *object;

    args.method = toUpper(args.method);
    if (args.method.empty()) args.method = "GET";

    if (int timeout = timeoutMilliseconds(args.timeoutSeconds); timeout != -1) {
        http.setTimeouts(timeout, timeout, timeout, timeout);
    }
    // No proxy is configured: the object's own default applies.
    http.open(args.method, args.url, false);
    if (args.noRedirect) http.setOption(kOptionEnableRedirects, 0);

    if (args.headers.empty()) args.headers = defaultHeaderBlock(args.url);

    // The caller's cookies win over the stored ones of the same name.
    Text domain = hostFromUrl(args.url, true);
    Text stored = readBrowserCookies(store, domain);
    args.cookies = mergeCookies(stored, args.cookies);
    if (!args.cookies.empty()) http.setRequestHeader("Cookie", args.cookies);
    for (const auto& [name, value] : requestHeaderLines(args.headers)) {
        http.setRequestHeader(name, value);
    }

    bool sent = !args.byteBody.empty() ? http.sendBytes(args.byteBody) : http.sendText(args.body);

    // After a failed request the reads could only yield nothing, and the
    // platform's object may fault when its body is read after a receive
    // time-out, so they are not made.
    ByteArray result;
    args.responseHeaders.clear();
    if (sent) {
        result = http.responseBody();
        args.responseHeaders = http.allResponseHeaders();
    }
    readResponseLines(args.responseHeaders, args.redirectTarget, args.returnedCookies);
    mergeCookies(args.cookies, args.returnedCookies);
    writeBrowserCookies(store, domain, args.cookies);
    return result;
}
