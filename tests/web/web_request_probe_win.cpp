// Runs web requests and cookie-store operations from a script and writes what
// came back, so that a test on the Linux side can check both the wire and the
// results. All requests of one script run in one process, which shares one
// browser cookie store.
//
//   web_request_probe SCRIPT OUTPUT
//
// Script lines (values in hex, so that any bytes pass):
//   url|method|body|cookies|returnedCookies|headers|redirectTarget|
//   responseHeaders|byteBody HEX   set a field of the next request
//   noRedirect 0|1 / timeoutSeconds N
//   trace 1          record the member calls made on the real HTTP object
//   lateTimeouts 1   with trace: hand SetTimeouts to the object after Open (Wine's
//                    object resets three of the four time-outs in Open), so that
//                    a short time-out really expires
//   bodyFile HEX     write the response body to this file instead of the output
//   go               run webRequest with the fields set so far, then start afresh
//   readCookies HEXHOST HEXNAME / writeCookies HEXHOST HEXLIST
// Output: per "go" a block "request" ... "end" with every field of the record
// after the call, "result HEX" (or "resultLength N"), "elapsedMs N" and the
// traced calls as "call HEX"; per readCookies a line "cookies HEX"; at the end
// "peakWorkingSet BYTES" of this process.
//
// Used by tests/web/web_request_wire_test.py and tools/bench/bench_download.py.
#include <windows.h>
#include <psapi.h>

#include <array>
#include <cstdio>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "app/scoped_win.h"
#include "tests/web/recording_http_request.h"
#include "web/browser_cookies_win.h"
#include "web/web_request_win.h"

namespace {

std::string toHex(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

std::string toHex(const std::string& text) { return toHex(text.data(), text.size()); }

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// Passes every call on, but holds SetTimeouts back until Open has been made.
class LateTimeouts final : public HttpRequestObject {
  public:
    explicit LateTimeouts(HttpRequestObject& inner) : inner_(inner) {}
    void setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        timeouts_ = {resolveMs, connectMs, sendMs, receiveMs};
        held_ = true;
    }
    void open(const Text& method, const Text& url, bool async) override {
        inner_.open(method, url, async);
        if (held_) inner_.setTimeouts(timeouts_[0], timeouts_[1], timeouts_[2], timeouts_[3]);
    }
    void setOption(int index, int value) override { inner_.setOption(index, value); }
    void setRequestHeader(const Text& name, const Text& value) override {
        inner_.setRequestHeader(name, value);
    }
    bool sendText(const Text& body) override { return inner_.sendText(body); }
    bool sendBytes(const ByteArray& body) override { return inner_.sendBytes(body); }
    ByteArray responseBody() override { return inner_.responseBody(); }
    Text allResponseHeaders() override { return inner_.allResponseHeaders(); }

  private:
    HttpRequestObject& inner_;
    std::array<int, 4> timeouts_{};
    bool held_ = false;
};

struct Pending {
    WebRequestArgs args;
    bool trace = false;
    bool lateTimeouts = false;
    std::string bodyFile;
};

void runRequest(Pending& pending, std::ofstream& out) {
    WebRequestArgs& args = pending.args;
    ByteArray result;
    LARGE_INTEGER frequency, started, ended;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&started);
    if (pending.trace) {
        // The same steps as webRequest, with every member call recorded.
        ComApartment apartment;
        std::unique_ptr<HttpRequestObject> real = createHttpRequestObject();
        std::unique_ptr<HttpRequestObject> late;
        if (real && pending.lateTimeouts) late = std::make_unique<LateTimeouts>(*real);
        RecordingHttpRequest recording(late ? late.get() : real.get());
        WinInetCookieStore store;
        result = runWebRequest(args, real ? &recording : nullptr, store);
        for (const auto& call : recording.calls) out << "call " << toHex(call) << "\n";
    } else {
        result = webRequest(args);
    }
    ::QueryPerformanceCounter(&ended);
    out << "request\n";
    out << "url " << toHex(args.url) << "\n";
    out << "method " << toHex(args.method) << "\n";
    out << "body " << toHex(args.body) << "\n";
    out << "cookies " << toHex(args.cookies) << "\n";
    out << "returnedCookies " << toHex(args.returnedCookies) << "\n";
    out << "headers " << toHex(args.headers) << "\n";
    out << "redirectTarget " << toHex(args.redirectTarget) << "\n";
    out << "responseHeaders " << toHex(args.responseHeaders) << "\n";
    out << "byteBody " << toHex(args.byteBody.data(), args.byteBody.size()) << "\n";
    out << "resultLength " << result.size() << "\n";
    if (pending.bodyFile.empty()) {
        out << "result " << toHex(result.data(), result.size()) << "\n";
    } else {
        std::ofstream body(pending.bodyFile, std::ios::binary);
        body.write(reinterpret_cast<const char*>(result.data()),
                   static_cast<std::streamsize>(result.size()));
    }
    out << "elapsedMs " << (ended.QuadPart - started.QuadPart) * 1000 / frequency.QuadPart << "\n";
    out << "end\n";
    out.flush();
}

bool setField(WebRequestArgs& args, const std::string& key, const std::string& value) {
    const std::pair<const char*, Text*> fields[] = {
        {"url", &args.url},
        {"method", &args.method},
        {"body", &args.body},
        {"cookies", &args.cookies},
        {"returnedCookies", &args.returnedCookies},
        {"headers", &args.headers},
        {"redirectTarget", &args.redirectTarget},
        {"responseHeaders", &args.responseHeaders},
    };
    for (const auto& [name, field] : fields) {
        if (key == name) {
            *field = fromHex(value);
            return true;
        }
    }
    if (key == "byteBody") {
        std::string bytes = fromHex(value);
        args.byteBody.assign(bytes.begin(), bytes.end());
        return true;
    }
    if (key == "noRedirect") {
        args.noRedirect = value == "1";
        return true;
    }
    if (key == "timeoutSeconds") {
        args.timeoutSeconds = static_cast<std::int32_t>(std::stol(value));
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: web_request_probe SCRIPT OUTPUT\n");
        return 2;
    }
    std::ifstream script(argv[1]);
    std::ofstream out(argv[2], std::ios::binary);
    if (!script || !out) {
        std::fprintf(stderr, "web_request_probe: cannot open %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    Pending pending;
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string key, first, second;
        words >> key >> first >> second;
        if (key.empty()) continue;
        if (key == "go") {
            runRequest(pending, out);
            pending = Pending{};
        } else if (key == "trace") {
            pending.trace = first == "1";
        } else if (key == "lateTimeouts") {
            pending.lateTimeouts = first == "1";
        } else if (key == "bodyFile") {
            pending.bodyFile = fromHex(first);
        } else if (key == "readCookies") {
            out << "cookies " << toHex(readBrowserCookies(fromHex(first), fromHex(second))) << "\n";
        } else if (key == "writeCookies") {
            writeBrowserCookies(fromHex(first), fromHex(second));
        } else if (!setField(pending.args, key, first)) {
            std::fprintf(stderr, "web_request_probe: unknown line '%s'\n", line.c_str());
            return 2;
        }
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) {
        out << "peakWorkingSet " << counters.PeakWorkingSetSize << "\n";
    }
    return out ? 0 : 1;
}
