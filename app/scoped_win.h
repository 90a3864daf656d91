// Move-only owners for Windows resources: kernel handles, GDI objects, BSTRs,
// VARIANTs and COM apartments. COM interface pointers use
// Microsoft::WRL::ComPtr. Nothing here throws.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

using Microsoft::WRL::ComPtr;

// Owns a value released by Traits::close unless it equals Traits::invalid().
template <typename Traits>
class Scoped {
  public:
    using T = typename Traits::Type;
    Scoped() = default;
    explicit Scoped(T value) : value_(value) {}
    Scoped(Scoped&& other) noexcept : value_(std::exchange(other.value_, Traits::invalid())) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) reset(std::exchange(other.value_, Traits::invalid()));
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    ~Scoped() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::invalid(); }
    T release() { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }

  private:
    T value_ = Traits::invalid();
};

template <typename H, auto Close, bool InvalidIsMinusOne = false>
struct HandleTraits {
    using Type = H;
    static H invalid() {
        return InvalidIsMinusOne ? reinterpret_cast<H>(INVALID_HANDLE_VALUE) : H{};
    }
    static void close(H h) { Close(h); }
};

inline void closeKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void closeFindHandle(HANDLE h) { ::FindClose(h); }
inline void deleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void destroyCursor(HCURSOR h) { ::DestroyCursor(h); }

using UniqueHandle = Scoped<HandleTraits<HANDLE, closeKernelHandle>>;
using UniqueFileHandle = Scoped<HandleTraits<HANDLE, closeKernelHandle, true>>;
using UniqueFindHandle = Scoped<HandleTraits<HANDLE, closeFindHandle, true>>;
using UniqueFont = Scoped<HandleTraits<HFONT, deleteGdiObject>>;
using UniqueCursor = Scoped<HandleTraits<HCURSOR, destroyCursor>>;

// A BSTR owned by this object.
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text, UINT length) : value_(::SysAllocStringLen(text, length)) {}
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            ::SysFreeString(value_);
            value_ = std::exchange(other.value_, nullptr);
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(value_); }

    BSTR get() const { return value_; }
    UINT length() const { return ::SysStringLen(value_); }
    BSTR release() { return std::exchange(value_, nullptr); }

  private:
    BSTR value_ = nullptr;
};

// A VARIANT that clears itself.
class Variant {
  public:
    Variant() { ::VariantInit(&value_); }
    Variant(Variant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&value_);
            value_ = other.value_;
            ::VariantInit(&other.value_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&value_); }

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    VARTYPE type() const { return value_.vt; }
    bool empty() const { return value_.vt == VT_EMPTY; }
    // Clears the current value and gives its storage to an out-argument.
    VARIANT* receive() {
        ::VariantClear(&value_);
        return &value_;
    }

  private:
    VARIANT value_;
};

// CoInitialize on construction, balanced by CoUninitialize on destruction.
class ComApartment {
  public:
    ComApartment() : result_(::CoInitialize(nullptr)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }

  private:
    HRESULT result_;
};
