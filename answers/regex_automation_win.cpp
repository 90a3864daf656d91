// Tested by tests/answers/regex_object_win_test.cpp.
#include "answers/regex_automation_win.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "answers/regex_engine.h"

namespace {

// The component's error for a pattern it cannot compile ("Syntax error in
// regular expression").
constexpr HRESULT kPatternError = static_cast<HRESULT>(0x800A1399);

struct Member {
    const wchar_t* name;
    DISPID id;
};

std::u16string u16Of(const wchar_t* text, std::size_t length) {
    return std::u16string(text, text + length);
}

BSTR bstrOf(std::u16string_view text) {
    BSTR b = ::SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (b) std::copy(text.begin(), text.end(), b);
    return b;
}

// The k-th positional argument (natural order) converted to `type`, or an
// empty Variant when it is missing or does not convert.
Variant argument(const DISPPARAMS* params, UINT k, VARTYPE type) {
    Variant v;
    if (!params || k >= params->cArgs - params->cNamedArgs) return v;
    VARIANT* raw = &params->rgvarg[params->cArgs - 1 - k];
    if (FAILED(::VariantChangeType(v.get(), raw, 0, type))) ::VariantClear(v.get());
    return v;
}

std::u16string textArgument(const DISPPARAMS* params, UINT k, bool* ok) {
    Variant v = argument(params, k, VT_BSTR);
    *ok = v.type() == VT_BSTR;
    BSTR b = *ok ? v.get()->bstrVal : nullptr;
    return b ? u16Of(b, ::SysStringLen(b)) : std::u16string();
}

// IUnknown and IDispatch over a table of member names; each object answers
// `call` for its own members.
class AutomationObject : public IDispatch {
  public:
    AutomationObject() = default;
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&refs_));
    }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Member& m : members()) {
                if (names[i] && ::lstrcmpiW(names[i], m.name) == 0) ids[i] = m.id;
            }
            if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        Variant value;
        HRESULT hr = call(id, flags, params, value.get());
        if (SUCCEEDED(hr) && result) {
            ::VariantInit(result);
            *result = *value.get();
            ::VariantInit(value.get());  // ownership moved to the caller
        }
        return hr;
    }

  protected:
    virtual ~AutomationObject() = default;
    virtual std::vector<Member> members() const = 0;
    virtual HRESULT call(DISPID id, WORD flags, const DISPPARAMS* params, VARIANT* result) = 0;

    static bool reading(WORD flags) { return flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD); }
    static bool writing(WORD flags) { return flags & DISPATCH_PROPERTYPUT; }
    static HRESULT giveText(VARIANT* result, std::u16string_view text) {
        result->vt = VT_BSTR;
        result->bstrVal = bstrOf(text);
        return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT giveNumber(VARIANT* result, std::size_t n) {
        result->vt = VT_I4;
        result->lVal = static_cast<LONG>(n);
        return S_OK;
    }
    static HRESULT giveBool(VARIANT* result, bool b) {
        result->vt = VT_BOOL;
        result->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT giveObject(VARIANT* result, IDispatch* object) {  // takes over the reference
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    }
    // An index argument within 0..count-1, or -1.
    static LONG index(const DISPPARAMS* params, std::size_t count) {
        Variant v = argument(params, 0, VT_I4);
        if (v.type() != VT_I4 || v.get()->lVal < 0 ||
            static_cast<std::size_t>(v.get()->lVal) >= count) {
            return -1;
        }
        return v.get()->lVal;
    }

  private:
    LONG refs_ = 1;
};

struct Results {
    std::u16string subject;
    std::vector<RegexMatch> matches;
};
using SharedResults = std::shared_ptr<const Results>;

class SubMatches final : public AutomationObject {
  public:
    SubMatches(SharedResults results, std::size_t match)
        : results_(std::move(results)), match_(match) {}

  private:
    const std::vector<RegexSpan>& groups() const { return results_->matches[match_].groups; }
    std::vector<Member> members() const override {
        return {{L"Item", DISPID_VALUE}, {L"Count", 1}};
    }
    HRESULT call(DISPID id, WORD flags, const DISPPARAMS* params, VARIANT* result) override {
        if (!reading(flags)) return DISP_E_MEMBERNOTFOUND;
        if (id == 1) return giveNumber(result, groups().size());
        if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        LONG k = index(params, groups().size());
        if (k < 0) return E_INVALIDARG;
        const RegexSpan& g = groups()[static_cast<std::size_t>(k)];
        if (!g.participated()) return S_OK;  // an empty variant, as the component gives
        return giveText(result, std::u16string_view(results_->subject).substr(g.start, g.length));
    }
    SharedResults results_;
    std::size_t match_;
};

class Match final : public AutomationObject {
  public:
    Match(SharedResults results, std::size_t match) : results_(std::move(results)), match_(match) {}

  private:
    std::vector<Member> members() const override {
        return {{L"Value", DISPID_VALUE}, {L"FirstIndex", 1}, {L"Length", 2}, {L"SubMatches", 3}};
    }
    HRESULT call(DISPID id, WORD flags, const DISPPARAMS*, VARIANT* result) override {
        if (!reading(flags)) return DISP_E_MEMBERNOTFOUND;
        const RegexMatch& m = results_->matches[match_];
        switch (id) {
            case DISPID_VALUE:
                return giveText(
                    result, std::u16string_view(results_->subject).substr(m.firstIndex, m.length));
            case 1:
                return giveNumber(result, m.firstIndex);
            case 2:
                return giveNumber(result, m.length);
            case 3:
                return giveObject(result, new SubMatches(results_, match_));
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
    SharedResults results_;
    std::size_t match_;
};

class MatchCollection final : public AutomationObject {
  public:
    explicit MatchCollection(SharedResults results) : results_(std::move(results)) {}

  private:
    std::vector<Member> members() const override {
        return {{L"Item", DISPID_VALUE}, {L"Count", 1}};
    }
    HRESULT call(DISPID id, WORD flags, const DISPPARAMS* params, VARIANT* result) override {
        if (!reading(flags)) return DISP_E_MEMBERNOTFOUND;
        if (id == 1) return giveNumber(result, results_->matches.size());
        if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        LONG k = index(params, results_->matches.size());
        if (k < 0) return E_INVALIDARG;
        return giveObject(result, new Match(results_, static_cast<std::size_t>(k)));
    }
    SharedResults results_;
};

class RegExp final : public AutomationObject {
    enum Id : DISPID { pattern = 1, ignoreCase, global, multiline, execute, test, replace };

  private:
    std::vector<Member> members() const override {
        return {{L"Pattern", pattern},     {L"IgnoreCase", ignoreCase}, {L"Global", global},
                {L"Multiline", multiline}, {L"Execute", execute},       {L"Test", test},
                {L"Replace", replace}};
    }

    HRESULT call(DISPID id, WORD flags, const DISPPARAMS* params, VARIANT* result) override {
        bool* option = id == ignoreCase  ? &flags_.ignoreCase
                       : id == global    ? &flags_.global
                       : id == multiline ? &flags_.multiline
                                         : nullptr;
        if (option || id == pattern) {
            if (writing(flags)) return put(option, params);
            if (!reading(flags)) return DISP_E_MEMBERNOTFOUND;
            return option ? giveBool(result, *option) : giveText(result, pattern_);
        }
        if (!reading(flags) || id < execute || id > replace) return DISP_E_MEMBERNOTFOUND;
        bool ok;
        std::u16string subject = textArgument(params, 0, &ok);
        if (!ok) return DISP_E_TYPEMISMATCH;
        std::u16string replacement = id == replace ? textArgument(params, 1, &ok) : u"";
        if (!ok) return DISP_E_TYPEMISMATCH;
        const RegexProgram* program = compiled();
        if (!program) return kPatternError;
        if (id == replace) return giveText(result, replaceRegex(*program, subject, replacement));
        if (id == test) {
            RegexProgram first = *program;
            first.flags.global = false;
            return giveBool(result, !executeRegex(first, subject).empty());
        }
        auto results = std::make_shared<Results>();
        results->matches = executeRegex(*program, subject);
        results->subject = std::move(subject);
        return giveObject(result, new MatchCollection(std::move(results)));
    }

    HRESULT put(bool* option, const DISPPARAMS* params) {
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        Variant v;
        if (FAILED(
                ::VariantChangeType(v.get(), &params->rgvarg[0], 0, option ? VT_BOOL : VT_BSTR))) {
            return DISP_E_TYPEMISMATCH;
        }
        if (option) {
            *option = v.get()->boolVal != VARIANT_FALSE;
        } else {
            BSTR b = v.get()->bstrVal;
            pattern_ = b ? u16Of(b, ::SysStringLen(b)) : std::u16string();
        }
        program_.reset();
        return S_OK;
    }

    // The program for the current pattern and options; null when rejected.
    const RegexProgram* compiled() {
        if (!program_) program_ = compileRegex(pattern_, flags_);
        return program_ ? &*program_ : nullptr;
    }

    std::u16string pattern_;
    RegexFlags flags_;
    std::optional<RegexProgram> program_;
};

}  // namespace

ComPtr<IDispatch> createBuiltInRegExp() {
    ComPtr<IDispatch> object;
    object.Attach(new RegExp());
    return object;
}
