// Makes the bank's download request (GET with the default headers, no time-outs set)
// and then reads back everything the browser's cookie store holds for the request's
// domain, with a buffer as large as the store asks for: what a hostile response head
// left there, beyond the 1024 bytes the request itself reads.
//
//   cookie_store_probe URL OUTPUT
//
// Output lines: "elapsedMs N" (the web request alone), "resultLength N", "cookies HEX"
// and "returnedCookies HEX" (the record after the request), then "store HEX" or
// "store none" when the store has nothing for the domain.
//
// Used by tests/bank/hostile_head_test.py.
#include <windows.h>
#include <wininet.h>

#include <fstream>
#include <string>
#include <vector>

#include "web/cookies.h"
#include "web/web_request_win.h"

namespace {

std::string toHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

// The whole cookie text the store holds for `url`, asked for its size first.
bool storedCookies(const std::string& url, std::string* text) {
    DWORD size = 0;
    if (!::InternetGetCookieA(url.c_str(), nullptr, nullptr, &size) || size == 0) return false;
    std::vector<char> buffer(size + 1);
    DWORD capacity = size + 1;
    if (!::InternetGetCookieA(url.c_str(), nullptr, buffer.data(), &capacity)) return false;
    *text = buffer.data();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    WebRequestArgs args;
    args.url = argv[1];
    args.timeoutSeconds = -1;
    LARGE_INTEGER frequency, started, ended;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&started);
    ByteArray body = webRequest(args);
    ::QueryPerformanceCounter(&ended);

    std::ofstream out(argv[2], std::ios::binary);
    out << "elapsedMs " << (ended.QuadPart - started.QuadPart) * 1000 / frequency.QuadPart << "\n";
    out << "resultLength " << body.size() << "\n";
    out << "cookies " << toHex(args.cookies) << "\n";
    out << "returnedCookies " << toHex(args.returnedCookies) << "\n";
    std::string stored;
    if (storedCookies("http://" + hostFromUrl(args.url, true), &stored)) {
        out << "store " << toHex(stored) << "\n";
    } else {
        out << "store none\n";
    }
    return out ? 0 : 1;
}
