// Owners for the platform's resources: one template, one traits class per kind.
// Every handle, key, search, certificate object, BSTR and COM reference of the module
// has exactly one owner of these types.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wincrypt.h>
#include <wininet.h>

#include <string>
#include <string_view>
#include <utility>

namespace vl {

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : m_value(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    bool valid() const { return Traits::IsValid(m_value); }
    explicit operator bool() const { return valid(); }
    Type get() const { return m_value; }

    Type release()
    {
        Type value = m_value;
        m_value = Traits::Empty();
        return value;
    }

    void reset(Type value = Traits::Empty())
    {
        if (Traits::IsValid(m_value)) Traits::Close(m_value);
        m_value = value;
    }

    // For out-parameters of creating calls: frees what is held, then hands out the slot.
    Type* put()
    {
        reset();
        return &m_value;
    }

private:
    Type m_value = Traits::Empty();
};

// Kernel handles: both null and INVALID_HANDLE_VALUE mean "none". The pipe and file
// calls fail with the second, the process calls with the first; one owner serves both,
// and an owner that is "closed" holds null.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

inline bool IsValidHandle(HANDLE h) { return KernelHandleTraits::IsValid(h); }

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};
using UniqueRegKey = UniqueResource<RegKeyTraits>;

struct WindowTraits {
    using Type = HWND;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<WindowTraits>;

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};
using UniqueGdiObject = UniqueResource<GdiObjectTraits>;

// A device context made with CreateCompatibleDC.
struct MemoryDcTraits {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// The screen's device context (GetDC of no window), for sizes and compatible bitmaps.
struct ScreenDcTraits {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::ReleaseDC(nullptr, h); }
};
using UniqueScreenDc = UniqueResource<ScreenDcTraits>;

struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

struct CertStoreTraits {
    using Type = HCERTSTORE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::CertCloseStore(h, 0); }
};
using UniqueCertStore = UniqueResource<CertStoreTraits>;

struct CryptMsgTraits {
    using Type = HCRYPTMSG;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::CryptMsgClose(h); }
};
using UniqueCryptMsg = UniqueResource<CryptMsgTraits>;

struct CertContextTraits {
    using Type = PCCERT_CONTEXT;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::CertFreeCertificateContext(h); }
};
using UniqueCertContext = UniqueResource<CertContextTraits>;

struct CertChainTraits {
    using Type = PCCERT_CHAIN_CONTEXT;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::CertFreeCertificateChain(h); }
};
using UniqueCertChain = UniqueResource<CertChainTraits>;

// A module loaded with LoadLibrary or LoadLibraryEx.
struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

// Memory the COM task allocator handed out (ProgIDFromCLSID, StringFromCLSID, ...).
struct CoTaskMemTraits {
    using Type = LPOLESTR;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type p) { return p != nullptr; }
    static void Close(Type p) { ::CoTaskMemFree(p); }
};
using UniqueCoTaskText = UniqueResource<CoTaskMemTraits>;

// A BSTR owner. Null counts as the empty text, as it does for automation callers.
struct BstrTraits {
    using Type = BSTR;
    static Type Empty() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::SysFreeString(h); }
};
class UniqueBstr : public UniqueResource<BstrTraits> {
public:
    using UniqueResource::UniqueResource;
    explicit UniqueBstr(std::wstring_view text)
        : UniqueResource(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    std::wstring str() const { return get() ? std::wstring(get(), ::SysStringLen(get())) : std::wstring(); }
};

// The text of a BSTR argument; null is the empty text.
inline std::wstring BstrText(BSTR value)
{
    return value ? std::wstring(value, ::SysStringLen(value)) : std::wstring();
}

// A COM reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) : m_p(p)
    {
        if (m_p) m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference that the caller already owns.
    static ComPtr Adopt(T* p)
    {
        ComPtr result;
        result.m_p = p;
        return result;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put()
    {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(m_p, nullptr); }
    void reset()
    {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }

    template <typename U>
    HRESULT As(ComPtr<U>& out) const
    {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), out.put_void());
    }

    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const
    {
        if (!out) return E_POINTER;
        *out = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }

private:
    T* m_p = nullptr;
};

class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&m_section); }
    ~CriticalSection() { ::DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_section); }
    void Leave() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CriticalSectionLock() { m_section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_section;
};

// VARIANT owner.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&m_value); }
    ~UniqueVariant() { ::VariantClear(&m_value); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    VARIANT* get() { return &m_value; }
    const VARIANT* get() const { return &m_value; }
    VARIANT* put()
    {
        ::VariantClear(&m_value);
        return &m_value;
    }

private:
    VARIANT m_value;
};

} // namespace vl
