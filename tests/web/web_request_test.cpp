// The web request against a recording HTTP object and an in-memory cookie
// store: the order of the member calls, time-outs, method, header lines, the
// cookie exchange, the reading of the response lines, and that the body is
// handed through without a copy. The real object on the wire is covered by
// tests/web/web_request_wire_test.py.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/web/fake_cookie_store.h"
#include "tests/web/recording_http_request.h"

namespace {

const Text kUserAgent = "Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)";

std::vector<Text> defaultHeaderCalls(const Text& url) {
    return {"SetRequestHeader [Referer] [ " + url + "]", "SetRequestHeader [Accept] [ */*]",
            "SetRequestHeader [Accept-Language] [ zh-cn]",
            "SetRequestHeader [User-Agent] [ " + kUserAgent + "]",
            "SetRequestHeader [Content-Type] [ application/x-www-form-urlencoded]"};
}

TEST(WebRequest, DefaultCallInOrder) {
    RecordingHttpRequest http;
    http.body = {'o', 'k', 0, 'x'};
    http.headers = "Content-Length: 4\r\n";
    FakeCookieStore store;
    WebRequestArgs args;
    args.url = "http://127.0.0.1:8790/question";
    args.timeoutSeconds = -1;

    ByteArray result = runWebRequest(args, &http, store);

    std::vector<Text> expected = {"Open GET http://127.0.0.1:8790/question false"};
    for (const auto& call : defaultHeaderCalls(args.url)) expected.push_back(call);
    expected.insert(expected.end(), {"Send text []", "ResponseBody", "GetallResponseHeaders"});
    EXPECT_EQ(http.calls, expected);
    EXPECT_EQ(result, (ByteArray{'o', 'k', 0, 'x'}));
    EXPECT_EQ(args.method, "GET");
    EXPECT_EQ(args.headers,
              "Referer: http://127.0.0.1:8790/question\r\nAccept: */*\r\nAccept-Language: "
              "zh-cn\r\nUser-Agent: " +
                  kUserAgent + "\r\nContent-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(args.responseHeaders, "Content-Length: 4\r\n");
    EXPECT_EQ(args.cookies, "");
    EXPECT_EQ(args.returnedCookies, "");
    EXPECT_EQ(store.lookedUpUrls(), (std::vector<Text>{"https://0.1", "http://0.1"}));
    EXPECT_TRUE(store.writes.empty());
}

TEST(WebRequest, BodyIsHandedThroughWithoutACopy) {
    RecordingHttpRequest http;
    http.body.assign(1 << 20, 0x5A);
    FakeCookieStore store;
    WebRequestArgs args;
    args.url = "http://a.b/";
    ByteArray result = runWebRequest(args, &http, store);
    EXPECT_EQ(result.size(), size_t{1} << 20);
    EXPECT_EQ(static_cast<const void*>(result.data()), http.handedOutBody);
}

TEST(WebRequest, TimeOuts) {
    const std::pair<std::int32_t, int> cases[] = {
        {0, 15000},         {-5, 15000},           {2, 2000},          {1, 1000},
        {INT32_MIN, 15000}, {2147483, 2147483000}, {2147484, INT_MAX}, {INT32_MAX, INT_MAX},
    };
    for (const auto& [seconds, milliseconds] : cases) {
        RecordingHttpRequest http;
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = "http://a.b/";
        args.timeoutSeconds = seconds;
        runWebRequest(args, &http, store);
        Text ms = std::to_string(milliseconds);
        ASSERT_FALSE(http.calls.empty());
        EXPECT_EQ(http.calls.front(), "SetTimeouts " + ms + " " + ms + " " + ms + " " + ms)
            << "seconds=" << seconds;
        EXPECT_EQ(http.callsStartingWith("SetTimeouts").size(), 1u);
    }
    RecordingHttpRequest http;
    FakeCookieStore store;
    WebRequestArgs args;
    args.url = "http://a.b/";
    args.timeoutSeconds = -1;
    runWebRequest(args, &http, store);
    EXPECT_TRUE(http.callsStartingWith("SetTimeouts").empty());
}

TEST(WebRequest, Method) {
    const std::pair<Text, Text> cases[] = {
        {"post", "POST"}, {"", "GET"}, {"Get", "GET"}, {"put\xD6\xD0", "PUT\xD6\xD0"}};
    for (const auto& [given, used] : cases) {
        RecordingHttpRequest http;
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = "http://a.b/";
        args.method = given;
        runWebRequest(args, &http, store);
        EXPECT_EQ(args.method, used);
        EXPECT_EQ(http.callsStartingWith("Open"),
                  (std::vector<Text>{"Open " + used + " http://a.b/ false"}));
    }
}

TEST(WebRequest, NoRedirectSetsOptionSixToZeroAfterOpen) {
    RecordingHttpRequest http;
    FakeCookieStore store;
    WebRequestArgs args;
    args.url = "http://a.b/";
    args.timeoutSeconds = 2;
    args.noRedirect = true;
    runWebRequest(args, &http, store);
    ASSERT_GE(http.calls.size(), 3u);
    EXPECT_EQ(http.calls[1], "Open GET http://a.b/ false");
    EXPECT_EQ(http.calls[2], "Option 6 0");
    EXPECT_EQ(http.callsStartingWith("Option").size(), 1u);
}

TEST(WebRequest, HeaderLines) {
    const std::pair<Text, std::vector<Text>> cases[] = {
        {"X-A: 1", {"SetRequestHeader [X-A] [ 1]"}},
        {"A: 1\r\n\r\nB: 2", {"SetRequestHeader [A] [ 1]", "SetRequestHeader [B] [ 2]"}},
        {"X-Url: http://h:81/p", {"SetRequestHeader [X-Url] [ http://h:81/p]"}},
        {"X-Empty:", {"SetRequestHeader [X-Empty] []"}},
        {"no colon here", {}},
        {"A:1\nB:2", {"SetRequestHeader [A] [1\nB:2]"}},  // only "\r\n" breaks lines
        {"\r\n :x\r\n", {"SetRequestHeader [ ] [x]"}},
    };
    for (const auto& [headers, expected] : cases) {
        RecordingHttpRequest http;
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = "http://a.b/";
        args.headers = headers;
        runWebRequest(args, &http, store);
        EXPECT_EQ(http.callsStartingWith("SetRequestHeader"), expected) << headers;
        EXPECT_EQ(args.headers, headers);
    }
}

TEST(WebRequest, CookieHeaderComesFirstWithTheMergedList) {
    RecordingHttpRequest http;
    FakeCookieStore store;
    store.stored["http://b.c"] = "a=1; b=2";
    WebRequestArgs args;
    args.url = "https://d.b.c:8443/x";
    args.cookies = "b=9";
    runWebRequest(args, &http, store);
    std::vector<Text> expected = {"SetRequestHeader [Cookie] [a=1; b=9;]"};
    for (const auto& call : defaultHeaderCalls(args.url)) expected.push_back(call);
    EXPECT_EQ(http.callsStartingWith("SetRequestHeader"), expected);
    EXPECT_EQ(args.cookies, "a=1; b=9;");
    EXPECT_EQ(store.lookedUpUrls(), (std::vector<Text>{"https://b.c", "http://b.c"}));
    using W = FakeCookieStore::Write;
    EXPECT_EQ(store.writes, (std::vector<W>{{"http://b.c", "a", "1"}, {"http://b.c", " b", "9"}}));
}

TEST(WebRequest, ResponseLines) {
    struct Case {
        Text responseHeaders;
        Text redirectTarget, returnedCookies, cookies;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; path=/\r\n", "keep", "sid=abc;", "a=1; sid=abc;"},
        {"Set-Cookie: k=v\r\nSet-Cookie: m=2; path=/", "keep", "; m=2;", "a=1; m=2;"},
        {"set-cookie: sid=abc; path=/\r\n", "keep", "", "a=1;"},
        {"Location: /next\r\n", "/next", "", "a=1;"},
        {"location: /next\r\nContent-Location: x\r\n", "Content- x", "", "a=1;"},
        {"X: a Location: b\r\n", "X: a  b", "", "a=1;"},
        {"Set-Cookie: a=deleted; path=/\r\n", "keep", "a=deleted;", ""},
        {"Set-Cookie: a=2;\r\nSet-Cookie: b=;\r\nLocation: http://x/\r\n", "http://x/", "a=2; b=;",
         "a=2;"},
        {"Set-Cookie2: z=1;\r\n", "keep", ";", "a=1;"},
    };
    for (const auto& c : cases) {
        RecordingHttpRequest http;
        http.headers = c.responseHeaders;
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = "http://h.a.b/";
        args.cookies = "a=1";
        args.redirectTarget = "keep";
        args.returnedCookies = "stale=1";
        runWebRequest(args, &http, store);
        EXPECT_EQ(args.responseHeaders, c.responseHeaders);
        EXPECT_EQ(args.redirectTarget, c.redirectTarget) << c.responseHeaders;
        EXPECT_EQ(args.returnedCookies, c.returnedCookies) << c.responseHeaders;
        EXPECT_EQ(args.cookies, c.cookies) << c.responseHeaders;
        FakeCookieStore expectedStore;
        writeBrowserCookies(expectedStore, "a.b", c.cookies);
        EXPECT_EQ(store.writes, expectedStore.writes) << c.responseHeaders;
    }
}

TEST(WebRequest, DomainOfTheCookieExchange) {
    const std::pair<Text, Text> cases[] = {
        {"http://a.b.c/x", "b.c"},
        {"https://d.b.c:8443/x", "b.c"},
        {"http://10.1.2.3:8080/", "2.3"},
        {"http://localhost:81/", "localhost"},
    };
    for (const auto& [url, domain] : cases) {
        RecordingHttpRequest http;
        http.headers = "Set-Cookie: s=1; path=/\r\n";
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = url;
        runWebRequest(args, &http, store);
        EXPECT_EQ(store.lookedUpUrls(),
                  (std::vector<Text>{"https://" + domain, "http://" + domain}));
        using W = FakeCookieStore::Write;
        EXPECT_EQ(store.writes, (std::vector<W>{{"http://" + domain, "s", "1"}}));
    }
}

TEST(WebRequest, Bodies) {
    RecordingHttpRequest textHttp;
    FakeCookieStore store;
    WebRequestArgs textArgs;
    textArgs.url = "http://a.b/";
    textArgs.method = "post";
    textArgs.body = "q=1&r=\xD6\xD0";
    runWebRequest(textArgs, &textHttp, store);
    EXPECT_EQ(textHttp.callsStartingWith("Send"),
              (std::vector<Text>{"Send text [q=1&r=\xD6\xD0]"}));

    RecordingHttpRequest bytesHttp;
    WebRequestArgs bytesArgs;
    bytesArgs.url = "http://a.b/";
    bytesArgs.body = "ignored";
    bytesArgs.byteBody = {0, 1, 0, 0xFF};
    runWebRequest(bytesArgs, &bytesHttp, store);
    EXPECT_EQ(bytesHttp.callsStartingWith("Send"), (std::vector<Text>{"Send bytes 4"}));
    EXPECT_EQ(bytesHttp.sentBytes, (ByteArray{0, 1, 0, 0xFF}));
    EXPECT_EQ(bytesArgs.byteBody, (ByteArray{0, 1, 0, 0xFF}));
    EXPECT_EQ(bytesArgs.body, "ignored");
}

TEST(WebRequest, FailedRequestStillExchangesCookies) {
    RecordingHttpRequest http;  // nothing arrives: empty body and header text
    FakeCookieStore store;
    store.stored["http://b.c"] = "a=1";
    WebRequestArgs args;
    args.url = "http://x.b.c/";
    args.cookies = "c=3";
    args.redirectTarget = "keep";
    args.responseHeaders = "stale";
    args.returnedCookies = "stale=1";
    EXPECT_TRUE(runWebRequest(args, &http, store).empty());
    EXPECT_EQ(args.responseHeaders, "");
    EXPECT_EQ(args.returnedCookies, "");
    EXPECT_EQ(args.redirectTarget, "keep");
    EXPECT_EQ(args.cookies, "a=1; c=3;");
    using W = FakeCookieStore::Write;
    EXPECT_EQ(store.writes, (std::vector<W>{{"http://b.c", "a", "1"}, {"http://b.c", " c", "3"}}));
}

TEST(WebRequest, FailedSendIsNotFollowedByReads) {
    RecordingHttpRequest http;
    http.sendSucceeds = false;
    http.body = {'x'};
    http.headers = "Set-Cookie: s=1; path=/\r\n";
    FakeCookieStore store;
    WebRequestArgs args;
    args.url = "http://x.b.c/";
    args.cookies = "c=3";
    args.responseHeaders = "stale";
    EXPECT_TRUE(runWebRequest(args, &http, store).empty());
    EXPECT_TRUE(http.callsStartingWith("ResponseBody").empty());
    EXPECT_TRUE(http.callsStartingWith("GetallResponseHeaders").empty());
    EXPECT_EQ(http.calls.back(), "Send text []");
    EXPECT_EQ(args.responseHeaders, "");
    EXPECT_EQ(args.returnedCookies, "");
    EXPECT_EQ(args.cookies, "c=3;");
    using W = FakeCookieStore::Write;
    EXPECT_EQ(store.writes, (std::vector<W>{{"http://b.c", "c", "3"}}));
}

TEST(WebRequest, NoObjectLeavesTheRecordUntouched) {
    FakeCookieStore store;
    store.stored["http://a.b"] = "a=1";
    WebRequestArgs args;
    args.url = "http://a.b/";
    args.method = "post";
    args.cookies = "c=3";
    args.returnedCookies = "r=1";
    args.responseHeaders = "old";
    EXPECT_TRUE(runWebRequest(args, nullptr, store).empty());
    EXPECT_EQ(args.method, "post");
    EXPECT_EQ(args.headers, "");
    EXPECT_EQ(args.cookies, "c=3");
    EXPECT_EQ(args.returnedCookies, "r=1");
    EXPECT_EQ(args.responseHeaders, "old");
    EXPECT_TRUE(store.lookups.empty());
    EXPECT_TRUE(store.writes.empty());
}

}  // namespace
