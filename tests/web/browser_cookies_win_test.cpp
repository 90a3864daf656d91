// readBrowserCookies and writeBrowserCookies against the real WinINet store.
// Session cookies live in the process, so every run starts from an empty
// store; each test uses its own host so that the tests stay independent.
#include "web/browser_cookies_win.h"

#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

namespace {

TEST(BrowserCookies, WrittenListReadsBack) {
    writeBrowserCookies("list.example", "a=1; b=2;");
    Text stored = readBrowserCookies("list.example");
    // The second item is stored under the name " b", blank included.
    EXPECT_EQ(stored, "a=1;  b=2");
    EXPECT_EQ(readBrowserCookies("http://list.example/any/path?x"), stored);
    EXPECT_EQ(readBrowserCookies("list.example", "a"), "1");
    EXPECT_EQ(readBrowserCookies("list.example", "B"), "2");
    EXPECT_EQ(readBrowserCookies("list.example", "zz"), "");
}

TEST(BrowserCookies, ValuesKeepTheirEqualsSigns) {
    writeBrowserCookies("values.example", "t=abc==;e=;novalue");
    EXPECT_EQ(readBrowserCookies("values.example", "t"), "abc==");
    Text stored = readBrowserCookies("values.example");
    EXPECT_EQ(stored.find("t=abc=="), 0u) << stored;
    EXPECT_EQ(stored.find("novalue"), Text::npos) << stored;
}

TEST(BrowserCookies, NameMatchesInsideALongerName) {
    writeBrowserCookies("names.example", "uid=7;sid=abc");
    EXPECT_EQ(readBrowserCookies("names.example"), "uid=7; sid=abc");
    EXPECT_EQ(readBrowserCookies("names.example", "sid"), "abc");
    EXPECT_EQ(readBrowserCookies("names.example", "id"), "7");
}

TEST(BrowserCookies, DomainOfAnAddress) {
    // The web request exchanges the cookies of 127.0.0.1 under "0.1".
    writeBrowserCookies("0.1", "s=1");
    EXPECT_EQ(readBrowserCookies("0.1"), "s=1");
    EXPECT_EQ(readBrowserCookies("http://0.1:8790/question"), "s=1");
}

TEST(BrowserCookies, TextMustFitTheBufferWithItsZero) {
    // "k=" and its value: 1023 bytes fit the 1024-byte buffer, 1024 do not.
    writeBrowserCookies("fits.example", "k=" + Text(1021, 'v'));
    EXPECT_EQ(readBrowserCookies("fits.example"), "k=" + Text(1021, 'v'));
    writeBrowserCookies("toolong.example", "k=" + Text(1022, 'v'));
    char large[4096];
    DWORD size = sizeof(large);
    ASSERT_TRUE(::InternetGetCookieA("http://toolong.example", "", large, &size));
    EXPECT_EQ(Text(large), "k=" + Text(1022, 'v'));  // stored, but too long for the buffer
    EXPECT_EQ(readBrowserCookies("toolong.example"), "");
    EXPECT_EQ(readBrowserCookies("toolong.example", "k"), "");
}

TEST(BrowserCookies, UnknownHostReadsEmpty) {
    EXPECT_EQ(readBrowserCookies("nothing.example"), "");
    EXPECT_EQ(readBrowserCookies("https://nothing.example/"), "");
    EXPECT_EQ(readBrowserCookies(""), "");
}

TEST(BrowserCookies, SecureInputUsesTheHttpsUrl) {
    writeBrowserCookies("https://Secure.Example:8443/p", "s=1;");
    EXPECT_EQ(readBrowserCookies("https://secure.example/"), "s=1");
}

}  // namespace
