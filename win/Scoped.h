// Owners for Win32 handles, keys, COM pointers and the COM apartment.
// Each closes what it holds in its destructor; none can be copied.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <utility>

namespace win {

// A handle type whose "empty" value is Invalid and which is closed by Close.
template <typename T, T Invalid, typename Closer>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid; }
    T release() { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) {
        T old = std::exchange(value_, value);
        if (old != Invalid) Closer{}(old);
    }
    // For out-parameters: the previous value is closed first.
    T* put() { reset(); return &value_; }

private:
    T value_ = Invalid;
};

struct HandleCloser { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct KeyCloser { void operator()(HKEY k) const { ::RegCloseKey(k); } };
struct MenuCloser { void operator()(HMENU m) const { ::DestroyMenu(m); } };
struct IconCloser { void operator()(HICON i) const { ::DestroyIcon(i); } };
struct GdiCloser { void operator()(HGDIOBJ o) const { ::DeleteObject(o); } };
struct LocalCloser { void operator()(HLOCAL p) const { ::LocalFree(p); } };
struct LibraryCloser { void operator()(HMODULE m) const { ::FreeLibrary(m); } };
struct WindowCloser { void operator()(HWND w) const { ::DestroyWindow(w); } };
struct HookCloser { void operator()(HHOOK h) const { ::UnhookWindowsHookEx(h); } };

// Most handles are empty at NULL; file handles at INVALID_HANDLE_VALUE.
using UniqueHandle = UniqueResource<HANDLE, nullptr, HandleCloser>;
using UniqueKey = UniqueResource<HKEY, nullptr, KeyCloser>;
using UniqueMenu = UniqueResource<HMENU, nullptr, MenuCloser>;
using UniqueIcon = UniqueResource<HICON, nullptr, IconCloser>;
using UniqueBrush = UniqueResource<HBRUSH, nullptr, GdiCloser>;
using UniqueLocal = UniqueResource<HLOCAL, nullptr, LocalCloser>;
using UniqueLibrary = UniqueResource<HMODULE, nullptr, LibraryCloser>;
using UniqueWindow = UniqueResource<HWND, nullptr, WindowCloser>;  // destroy on the thread that owns it
using UniqueHook = UniqueResource<HHOOK, nullptr, HookCloser>;

class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(HANDLE h) : h_(h) {}
    ~UniqueFile() { reset(); }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    UniqueFile(UniqueFile&& o) noexcept : h_(std::exchange(o.h_, INVALID_HANDLE_VALUE)) {}
    UniqueFile& operator=(UniqueFile&& o) noexcept {
        if (this != &o) { reset(); h_ = std::exchange(o.h_, INVALID_HANDLE_VALUE); }
        return *this;
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset() {
        if (h_ != INVALID_HANDLE_VALUE) ::CloseHandle(std::exchange(h_, INVALID_HANDLE_VALUE));
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// A COM interface pointer that releases its reference.
template <typename I>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) { reset(); p_ = std::exchange(o.p_, nullptr); }
        return *this;
    }
    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    I** put() { reset(); return &p_; }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    I* p_ = nullptr;
};

// CoInitialize for the calling thread (single-threaded apartment) and the
// matching CoUninitialize when the scope ends, if the initialisation counted.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitialize(nullptr)) {}
    ~ComApartment() { if (SUCCEEDED(hr_)) ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

// A BSTR that frees itself.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : s_(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return s_; }
    BSTR* put() { ::SysFreeString(s_); s_ = nullptr; return &s_; }

private:
    BSTR s_ = nullptr;
};

// A VARIANT holding a copy of a text as a BSTR, cleared when it goes.
class BstrVariant {
public:
    explicit BstrVariant(const wchar_t* text) {
        ::VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = ::SysAllocString(text);
    }
    ~BstrVariant() { ::VariantClear(&v_); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

// A VARIANT holding a bool or a 32-bit integer (no resource to free; it is
// cleared all the same, as every VARIANT should be).
class ValueVariant {
public:
    static ValueVariant Bool(bool value) {
        ValueVariant v;
        v.v_.vt = VT_BOOL;
        v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static ValueVariant Int(LONG value) {
        ValueVariant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = value;
        return v;
    }
    ~ValueVariant() { ::VariantClear(&v_); }
    const VARIANT& get() const { return v_; }

private:
    ValueVariant() { ::VariantInit(&v_); }
    VARIANT v_;
};

}  // namespace win
