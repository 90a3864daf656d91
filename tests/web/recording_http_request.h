// An HTTP request object that records every member call as one line of text,
// for the tests of the web request. On its own it answers with a canned body
// and header text; given an inner object (the real one under Wine) it passes
// each call on and records it all the same.
#pragma once

#include <string>
#include <vector>

#include "web/web_request.h"

class RecordingHttpRequest final : public HttpRequestObject {
  public:
    explicit RecordingHttpRequest(HttpRequestObject* inner = nullptr) : inner_(inner) {}

    // "SetTimeouts 2000 2000 2000 2000", "Open GET http://h/ false",
    // "Option 6 0", "SetRequestHeader [Cookie] [a=1;]", "Send text [body]",
    // "Send bytes 3", "ResponseBody", "GetallResponseHeaders".
    std::vector<Text> calls;
    // Canned answers when there is no inner object.
    bool sendSucceeds = true;
    ByteArray body;
    Text headers;
    // Where the body handed out lived, to show that nobody copied it.
    const void* handedOutBody = nullptr;
    ByteArray sentBytes;

    void setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        calls.push_back("SetTimeouts " + std::to_string(resolveMs) + " " +
                        std::to_string(connectMs) + " " + std::to_string(sendMs) + " " +
                        std::to_string(receiveMs));
        if (inner_) inner_->setTimeouts(resolveMs, connectMs, sendMs, receiveMs);
    }
    void open(const Text& method, const Text& url, bool async) override {
        calls.push_back("Open " + method + " " + url + (async ? " true" : " false"));
        if (inner_) inner_->open(method, url, async);
    }
    void setOption(int index, int value) override {
        calls.push_back("Option " + std::to_string(index) + " " + std::to_string(value));
        if (inner_) inner_->setOption(index, value);
    }
    void setRequestHeader(const Text& name, const Text& value) override {
        calls.push_back("SetRequestHeader [" + name + "] [" + value + "]");
        if (inner_) inner_->setRequestHeader(name, value);
    }
    bool sendText(const Text& text) override {
        calls.push_back("Send text [" + text + "]");
        return inner_ ? inner_->sendText(text) : sendSucceeds;
    }
    bool sendBytes(const ByteArray& bytes) override {
        calls.push_back("Send bytes " + std::to_string(bytes.size()));
        sentBytes = bytes;
        return inner_ ? inner_->sendBytes(bytes) : sendSucceeds;
    }
    ByteArray responseBody() override {
        calls.push_back("ResponseBody");
        ByteArray out = inner_ ? inner_->responseBody() : std::move(body);
        handedOutBody = out.data();
        return out;
    }
    Text allResponseHeaders() override {
        calls.push_back("GetallResponseHeaders");
        return inner_ ? inner_->allResponseHeaders() : headers;
    }

    // The calls that begin with `prefix`, in order.
    std::vector<Text> callsStartingWith(const Text& prefix) const {
        std::vector<Text> found;
        for (const auto& call : calls)
            if (call.rfind(prefix, 0) == 0) found.push_back(call);
        return found;
    }

  private:
    HttpRequestObject* inner_;
};
