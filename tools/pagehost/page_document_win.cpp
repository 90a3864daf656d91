// Tested by tests/capture/document_from_window_win_test.cpp and the rig tests
// in tests/capture.
#include "tools/pagehost/page_document_win.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// Read-only automation object with a fixed list of property names. The
// property values are produced by readProperty; the DISPID of a name is its
// index in the list plus one. Names compare without case, as MSHTML's do.
class PropertyObject : public IDispatch {
  public:
    PropertyObject(std::initializer_list<const wchar_t*> names) : names_(names) {}
    virtual ~PropertyObject() = default;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || answersInterface(iid)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
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
            for (size_t k = 0; k < names_.size(); ++k) {
                if (names[i] && ::_wcsicmp(names[i], names_[k]) == 0) {
                    ids[i] = static_cast<DISPID>(k + 1);
                }
            }
            if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override {
        if (id < 1 || static_cast<size_t>(id) > names_.size()) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (!result) return S_OK;
        ::VariantInit(result);
        return readProperty(id, result);
    }

  protected:
    virtual bool answersInterface(REFIID) const { return false; }
    virtual HRESULT readProperty(DISPID id, VARIANT* result) = 0;

    static HRESULT putText(const std::wstring& text, VARIANT* result) {
        BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!value) return E_OUTOFMEMORY;
        result->vt = VT_BSTR;
        result->bstrVal = value;
        return S_OK;
    }

  private:
    std::vector<const wchar_t*> names_;
    ULONG refs_ = 1;
};

class PageElement final : public PropertyObject {
  public:
    explicit PageElement(std::wstring innerHtml)
        : PropertyObject({L"innerHTML"}), innerHtml_(std::move(innerHtml)) {}

  protected:
    HRESULT readProperty(DISPID, VARIANT* result) override { return putText(innerHtml_, result); }

  private:
    std::wstring innerHtml_;
};

// The document. Its vtable continues IDispatch's with get_Script, the one
// method IHTMLDocument adds, so that the object is a complete IHTMLDocument for
// whoever calls through that interface's stub.
class PageDocument final : public PropertyObject {
  public:
    explicit PageDocument(const PageContent& content)
        : PropertyObject({L"url", L"body"}), url_(content.url) {
        if (content.hasBody) body_.Attach(new PageElement(content.innerHtml));
    }

    virtual STDMETHODIMP get_Script(IDispatch** script) {
        if (script) *script = nullptr;
        return E_NOTIMPL;
    }

  protected:
    bool answersInterface(REFIID iid) const override { return iid == kBaseDocumentIid; }
    HRESULT readProperty(DISPID id, VARIANT* result) override {
        if (id == 1) return putText(url_, result);
        // A document without a body gives an empty object reference, as MSHTML does.
        result->vt = VT_DISPATCH;
        result->pdispVal = body_.Get();
        if (body_) body_->AddRef();
        return S_OK;
    }

  private:
    std::wstring url_;
    ComPtr<IDispatch> body_;
};

}  // namespace

ComPtr<IDispatch> makePageDocument(const PageContent& content) {
    ComPtr<IDispatch> document;
    document.Attach(new PageDocument(content));
    return document;
}
