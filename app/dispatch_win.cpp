// Tested by tests/app/dispatch_win_test.cpp.
#include "app/dispatch_win.h"

#include <vector>

#include "app/codepage_win.h"

namespace {

bool lookUp(IDispatch* object, const wchar_t* name, DISPID* id) {
    if (!object) return false;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id));
}

}  // namespace

ComPtr<IDispatch> createAutomationObject(const wchar_t* progId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (FAILED(::CLSIDFromProgID(progId, &clsid))) return object;
    // In-process only: the objects used are DLLs, and asking for a local server
    // would wait on the activation service when a DLL is missing or disabled.
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)))) {
        object.Reset();
    }
    return object;
}

Variant invokeMember(IDispatch* object, const wchar_t* name,
                     std::initializer_list<const Variant*> args) {
    Variant result;
    DISPID id;
    if (!lookUp(object, name, &id)) return result;
    // IDispatch takes its arguments last to first. The values are only read.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = std::rbegin(args); it != std::rend(args); ++it)
        reversed.push_back(*(*it)->get());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.receive(),
                              nullptr, nullptr))) {
        ::VariantClear(result.get());
    }
    return result;
}

bool putProperty(IDispatch* object, const wchar_t* name, const Variant& value) {
    DISPID id;
    if (!lookUp(object, name, &id)) return false;
    VARIANT arg = *value.get();
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                    &params, nullptr, nullptr, nullptr));
}

Variant wideVariant(std::wstring_view text) {
    Variant v;
    Bstr bstr(text.data(), static_cast<UINT>(text.size()));
    if (bstr.get()) {
        v.get()->vt = VT_BSTR;
        v.get()->bstrVal = bstr.release();
    }
    return v;
}

Variant textVariant(std::string_view text) { return wideVariant(wideFromText(text)); }

Variant boolVariant(bool value) {
    Variant v;
    v.get()->vt = VT_BOOL;
    v.get()->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant intVariant(int value) {
    Variant v;
    v.get()->vt = VT_I4;
    v.get()->lVal = value;
    return v;
}

Variant doubleVariant(double value) {
    Variant v;
    v.get()->vt = VT_R8;
    v.get()->dblVal = value;
    return v;
}

std::wstring wideOf(const Variant& value) {
    if (value.type() == VT_BSTR) {
        BSTR b = value.get()->bstrVal;
        return std::wstring(b ? b : L"", b ? ::SysStringLen(b) : 0);
    }
    Variant converted;
    if (value.empty() || FAILED(::VariantChangeType(
                             converted.get(), const_cast<VARIANT*>(value.get()), 0, VT_BSTR))) {
        return {};
    }
    return wideOf(converted);
}

Text textOf(const Variant& value) { return textFromWide(wideOf(value)); }

double numberOf(const Variant& value) {
    Variant converted;
    if (value.empty() ||
        FAILED(::VariantChangeType(converted.get(), const_cast<VARIANT*>(value.get()), 0, VT_R8))) {
        return 0;
    }
    return converted.get()->dblVal;
}

ComPtr<IDispatch> dispatchOf(const Variant& value) {
    ComPtr<IDispatch> object;
    const VARIANT* v = value.get();
    if (v->vt == VT_DISPATCH && v->pdispVal) {
        object = v->pdispVal;
    } else if (v->vt == VT_UNKNOWN && v->punkVal) {
        v->punkVal->QueryInterface(IID_PPV_ARGS(&object));
    }
    return object;
}
