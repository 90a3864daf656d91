// The web request without its platform: the argument record, the members of
// the HTTP request object it drives, and the request itself run against any
// object and cookie store that offer those members. web/web_request_win.h
// binds it to the platform's COM HTTP request object and the WinINet store.
//
// Portable: no Windows headers. Tested by tests/web/web_request_test.cpp
// (with a recording object) and tests/web/web_request_wire_test.py (the real
// object under Wine, against a loopback server).
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "app/text.h"
#include "web/cookies.h"

// Inputs and outputs of one request. Every field but `url` may stay at its
// default; the request rewrites the fields marked "in/out" and "out".
struct WebRequestArgs {
    Text url;                         // in: "http://..." or "https://..."
    Text method;                      // in/out: upper-cased; empty becomes "GET"
    Text body;                        // in: sent when byteBody is empty
    Text cookies;                     // in/out: "a=1; b=2;", the list written to the store
    Text returnedCookies;             // out: the Set-Cookie pairs, "sid=abc;"
    Text headers;                     // in/out: "Name: value" lines joined by "\r\n"
    Text redirectTarget;              // out: the value of a "Location:" response line
    bool noRedirect = false;          // in: true keeps the object from following redirects
    std::int32_t timeoutSeconds = 0;  // in: -1 sets no time-outs, below 1 means 15 s
    Text responseHeaders;             // out: the response-header text of the object
    ByteArray byteBody;               // in: sent instead of body when not empty
};

// The members of the platform's HTTP request object that a request uses. A
// failed call is ignored; a failed read yields an empty value.
class HttpRequestObject {
  public:
    virtual ~HttpRequestObject() = default;
    virtual void setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
    virtual void open(const Text& method, const Text& url, bool async) = 0;
    virtual void setOption(int index, int value) = 0;
    virtual void setRequestHeader(const Text& name, const Text& value) = 0;
    // Both report whether the object says the request succeeded.
    virtual bool sendText(const Text& body) = 0;
    virtual bool sendBytes(const ByteArray& body) = 0;
    // The response body, moved out to the caller: the only copy the request
    // makes of it.
    virtual ByteArray responseBody() = 0;
    virtual Text allResponseHeaders() = 0;
};

// Option index of the object's automatic redirect following.
inline constexpr int kOptionEnableRedirects = 6;

// The header block used when the caller gives none: "Referer: " and the URL,
// then Accept, Accept-Language, User-Agent and Content-Type, joined by "\r\n"
// with no line break at the end.
Text defaultHeaderBlock(std::string_view url);

// The time-out in milliseconds for all four phases, or -1 when none are set
// (timeoutSeconds -1). Values below 1 mean 15 seconds; large values stop at
// the largest 32-bit count instead of overflowing.
int timeoutMilliseconds(std::int32_t timeoutSeconds);

// The name and value of every line of `headers` (split at "\r\n") that holds
// a ":", split at its first ":"; neither is trimmed. "X-A: 1" gives
// {"X-A", " 1"}.
std::vector<std::pair<Text, Text>> requestHeaderLines(std::string_view headers);

// Reads the response-header text: every line holding "Location:" (exact case)
// sets `redirectTarget` to the line without its first "Location:" (any case),
// trimmed; every line holding "Set-Cookie" (exact case) appends the trimmed
// text between "Set-Cookie:" and ";" and then "; " to `returnedCookies`, which
// starts empty.
void readResponseLines(std::string_view responseHeaders, Text& redirectTarget,
                       Text& returnedCookies);

// One request through `object` (null when the platform has none: then nothing
// happens and the record is unchanged), exchanging cookies with `store` for
// the URL's domain. Returns the response body, empty when none arrived. When
// the object reports that the request failed, its response is not read: the
// body and the response headers are empty.
ByteArray runWebRequest(WebRequestArgs& args, HttpRequestObject* object, BrowserCookieStore& store);
