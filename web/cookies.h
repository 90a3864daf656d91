// Cookie and host helpers used around every web request: the host or domain
// of a URL, cookie-list merging, cutting text between markers, and reading and
// writing the browser's cookie store through a small store interface (the
// WinINet store in web/browser_cookies_win.h, a fake in the tests).
//
// A cookie list is a Text of name=value items separated by ";"; the form
// mergeCookies produces is "a=1; b=2;". Everything here is built on the text
// operations of app/text.h, so positions are 1-based byte positions and
// searches without regard to case fold the ASCII letters only.
//
// Portable: no Windows headers. Tested by tests/web/cookies_test.cpp and,
// against the real store, tests/web/browser_cookies_win_test.cpp.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/text.h"

// The host of `url` after "http://" or "https://" (exact case; without a
// scheme the whole text counts), up to the first "/", without its port unless
// `keepPort`, in lower case. With `reduceToDomain`, a host of two or more
// labels is cut to its last two: "http://a.b.c/x" gives "b.c".
Text hostFromUrl(std::string_view url, bool reduceToDomain = false, bool keepPort = false);

// Merges the cookie list `source` into `target`. Both are first trimmed and
// given a final ";" when not empty (the source keeps that form). Each source
// item with "=" replaces every occurrence of the target's item of the same
// name (a plain substring search without regard to case, so "id" matches
// inside "sid") or is appended; then items ending in "=" or "=deleted" are
// dropped and the rest are trimmed and joined as "a=1; b=2;". Returns a copy
// of the new target.
Text mergeCookies(Text& target, Text& source);

// The text between the first `startMarker` at or after `startPosition` (0 or
// 1: from the beginning) and the next `endMarker`, both found without regard
// to case; empty when either is missing.
// textBetween("Set-Cookie: sid=abc; path=/", "Set-Cookie:", ";") == " sid=abc".
Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int startPosition = 0);

// The text from `startMarker` (found at or after `position`) up to, not
// including, the next `endMarker` (or the end of the text). With
// `useMiddleMarker` the end is searched after `middleMarker`, which is found
// from the start marker; otherwise `middleMarker` receives a copy of
// `startMarker`. On return `position` holds where the result begins: the
// start marker's position, or just after the middle marker when
// `includeMarker` is false; -1 (with an empty result) when a marker is missing.
Text textBetweenAt(std::string_view text, int& position, std::string_view startMarker,
                   Text& middleMarker, bool useMiddleMarker, std::string_view endMarker,
                   bool ignoreCase = true, bool includeMarker = true);

// Size of the cookie read buffer offered to the store. A cookie text of more
// than kCookieBufferSize - 1 bytes does not fit with its terminating zero.
inline constexpr int kCookieBufferSize = 1024;

// The browser's cookie store, addressed by URL ("http://" or "https://" and a
// host).
class BrowserCookieStore {
  public:
    virtual ~BrowserCookieStore() = default;
    // Writes the cookie text stored for `url`, zero-terminated, into the
    // `size` bytes at `buffer` ("a=1; b=2"). False when the store holds none
    // or it does not fit; the buffer may then be left as it was.
    virtual bool getCookies(const Text& url, char* buffer, std::uint32_t size) = 0;
    // Stores one cookie for `url`. Failures are not reported.
    virtual void setCookie(const Text& url, const Text& name, const Text& value) = 0;
};

// The cookies `store` holds for the host of `hostOrUrl` (port removed). Both
// "https://" + host and "http://" + host are looked up, in this order, into one
// shared buffer; the https lookup decides when `hostOrUrl` begins with
// "https://" (any case), the http one otherwise, and a failed deciding lookup
// gives the empty text. With a `cookieName`, returns the value after the first
// occurrence of that name (found without regard to case, also inside a longer
// name) up to the next ";".
Text readBrowserCookies(BrowserCookieStore& store, std::string_view hostOrUrl,
                        std::string_view cookieName = {});

// Stores every item with "=" of `cookieList` for "http://" + host (or
// "https://" + host when `hostOrUrl` begins with it). The name is the text
// before the first "=" and the value the rest; neither is trimmed.
void writeBrowserCookies(BrowserCookieStore& store, std::string_view hostOrUrl,
                         std::string_view cookieList);
