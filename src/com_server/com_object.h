// The COM plumbing shared by every object of the module: QueryInterface from a declared
// interface list, an atomic reference count, aggregation, and creation with a final
// construction step.
//
// An object class derives from ComObjectImpl<Self, interfaces...> and declares
//     using Interfaces = vl::InterfaceList<vl::Interface<IFoo>, vl::Interface<IBar>, ...>;
// The first entry is the object's identity IUnknown. An interface reachable through more
// than one base names the base to go through: vl::Interface<IOleWindow, IOleInPlaceObject>.
// The object may offer `HRESULT FinalConstruct()`, run once it holds its first reference,
// and `void FinalRelease()`, run when the last reference is gone, before the destructor,
// while the whole object still stands; references taken and dropped inside it do not
// bring the count to zero a second time.
// The most derived class may be final: nothing derives from it to complete it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <climits>
#include <new>
#include <utility>

namespace vl {

template <typename I, typename Via = I>
struct Interface {
    template <typename T>
    static IUnknown* Of(T* self)
    {
        return static_cast<I*>(static_cast<Via*>(self));
    }

    template <typename T>
    static bool Match(T* self, REFIID iid, void** out)
    {
        if (!::IsEqualIID(iid, __uuidof(I))) return false;
        *out = static_cast<I*>(static_cast<Via*>(self));
        return true;
    }
};

template <typename First, typename... Rest>
struct InterfaceList {
    // The interface of `self` named by iid, without a reference added; null when the list
    // does not hold it. IUnknown is the first entry.
    template <typename T>
    static void* Find(T* self, REFIID iid)
    {
        if (::IsEqualIID(iid, IID_IUnknown)) return First::Of(self);
        void* found = nullptr;
        (First::Match(self, iid, &found) || ... || Rest::Match(self, iid, &found));
        return found;
    }

    template <typename T>
    static IUnknown* Identity(T* self)
    {
        return First::Of(self);
    }
};

// IUnknown for an object implementing `Bases`. Standalone, the object counts its own
// references. Aggregated, every interface of the list hands IUnknown's calls to the outer
// object, and the outer object holds the separate non-delegating InnerUnknown().
template <typename Self, typename... Bases>
class ComObjectImpl : public Bases... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        return m_outer ? m_outer->QueryInterface(iid, out) : InternalQueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_outer ? m_outer->AddRef() : InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_outer ? m_outer->Release() : InternalRelease(); }

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}

    // The interfaces of the object's own list, whoever controls its lifetime.
    HRESULT InternalQueryInterface(REFIID iid, void** out)
    {
        if (!out) return E_POINTER;
        *out = Self::Interfaces::Find(static_cast<Self*>(this), iid);
        if (!*out) return E_NOINTERFACE;
        static_cast<IUnknown*>(*out)->AddRef();
        return S_OK;
    }
    bool AnswersInterface(REFIID iid) { return Self::Interfaces::Find(static_cast<Self*>(this), iid) != nullptr; }

    // The identity that callers see: the outer object's when aggregated.
    IUnknown* ControllingUnknown() { return m_outer ? m_outer : Self::Interfaces::Identity(static_cast<Self*>(this)); }

    // Called once, before the final construction; `outer` is not counted (it owns us).
    void SetOuter(IUnknown* outer) { m_outer = outer; }
    IUnknown* InnerUnknown() { return &m_inner; }

protected:
    ComObjectImpl() = default;
    virtual ~ComObjectImpl() = default;
    ComObjectImpl(const ComObjectImpl&) = delete;
    ComObjectImpl& operator=(const ComObjectImpl&) = delete;

private:
    ULONG InternalAddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG InternalRelease()
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) {
            m_refs = kReleasing;
            static_cast<Self*>(this)->FinalRelease();
            delete this;
        }
        return static_cast<ULONG>(refs);
    }

    // The non-delegating IUnknown of an aggregated object.
    class Inner final : public IUnknown {
    public:
        explicit Inner(ComObjectImpl& object) : m_object(object) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override
        {
            if (!out) return E_POINTER;
            if (::IsEqualIID(iid, IID_IUnknown)) {
                *out = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            return m_object.InternalQueryInterface(iid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return m_object.InternalAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_object.InternalRelease(); }

    private:
        ComObjectImpl& m_object;
    };

    // The count while the object goes away: far from zero either way.
    static constexpr LONG kReleasing = LONG_MAX / 2;

    volatile LONG m_refs = 0;
    IUnknown* m_outer = nullptr;
    Inner m_inner{*this};
};

// Creates a T, standalone or (with an outer object) aggregated; the instance creator of
// every class of the module. The new object holds a reference during its final
// construction, so that references taken and dropped inside it cannot destroy it; when
// the construction or the request for iid fails, the object is destroyed and the error
// returned. The caller has checked `out` and aggregation's IID rule and turns exceptions
// into results.
template <typename T, typename... Args>
HRESULT CreateComInstance(IUnknown* outer, REFIID iid, void** out, Args&&... args)
{
    *out = nullptr;
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    object->SetOuter(outer);
    IUnknown* holder = outer ? object->InnerUnknown() : T::Interfaces::Identity(object);
    holder->AddRef();
    HRESULT hr = E_FAIL;
    try {
        hr = object->FinalConstruct();
        if (SUCCEEDED(hr)) hr = holder->QueryInterface(iid, out);
    } catch (...) {
        holder->Release();
        throw;
    }
    holder->Release();
    return hr;
}

} // namespace vl
