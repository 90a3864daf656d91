// Tested by tests/web/web_request_wire_test.py.
#include "web/web_request_win.h"

#include <windows.h>
#include <oleauto.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

#include "app/dispatch_win.h"
#include "app/scoped_win.h"
#include "web/browser_cookies_win.h"

namespace {

bool lookUp(IDispatch* object, const wchar_t* name, DISPID* id) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return object && SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id));
}

// Calls a method whose result is of no interest; true when the object reports
// success.
bool callMethod(IDispatch* object, const wchar_t* name,
                std::initializer_list<const Variant*> args) {
    DISPID id;
    if (!lookUp(object, name, &id)) return false;
    std::vector<VARIANT> reversed;  // IDispatch takes its arguments last to first
    reversed.reserve(args.size());
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        reversed.push_back(*(*it)->get());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant ignored;
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    ignored.receive(), nullptr, nullptr));
}

// object.name(index) = value, the form of the request object's "Option".
void putIndexedProperty(IDispatch* object, const wchar_t* name, const Variant& index,
                        const Variant& value) {
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (!object || FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        return;
    }
    VARIANT args[2] = {*value.get(), *index.get()};  // IDispatch takes them last to first
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, &named, 2, 1};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                   nullptr, nullptr);
}

// The bytes as an automation array of bytes (VT_ARRAY | VT_UI1); an empty
// Variant when the array cannot be made.
Variant byteArrayVariant(const ByteArray& bytes) {
    Variant variant;
    if (static_cast<std::uint64_t>(bytes.size()) > ULONG_MAX) return variant;
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) return variant;
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data))) {
        ::SafeArrayDestroy(array);
        return variant;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    ::SafeArrayUnaccessData(array);
    variant.get()->vt = VT_ARRAY | VT_UI1;
    variant.get()->parray = array;
    return variant;
}

// One copy of the bytes of an automation array of bytes; empty for any other
// value.
ByteArray bytesOf(const Variant& value) {
    if (value.type() != (VT_ARRAY | VT_UI1)) return {};
    SAFEARRAY* array = value.get()->parray;
    LONG lower = 0;
    LONG upper = -1;
    if (!array || ::SafeArrayGetDim(array) != 1 || FAILED(::SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(::SafeArrayGetUBound(array, 1, &upper)) || upper < lower) {
        return {};
    }
    void* data = nullptr;
    if (FAILED(::SafeArrayAccessData(array, &data))) return {};
    const auto* begin = static_cast<const std::uint8_t*>(data);
    ByteArray bytes(begin, begin + (static_cast<size_t>(upper - lower) + 1));
    ::SafeArrayUnaccessData(array);
    return bytes;
}

// The COM HTTP request object, each member reached by name. Failed calls are
// ignored, as the request expects.
class DispatchHttpRequest final : public HttpRequestObject {
  public:
    explicit DispatchHttpRequest(ComPtr<IDispatch> object) : object_(std::move(object)) {}

    void setTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
        Variant resolve = intVariant(resolveMs);
        Variant connect = intVariant(connectMs);
        Variant send = intVariant(sendMs);
        Variant receive = intVariant(receiveMs);
        callMethod(object_.Get(), L"SetTimeouts", {&resolve, &connect, &send, &receive});
    }

    void open(const Text& method, const Text& url, bool async) override {
        Variant methodArg = textVariant(method);
        Variant urlArg = textVariant(url);
        Variant asyncArg = boolVariant(async);
        callMethod(object_.Get(), L"Open", {&methodArg, &urlArg, &asyncArg});
    }

    void setOption(int index, int value) override {
        putIndexedProperty(object_.Get(), L"Option", intVariant(index), intVariant(value));
    }

    void setRequestHeader(const Text& name, const Text& value) override {
        Variant nameArg = textVariant(name);
        Variant valueArg = textVariant(value);
        callMethod(object_.Get(), L"SetRequestHeader", {&nameArg, &valueArg});
    }

    bool sendText(const Text& body) override {
        Variant bodyArg = textVariant(body);
        return callMethod(object_.Get(), L"Send", {&bodyArg});
    }

    bool sendBytes(const ByteArray& body) override {
        Variant bodyArg = byteArrayVariant(body);
        return callMethod(object_.Get(), L"Send", {&bodyArg});
    }

    ByteArray responseBody() override {
        // The object's array is freed as soon as its bytes are copied.
        return bytesOf(invokeMember(object_.Get(), L"ResponseBody"));
    }

    Text allResponseHeaders() override {
        return textOf(invokeMember(object_.Get(), L"GetallResponseHeaders"));
    }

  private:
    ComPtr<IDispatch> object_;
};

}  // namespace

std::unique_ptr<HttpRequestObject> createHttpRequestObject() {
    for (const wchar_t* progId : {L"WinHttp.WinHttpRequest.5.1", L"MSXML2.ServerXMLHTTP.6.0",
                                  L"MSXML2.ServerXMLHTTP.5.0"}) {
        if (ComPtr<IDispatch> object = createAutomationObject(progId)) {
            return std::make_unique<DispatchHttpRequest>(std::move(object));
        }
    }
    return nullptr;
}

ByteArray webRequest(WebRequestArgs& args) {
    // Declared in this order so that the object is released before COM is.
    ComApartment apartment;
    std::unique_ptr<HttpRequestObject> object = createHttpRequestObject();
    WinInetCookieStore store;
    return runWebRequest(args, object.get(), store);
}
