#include "com_server/connection_points.h"

#include <olectl.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/exception_boundary.h"

namespace vl {

namespace {

struct HeldConnection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};

void CopyOut(const HeldConnection& held, CONNECTDATA& out)
{
    out.pUnk = ComPtr<IUnknown>(held.sink).detach();
    out.dwCookie = held.cookie;
}

void CopyOut(const ComPtr<IConnectionPoint>& held, IConnectionPoint*& out)
{
    out = ComPtr<IConnectionPoint>(held).detach();
}

// An enumerator over a list taken when it was made; its clones share the list. `Held`
// owns a reference to what the list hands out, `CopyOut` gives the caller its own.
template <typename IEnum, typename Item, typename Held>
class SnapshotEnumerator final : public ComObjectImpl<SnapshotEnumerator<IEnum, Item, Held>, IEnum> {
public:
    using Interfaces = InterfaceList<Interface<IEnum>>;
    using Items = std::shared_ptr<const std::vector<Held>>;

    explicit SnapshotEnumerator(Items items, std::size_t position = 0)
        : m_items(std::move(items)), m_position(position)
    {
    }

    static HRESULT Make(Items items, std::size_t position, IEnum** out)
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto* enumerator = new (std::nothrow) SnapshotEnumerator(std::move(items), position);
        if (!enumerator) return E_OUTOFMEMORY;
        enumerator->AddRef();
        *out = enumerator;
        return S_OK;
    }

    STDMETHODIMP Next(ULONG count, Item* items, ULONG* fetched) override
    {
        if (!items || (count > 1 && !fetched)) return E_POINTER;
        ULONG done = 0;
        for (; done < count && m_position < m_items->size(); ++done) CopyOut((*m_items)[m_position++], items[done]);
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) override
    {
        const std::size_t left = m_items->size() - m_position;
        m_position += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }

    STDMETHODIMP Reset() override
    {
        m_position = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(IEnum** out) override { return Make(m_items, m_position, out); }

private:
    Items m_items;
    std::size_t m_position;
};

using ConnectionEnumerator = SnapshotEnumerator<IEnumConnections, CONNECTDATA, HeldConnection>;
using PointEnumerator = SnapshotEnumerator<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>>;

// The cookie of `slot`, one of `slots`: in the 32-bit module `address`, which the point
// chooses. A 32-bit cookie cannot carry a 64-bit address: the 64-bit module's cookies are
// slot numbers, counted from 1 so that 0 stays "no connection".
DWORD SlotCookie([[maybe_unused]] std::span<const ComPtr<IUnknown>> slots, [[maybe_unused]] const ComPtr<IUnknown>& slot,
                 [[maybe_unused]] const void* address)
{
#ifdef _WIN64
    return static_cast<DWORD>(&slot - slots.data()) + 1;
#else
    return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(address));
#endif
}

} // namespace

ConnectionPoint::ConnectionPoint(REFIID iid, IConnectionPointContainer* container)
    : m_iid(iid), m_container(container)
{
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ConnectionPoint::AddRef()
{
    return m_container->AddRef();
}

STDMETHODIMP_(ULONG) ConnectionPoint::Release()
{
    return m_container->Release();
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (!iid) return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (!container) return E_POINTER;
    *container = m_container;
    m_container->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<IUnknown> connected;
    const HRESULT hr = sink->QueryInterface(m_iid, connected.put_void());
    if (hr == E_NOINTERFACE) return CONNECT_E_CANNOTCONNECT;
    if (FAILED(hr)) return hr;
    // A slot that cannot be made is the point's limit.
    return CatchReturn(CONNECT_E_ADVISELIMIT, [&] {
        Slot* slot = EmptySlot();
        if (!slot) return CONNECT_E_ADVISELIMIT;
        *slot = std::move(connected);
        *cookie = CookieOf(*slot);
        return S_OK;
    });
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie)
{
    Slot* slot = SlotOf(cookie);
    if (!slot) return CONNECT_E_NOCONNECTION;
    // Emptied before the release: the sink's last release may call back into the point.
    Slot released = std::move(*slot);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (!connections) return E_POINTER;
    *connections = nullptr;
    return CatchReturnHresult([&] {
        auto held = std::make_shared<std::vector<HeldConnection>>();
        for (const Slot& slot : Slots())
            if (slot) held->push_back({slot, CookieOf(slot)});
        return ConnectionEnumerator::Make(std::move(held), 0, connections);
    });
}

void ConnectionPoint::Disconnect()
{
    // A sink's last release may call back into the point; the slots are looked up anew.
    for (std::size_t i = 0; i < Slots().size(); ++i) Slot released = std::move(Slots()[i]);
}

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer* container)
    : ConnectionPoint(DIID_IVLServiceAdapterXEvents, container)
{
}

