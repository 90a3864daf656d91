// A cookie store in memory that records every lookup and write, for the
// portable tests of the cookie helpers and the web request.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "web/cookies.h"

class FakeCookieStore final : public BrowserCookieStore {
  public:
    struct Lookup {
        Text url;
        std::uint32_t size;
        const char* buffer;
    };
    struct Write {
        Text url, name, value;
        bool operator==(const Write&) const = default;
    };

    // The cookie text each URL answers with; a URL not listed fails.
    std::map<Text, Text> stored;
    std::vector<Lookup> lookups;
    std::vector<Write> writes;

    bool getCookies(const Text& url, char* buffer, std::uint32_t size) override {
        lookups.push_back({url, size, buffer});
        auto it = stored.find(url);
        if (it == stored.end() || it->second.size() + 1 > size) return false;
        std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
        return true;
    }

    void setCookie(const Text& url, const Text& name, const Text& value) override {
        writes.push_back({url, name, value});
    }

    std::vector<Text> lookedUpUrls() const {
        std::vector<Text> urls;
        for (const auto& lookup : lookups) urls.push_back(lookup.url);
        return urls;
    }
};
