// Fuzz target of a request's response processing (web/web_request.h): the
// response-header text, the cookies the browser store holds and the caller's
// cookies come from the input, and one runWebRequest runs against an object
// and a store in memory. Checked for every input:
// - redirectTarget is the trimmed value of the last line that holds
//   "Location:", and stays as it was when no line does;
// - returnedCookies holds one trimmed piece per line that holds "Set-Cookie"
//   (read on its own with readResponseLines), and after the request it is
//   trimmed and ends with ";" when not empty;
// - the record's cookies are in the form "a=1; b=2;", and what is written to
//   the store is exactly their items with "=", for "http://" and the domain.
//
// Input: the response-header text, a zero byte, the cookie text the store
// holds for the domain, a zero byte, the caller's cookies.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/text.h"
#include "web/cookies.h"
#include "web/web_request.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "response_lines_fuzz: %s\n", what);
        std::abort();
    }
}

class CannedRequest final : public HttpRequestObject {
  public:
    Text headers;
    void setTimeouts(int, int, int, int) override {}
    void open(const Text&, const Text&, bool) override {}
    void setOption(int, int) override {}
    void setRequestHeader(const Text&, const Text&) override {}
    bool sendText(const Text&) override { return true; }
    bool sendBytes(const ByteArray&) override { return true; }
    ByteArray responseBody() override { return {'o', 'k'}; }
    Text allResponseHeaders() override { return headers; }
};

class OneDomainStore final : public BrowserCookieStore {
  public:
    Text stored;
    std::vector<std::pair<Text, Text>> writes;
    bool getCookies(const Text& url, char* buffer, std::uint32_t size) override {
        if (url != "http://b.c" || stored.size() + 1 > size) return false;
        stored.copy(buffer, stored.size());
        buffer[stored.size()] = '\0';
        return true;
    }
    void setCookie(const Text& url, const Text& name, const Text& value) override {
        require(url == "http://b.c", "cookie written for another URL");
        writes.emplace_back(name, value);
    }
};

// The form "a=1; b=2;" (see cookies_fuzz.cpp for the full check).
bool inListForm(std::string_view list) {
    return list.empty() || (list.back() == ';' && trimBoth(list) == list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8192) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view parts[3];
    for (std::string_view& part : parts) {
        std::size_t zero = rest.find('\0');
        part = rest.substr(0, zero);
        rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
    }
    const std::string_view responseHeaders = parts[0];

    // The lines on their own, against a line-by-line reading of the rule.
    Text redirect = "unchanged", returned = "old";
    readResponseLines(responseHeaders, redirect, returned);
    Text expectedRedirect = "unchanged";
    int cookieLines = 0;
    for (const Text& line : splitText(responseHeaders, "\r\n")) {
        if (findText(line, "Location:") != -1) {
            int at = findText(line, "Location:", 1, true);
            expectedRedirect = trimBoth(
                concatText({textLeft(line, at - 1), textMid(line, at + 9, textLength(line))}));
        }
        if (findText(line, "Set-Cookie") != -1) ++cookieLines;
    }
    require(redirect == expectedRedirect, "redirectTarget");
    // Each piece is trimmed, so the character steps of the whole text line up
    // with those of the pieces: its ";" steps are exactly the separators.
    int pieces = 0;
    std::size_t pieceStart = 0;
    for (std::size_t p = 0; p < returned.size();) {
        bool lead = static_cast<unsigned char>(returned[p]) >= 0x80;
        if (!lead && returned[p] == ';') {
            require(p + 1 < returned.size() && returned[p + 1] == ' ', "a piece without \"; \"");
            std::string_view piece(returned.data() + pieceStart, p - pieceStart);
            require(trimBoth(piece) == piece, "a returned cookie is not trimmed");
            ++pieces;
            p += 2;
            pieceStart = p;
            continue;
        }
        p += lead ? 2 : 1;
    }
    require(pieceStart == returned.size(), "returnedCookies does not end with \"; \"");
    require(pieces == cookieLines, "not one returned cookie per Set-Cookie line");

    // The whole request.
    CannedRequest http;
    http.headers = Text(responseHeaders);
    OneDomainStore store;
    store.stored = Text(parts[1]);
    WebRequestArgs args;
    args.url = "http://a.b.c/question";
    args.cookies = Text(parts[2]);
    ByteArray body = runWebRequest(args, &http, store);
    require(body == ByteArray{'o', 'k'}, "body");
    require(args.responseHeaders == responseHeaders, "responseHeaders");
    require(inListForm(args.returnedCookies), "returnedCookies not trimmed with a final ';'");
    require(inListForm(args.cookies), "cookies not in list form");
    std::size_t written = 0;
    for (const Text& item : splitText(args.cookies, ";")) {
        int equals = findText(item, "=");
        if (equals == -1) continue;
        require(written < store.writes.size(), "an item was not written to the store");
        require(store.writes[written].first == textLeft(item, equals - 1) &&
                    store.writes[written].second == textMid(item, equals + 1, textLength(item)),
                "an item was written differently");
        ++written;
    }
    require(written == store.writes.size(), "more written than the list holds");
    return 0;
}
