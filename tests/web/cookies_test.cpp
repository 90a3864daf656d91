// Cookie and host helpers: the documented tables, the quirks the web request
// relies on (plain substring name matching, blanks kept in names, one shared
// lookup buffer), and the edges of the store's 1024-byte buffer.
#include "web/cookies.h"

#include <gtest/gtest.h>

#include "tests/web/fake_cookie_store.h"

namespace {

struct HostCase {
    Text url;
    bool reduceToDomain, keepPort;
    Text expected;
};

TEST(HostFromUrl, Table) {
    const HostCase cases[] = {
        {"http://a.b.c/x/y", false, false, "a.b.c"},
        {"http://a.b.c/x/y", true, false, "b.c"},
        {"https://Shop.B.C:8443/p?q=1", false, false, "shop.b.c"},
        {"https://Shop.B.C:8443/p?q=1", false, true, "shop.b.c:8443"},
        {"https://Shop.B.C:8443/p?q=1", true, false, "b.c"},
        {"https://Shop.B.C:8443/p?q=1", true, true, "b.c:8443"},
        {"b.c", true, false, "b.c"},
        {"box:81", true, false, "box"},
        {"a.b.c.", true, false, "b.c"},
        {"http://192.168.3.4:81/q", true, false, "3.4"},
        {"http://127.0.0.1:8790/question", true, false, "0.1"},
        {"HTTP://A.B/x", false, false, "http"},
        {"", true, false, ""},
        {"http://", true, false, ""},
        {"http://a.b", true, false, "a.b"},
        // "http://" is looked for first and anywhere in the text
        {"https://x.y/?next=http://p.q.r/s", false, false, "p.q.r"},
        {"see https://x.y.z/s", true, false, "y.z"},
        {"http://a\xD6\xD0.B/x", false, false, "a\xD6\xD0.b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hostFromUrl(c.url, c.reduceToDomain, c.keepPort), c.expected)
            << "url=" << c.url << " reduce=" << c.reduceToDomain << " keepPort=" << c.keepPort;
    }
}

TEST(HostFromUrl, DefaultsKeepHostWithoutPort) {
    EXPECT_EQ(hostFromUrl("http://A.b.c:80/x"), "a.b.c");
}

struct MergeCase {
    Text target, source;
    Text expected, sourceAfter;
};

TEST(MergeCookies, Table) {
    const MergeCase cases[] = {
        {"a=1; b=2", "", "a=1; b=2;", ""},
        {"a=1; b=2", "b=9", "a=1; b=9;", "b=9;"},
        {"a=1; b=2;", "c=3; d=deleted; e=; ", "a=1; b=2; c=3;", "c=3; d=deleted; e=;"},
        {"A=1; b=2", "a=7", "a=7; b=2;", "a=7;"},
        {"a=1; b=2; a=1", "a=5", "a=5; b=2; a=5;", "a=5;"},
        {"b=1", "a=0; b=2", "b=1; a=0; b=2;", "a=0; b=2;"},
        {"sid=1; x=2", "id=5;", "sid=5; x=2;", "id=5;"},
        {"a=1; t=abc==", "", "a=1;", ""},
        {"x=1; b=deleted", "", "x=1;", ""},
        {"a=1;;b=2", "", "a=1; ; b=2;", ""},
        {"", " k=v ;", "k=v;", "k=v ;"},
        {"", "", "", ""},
        {"  ", "novalue; ;", "", "novalue; ;"},
        // the full-width space counts as a blank
        {"\xA1\xA1"
         "a=1\xA1\xA1",
         "", "a=1;", ""},
        // the first match of the name, inside "xid", decides which item is replaced
        {"q=xid=0; id=1", "id=7", "q=xid=7; id=1;", "id=7;"},
        // a value holding "=" stays whole
        {"t=a=b", "u=c==d", "t=a=b; u=c==d;", "u=c==d;"},
    };
    for (const auto& c : cases) {
        Text target = c.target;
        Text source = c.source;
        Text result = mergeCookies(target, source);
        EXPECT_EQ(result, c.expected) << "target=" << c.target << " source=" << c.source;
        EXPECT_EQ(target, c.expected) << "target=" << c.target << " source=" << c.source;
        EXPECT_EQ(source, c.sourceAfter) << "target=" << c.target << " source=" << c.source;
    }
}

TEST(MergeCookies, EmptyNameReplacesTheFirstItem) {
    Text target = "a=1; b=2";
    Text source = "=x";
    EXPECT_EQ(mergeCookies(target, source), "=x; b=2;");
}

struct BetweenCase {
    Text text, start, end;
    int startPosition;
    Text expected;
};

TEST(TextBetween, Table) {
    const BetweenCase cases[] = {
        {"Set-Cookie: sid=abc; path=/", "Set-Cookie:", ";", 0, " sid=abc"},
        {"set-cookie: sid=abc; path=/", "Set-Cookie:", ";", 0, " sid=abc"},
        {"Set-Cookie: k=v", "Set-Cookie:", ";", 0, ""},
        {"<a>1</a><a>2</a>", "<a>", "</a>", 2, "2"},
        {"<a>1</a><a>2</a>", "<a>", "</a>", 1, "1"},
        {"<a>1</a><a>2</a>", "<A>", "</A>", 0, "1"},
        {"<a></a>", "<a>", "</a>", 0, ""},
        {"abc", "x", "c", 0, ""},
        {"", "a", "b", 0, ""},
        {"<a>1", "<a>", "", 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textBetween(c.text, c.start, c.end, c.startPosition), c.expected)
            << "text=" << c.text << " start=" << c.start << " end=" << c.end;
    }
}

struct BetweenAtCase {
    Text text;
    int position;
    Text start, middle;
    bool useMiddle;
    Text end;
    bool ignoreCase, includeMarker;
    Text expected;
    int positionAfter;
    Text middleAfter;
};

TEST(TextBetweenAt, Table) {
    const BetweenAtCase cases[] = {
        {"a=1; b=2;", 0, "b", "", false, ";", true, true, "b=2", 6, "b"},
        {"a=1; b=2;", 0, "b", "", false, ";", true, false, "=2", 7, "b"},
        {"k: [x] [y]", 0, "k", "[", true, "]", true, false, "x", 5, "["},
        {"k: [x] [y]", 0, "k", "[", true, "]", true, true, "k: [x", 1, "["},
        {"a=1; b=2;", 0, "z", "", false, ";", true, true, "", -1, ""},
        {"k: x", 0, "k", "[", true, "]", true, true, "", -1, "["},
        // no end marker: the rest of the text
        {"a=1; b=2", 0, "B", "", false, ";", true, true, "b=2", 6, "B"},
        {"a=1; B=2", 0, "b", "", false, ";", false, true, "", -1, ""},
        // the search starts at the position given
        {"x=1; x=2;", 2, "x", "", false, ";", true, true, "x=2", 6, "x"},
    };
    for (const auto& c : cases) {
        int position = c.position;
        Text middle = c.middle;
        EXPECT_EQ(textBetweenAt(c.text, position, c.start, middle, c.useMiddle, c.end, c.ignoreCase,
                                c.includeMarker),
                  c.expected)
            << "text=" << c.text << " start=" << c.start;
        EXPECT_EQ(position, c.positionAfter) << "text=" << c.text << " start=" << c.start;
        EXPECT_EQ(middle, c.middleAfter) << "text=" << c.text << " start=" << c.start;
    }
}

TEST(TextBetweenAt, DefaultsIgnoreCaseAndIncludeMarker) {
    int position = 0;
    Text middle;
    EXPECT_EQ(textBetweenAt("A=1; B=2", position, "b", middle, false, ";"), "B=2");
    EXPECT_EQ(position, 6);
}

TEST(ReadBrowserCookies, LooksUpHttpsThenHttpWithOneBufferOf1024Bytes) {
    FakeCookieStore store;
    store.stored["http://b.c"] = "uid=7; sid=abc";
    EXPECT_EQ(readBrowserCookies(store, "b.c"), "uid=7; sid=abc");
    ASSERT_EQ(store.lookups.size(), 2u);
    EXPECT_EQ(store.lookedUpUrls(), (std::vector<Text>{"https://b.c", "http://b.c"}));
    for (const auto& lookup : store.lookups) EXPECT_EQ(lookup.size, 1024u);
    EXPECT_EQ(store.lookups[0].buffer, store.lookups[1].buffer);
}

struct ReadCase {
    Text input;
    Text httpsStored, httpStored;  // "-" when the lookup fails
    Text expected;
};

TEST(ReadBrowserCookies, DecidingLookup) {
    const ReadCase cases[] = {
        {"b.c", "x=1", "-", ""},               // the http lookup decides
        {"b.c", "-", "y=2", "y=2"},            //
        {"https://b.c/p", "x=1", "-", "x=1"},  // the buffer keeps the https result
        {"HTTPS://b.c", "x=1", "-", "x=1"},    // secure in any case (though the host is "https")
        {"https://b.c", "-", "y=2", ""},       // the https lookup decides
        {"https://b.c", "x=1", "y=2", "y=2"},  // both found: the http result wins
        {"http://B.C:8080/p", "-", "y=2", "y=2"},
        {"b.c", "-", "", ""},
    };
    for (const auto& c : cases) {
        FakeCookieStore store;
        Text host = hostFromUrl(c.input);
        if (c.httpsStored != "-") store.stored["https://" + host] = c.httpsStored;
        if (c.httpStored != "-") store.stored["http://" + host] = c.httpStored;
        EXPECT_EQ(readBrowserCookies(store, c.input), c.expected) << "input=" << c.input;
        EXPECT_EQ(store.lookedUpUrls(), (std::vector<Text>{"https://" + host, "http://" + host}));
    }
}

TEST(ReadBrowserCookies, NamedCookie) {
    const std::pair<Text, Text> cases[] = {
        {"sid", "abc"}, {"uid", "7"},  {"id", "7"},     {"SID", "abc"},
        {"zz", ""},     {"uid=7", ""}, {"sid=abc", ""},
    };
    for (const auto& [name, expected] : cases) {
        FakeCookieStore store;
        store.stored["http://b.c"] = "uid=7; sid=abc";
        EXPECT_EQ(readBrowserCookies(store, "b.c", name), expected) << "name=" << name;
    }
    FakeCookieStore failing;
    EXPECT_EQ(readBrowserCookies(failing, "b.c", "sid"), "");
}

TEST(ReadBrowserCookies, CookieTextMustFitWithItsZero) {
    FakeCookieStore store;
    Text fits = "k=" + Text(1021, 'v');  // 1023 bytes
    store.stored["http://b.c"] = fits;
    EXPECT_EQ(readBrowserCookies(store, "b.c"), fits);
    store.stored["http://b.c"] = fits + "v";
    EXPECT_EQ(readBrowserCookies(store, "b.c"), "");
}

TEST(WriteBrowserCookies, EachItemWithEqualsUntrimmed) {
    FakeCookieStore store;
    writeBrowserCookies(store, "b.c", "a=1; b=2; t=abc==;e=;novalue; ;=x");
    using W = FakeCookieStore::Write;
    EXPECT_EQ(store.writes, (std::vector<W>{{"http://b.c", "a", "1"},
                                            {"http://b.c", " b", "2"},
                                            {"http://b.c", " t", "abc=="},
                                            {"http://b.c", "e", ""},
                                            {"http://b.c", "", "x"}}));
    EXPECT_TRUE(store.lookups.empty());
}

TEST(WriteBrowserCookies, SecureInputWritesForHttps) {
    FakeCookieStore store;
    writeBrowserCookies(store, "Https://Shop.B.C:8443/p", "a=1;");
    writeBrowserCookies(store, "https://Shop.B.C:8443/p", "a=1;");
    using W = FakeCookieStore::Write;
    EXPECT_EQ(store.writes,
              (std::vector<W>{{"https://https", "a", "1"}, {"https://shop.b.c", "a", "1"}}));
}

TEST(WriteBrowserCookies, EmptyListWritesNothing) {
    FakeCookieStore store;
    writeBrowserCookies(store, "b.c", "");
    writeBrowserCookies(store, "b.c", "; ;");
    EXPECT_TRUE(store.writes.empty());
}

}  // namespace
