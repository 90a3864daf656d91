// The bank's request against response heads a hostile server might send: hundreds of
// Set-Cookie lines, and Location and Set-Cookie lines of 100 KB. Every pair arrives in
// the record and in the cookie store whole, under its own name, and the body is
// untouched. Wine's request object cuts header lines at about 1.4 KB before they reach
// the request, so only here do lines of that size reach the cookie code; the real
// object is covered by tests/bank/hostile_head_test.py.
#include <gtest/gtest.h>

#include <string>

#include "tests/web/fake_cookie_store.h"
#include "tests/web/recording_http_request.h"
#include "web/web_request.h"

namespace {

const Text kUrl = "http://127.0.0.1:8790/question";
const Text kStoreUrl = "http://0.1";  // the last two labels of the host

struct Head {
    const char* name;
    Text lines;                                  // the response head
    Text redirectTarget;                         // expected in the record
    Text cookieList;                             // expected as returnedCookies and cookies
    std::vector<FakeCookieStore::Write> writes;  // expected in the store
};

Head manySetCookieLines() {
    Head head{"500 Set-Cookie lines", "HTTP/1.1 200 OK\r\n", "", "", {}};
    for (int n = 0; n < 500; ++n) {
        const Text name = "c" + std::to_string(n), value = "v" + std::to_string(n);
        head.lines += "Set-Cookie: " + name + "=" + value + "; path=/\r\n";
        head.cookieList += (n ? " " : "") + name + "=" + value + ";";
        // The list's items after the first keep their leading blank as part of the name.
        head.writes.push_back({kStoreUrl, (n ? " " : "") + name, value});
    }
    return head;
}

Head longLines() {
    const Text target = "http://127.0.0.1:8790/" + Text(100 * 1024, 'l');
    const Text value(100 * 1024, 'v');
    return {"Location and Set-Cookie lines of 100 KB",
            "HTTP/1.1 200 OK\r\nLocation: " + target + "\r\nSet-Cookie: long=" + value +
                "; path=/\r\nContent-Length: 4\r\n",
            target,
            "long=" + value + ";",
            {{kStoreUrl, "long", value}}};
}

TEST(HostileResponseHead, EveryCookieArrivesWholeAndTheBodyUntouched) {
    for (const Head& head : {manySetCookieLines(), longLines()}) {
        SCOPED_TRACE(head.name);
        RecordingHttpRequest http;
        http.body = {'b', 'a', 0, 'k'};
        http.headers = head.lines;
        FakeCookieStore store;
        WebRequestArgs args;
        args.url = kUrl;
        args.timeoutSeconds = -1;

        EXPECT_EQ(runWebRequest(args, &http, store), (ByteArray{'b', 'a', 0, 'k'}));
        EXPECT_EQ(args.redirectTarget, head.redirectTarget);
        EXPECT_EQ(args.returnedCookies, head.cookieList);
        EXPECT_EQ(args.cookies, head.cookieList);
        EXPECT_EQ(store.writes, head.writes);
    }
}

}  // namespace
