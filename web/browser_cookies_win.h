// The browser's cookie store (WinINet) behind the cookie helpers of
// web/cookies.h.
//
// Tested by tests/web/browser_cookies_win_test.cpp.
#pragma once

#include <string_view>

#include "app/text.h"
#include "web/cookies.h"

// InternetGetCookieA (with an empty cookie name) and InternetSetCookieA.
class WinInetCookieStore final : public BrowserCookieStore {
  public:
    bool getCookies(const Text& url, char* buffer, std::uint32_t size) override;
    void setCookie(const Text& url, const Text& name, const Text& value) override;
};

// readBrowserCookies and writeBrowserCookies of web/cookies.h on the
// browser's store: readBrowserCookies("b.c") gives what the store holds for
// "http://b.c"; writeBrowserCookies("b.c", "a=1; b=2;") stores a=1 and, under
// the name " b", 2.
Text readBrowserCookies(std::string_view hostOrUrl, std::string_view cookieName = {});
void writeBrowserCookies(std::string_view hostOrUrl, std::string_view cookieList);