ComPtr<IDispatch> EventConnectionPoint::SinkAt(std::size_t slot) const
{
    if (slot >= kSlotCount) return nullptr;
    // Connected through the event interface, which is a dispatch interface.
    return ComPtr<IDispatch>(reinterpret_cast<IDispatch*>(m_slots[slot].get()));
}

DWORD EventConnectionPoint::CookieOf(const Slot& slot) const
{
    return SlotCookie(m_slots, slot, &slot);
}

ConnectionPoint::Slot* EventConnectionPoint::EmptySlot()
{
    const auto empty = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot& slot) { return !slot; });
    return empty == m_slots.end() ? nullptr : &*empty;
}

ConnectionPoint::Slot* EventConnectionPoint::SlotOf(DWORD cookie)
{
    for (Slot& slot : m_slots)
        if (CookieOf(slot) == cookie) return &slot;
    return nullptr;
}

PropertyNotifyConnectionPoint::PropertyNotifyConnectionPoint(IConnectionPointContainer* container)
    : ConnectionPoint(IID_IPropertyNotifySink, container)
{
}

DWORD PropertyNotifyConnectionPoint::CookieOf(const Slot& slot) const
{
    return SlotCookie(m_slots, slot, slot.get());
}

ConnectionPoint::Slot* PropertyNotifyConnectionPoint::EmptySlot()
{
    const auto empty = std::find_if(m_slots.begin(), m_slots.end(), [](const Slot& slot) { return !slot; });
    if (empty != m_slots.end()) return &*empty;
    const std::size_t used = m_slots.size();
    m_slots.resize(used == 0 ? 1 : used == 1 ? 4 : used * 2);
    return &m_slots[used];
}

ConnectionPoint::Slot* PropertyNotifyConnectionPoint::SlotOf(DWORD cookie)
{
    if (cookie == 0) return nullptr;
    // Only an occupied slot: on 64-bit an emptied slot keeps its number.
    for (Slot& slot : m_slots)
        if (slot && CookieOf(slot) == cookie) return &slot;
    return nullptr;
}

ConnectionPoints::ConnectionPoints(IConnectionPointContainer* container)
    : m_events(container), m_propertyNotify(container)
{
}

void ConnectionPoints::Disconnect()
{
    m_events.Disconnect();
    m_propertyNotify.Disconnect();
}

HRESULT ConnectionPoints::FindConnectionPoint(REFIID iid, IConnectionPoint** point)
{
    if (!point) return E_POINTER;
    *point = nullptr;
    if (::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents)) return ComPtr<IConnectionPoint>(&m_events).CopyTo(point);
    if (::IsEqualIID(iid, IID_IPropertyNotifySink))
        return ComPtr<IConnectionPoint>(&m_propertyNotify).CopyTo(point);
    return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoints::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (!points) return E_POINTER;
    *points = nullptr;
    return CatchReturnHresult([&] {
        auto held = std::make_shared<std::vector<ComPtr<IConnectionPoint>>>();
        held->emplace_back(&m_events);
        held->emplace_back(&m_propertyNotify);
        return PointEnumerator::Make(std::move(held), 0, points);
    });
}

} // namespace vl
