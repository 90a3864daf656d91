// Tested by tests/web/browser_cookies_win_test.cpp.
#include "web/browser_cookies_win.h"

#include <windows.h>
#include <wininet.h>

bool WinInetCookieStore::getCookies(const Text& url, char* buffer, std::uint32_t size) {
    DWORD capacity = size;
    return ::InternetGetCookieA(url.c_str(), "", buffer, &capacity) != FALSE;
}

void WinInetCookieStore::setCookie(const Text& url, const Text& name, const Text& value) {
    ::InternetSetCookieA(url.c_str(), name.c_str(), value.c_str());
}

Text readBrowserCookies(std::string_view hostOrUrl, std::string_view cookieName) {
    WinInetCookieStore store;
    return readBrowserCookies(store, hostOrUrl, cookieName);
}

void writeBrowserCookies(std::string_view hostOrUrl, std::string_view cookieList) {
    WinInetCookieStore store;
    writeBrowserCookies(store, hostOrUrl, cookieList);
}
