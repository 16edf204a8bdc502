// The control's two connection points and the container side that finds and lists them:
// the event connection point (IVLServiceAdapterXEvents, five fixed slots, the cookie is
// the slot's address) and the property-notification connection point (IPropertyNotifySink,
// a growing array, the cookie is the sink pointer). On 64-bit, where neither fits a 32-bit
// cookie, both points' cookies are slot numbers from 1.
//
// Each point is an object of its own identity whose references count on the control, as
// those of the control's other interfaces do: a point handed out keeps its control alive,
// and the control owns and destroys its points.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "com_server/com_object.h"
#include "support/win_handles.h"

namespace vl {

class ConnectionPoint : public IConnectionPoint {
public:
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // The control is going away: the sinks still connected are released.
    void Disconnect();

protected:
    // `container` is the control's, which owns the point; its count is the point's.
    ConnectionPoint(REFIID iid, IConnectionPointContainer* container);
    virtual ~ConnectionPoint() = default;

    using Slot = ComPtr<IUnknown>;
    virtual std::span<Slot> Slots() = 0;
    virtual DWORD CookieOf(const Slot& slot) const = 0;
    // The first empty slot, growing the storage where the point can; null when full.
    // May throw std::bad_alloc.
    virtual Slot* EmptySlot() = 0;
    // The slot that `cookie` designates, or null.
    virtual Slot* SlotOf(DWORD cookie) = 0;

private:
    IID m_iid;
    IConnectionPointContainer* m_container;
};

// The page's event sinks: at most five at a time.
class EventConnectionPoint final : public ConnectionPoint {
public:
    static constexpr std::size_t kSlotCount = 5;

    explicit EventConnectionPoint(IConnectionPointContainer* container);

    // The sink in `slot` now (held for the caller), or null. Event raising reads each slot
    // when it reaches it, so sinks may come and go while an event is raised.
    ComPtr<IDispatch> SinkAt(std::size_t slot) const;

private:
    std::span<Slot> Slots() override { return m_slots; }
    DWORD CookieOf(const Slot& slot) const override;
    Slot* EmptySlot() override;
    Slot* SlotOf(DWORD cookie) override;

    std::array<Slot, kSlotCount> m_slots;
};

// The container's property-change sinks: one slot, then 4, then doubling; emptied slots
// are used again.
class PropertyNotifyConnectionPoint final : public ConnectionPoint {
public:
    explicit PropertyNotifyConnectionPoint(IConnectionPointContainer* container);

private:
    std::span<Slot> Slots() override { return m_slots; }
    DWORD CookieOf(const Slot& slot) const override;
    Slot* EmptySlot() override;
    Slot* SlotOf(DWORD cookie) override;

    std::vector<Slot> m_slots;
};

// The control's pair of connection points and the two members of IConnectionPointContainer
// that its container forwards here.
class ConnectionPoints {
public:
    // `container` is the control's own IConnectionPointContainer; it is not counted.
    explicit ConnectionPoints(IConnectionPointContainer* container);
    ConnectionPoints(const ConnectionPoints&) = delete;
    ConnectionPoints& operator=(const ConnectionPoints&) = delete;

    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point);
    // The event connection point first, then the property-notification one.
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points);

    EventConnectionPoint& Events() { return m_events; }
    PropertyNotifyConnectionPoint& PropertyNotify() { return m_propertyNotify; }
    // Releases the sinks of both points.
    void Disconnect();

private:
    EventConnectionPoint m_events;
    PropertyNotifyConnectionPoint m_propertyNotify;
};

} // namespace vl
