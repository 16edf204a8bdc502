// The control's connection points and the raising of its events on real COM sinks.
#include "com_server/connection_points.h"

#include "fixtures/event_source.h"

#include <gtest/gtest.h>

#include <olectl.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vl::ComPtr;
using vl::test::ScriptedPropertySink;
using vl::test::ScriptedSink;
using vl::test::SinkCall;
using vl::test::TestEventSource;

// A sink that offers nothing but IUnknown.
class PlainUnknown final : public vl::ComObjectImpl<PlainUnknown, IUnknown> {
public:
    using Interfaces = vl::InterfaceList<vl::Interface<IUnknown>>;
};

class ConnectionPointsTest : public ::testing::Test {
protected:
    ConnectionPointsTest() : control(new TestEventSource)
    {
        EXPECT_EQ(control->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, events.put()), S_OK);
        EXPECT_EQ(control->FindConnectionPoint(IID_IPropertyNotifySink, notify.put()), S_OK);
    }

    ComPtr<ScriptedSink> Sink(int id) { return ComPtr<ScriptedSink>(new ScriptedSink(id, log)); }

    DWORD Connect(const ComPtr<ScriptedSink>& sink)
    {
        DWORD cookie = 0;
        EXPECT_EQ(events->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
        EXPECT_NE(cookie, 0u);
        return cookie;
    }

    std::vector<int> CalledSinks() const
    {
        std::vector<int> ids;
        for (const SinkCall& call : log) ids.push_back(call.sink);
        return ids;
    }

    std::vector<SinkCall> log;
    ComPtr<TestEventSource> control;
    ComPtr<IConnectionPoint> events;
    ComPtr<IConnectionPoint> notify;
};

TEST_F(ConnectionPointsTest, SixthSinkIsRefusedAndAFreedSlotIsTakenAgainInSlotOrder)
{
    std::vector<ComPtr<ScriptedSink>> sinks;
    std::vector<DWORD> cookies;
    for (int id = 1; id <= 5; ++id) {
        sinks.push_back(Sink(id));
        cookies.push_back(Connect(sinks.back()));
    }
    auto sixth = Sink(6);
    const ULONG before = sixth->References();
    DWORD cookie = 123;
    EXPECT_EQ(events->Advise(static_cast<IDispatch*>(sixth.get()), &cookie), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(sixth->References(), before) << "the refused sink is not kept";

    ASSERT_EQ(events->Unadvise(cookies[1]), S_OK);
    EXPECT_EQ(Connect(sixth), cookies[1]);

    control->Fire_OnClick();
    EXPECT_EQ(CalledSinks(), (std::vector<int>{1, 6, 3, 4, 5}));
}

TEST_F(ConnectionPointsTest, UnadviseOfTheEventPointAcceptsOnlyItsSlots)
{
    auto sink = Sink(1);
    const ULONG before = sink->References();
    const DWORD cookie = Connect(sink);
    EXPECT_GT(sink->References(), before);
    EXPECT_EQ(events->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink->References(), before);
    EXPECT_EQ(events->Unadvise(cookie), S_OK) << "an emptied slot is still a slot";
    EXPECT_EQ(events->Unadvise(0), CONNECT_E_NOCONNECTION);
#ifdef _WIN64
    EXPECT_EQ(cookie, 1u) << "a 64-bit cookie is the slot's number";
    EXPECT_EQ(events->Unadvise(6), CONNECT_E_NOCONNECTION);
#else
    EXPECT_EQ(events->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
#endif
}

TEST_F(ConnectionPointsTest, AdviseChecksItsArgumentsAndTheSinksInterface)
{
    DWORD cookie = 99;
    ComPtr<PlainUnknown> plain(new PlainUnknown);
    EXPECT_EQ(events->Advise(plain.get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(notify->Advise(plain.get(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(events->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(events->Advise(plain.get(), nullptr), E_POINTER);
    auto sink = Sink(1);
    EXPECT_EQ(notify->Advise(static_cast<IDispatch*>(sink.get()), &cookie), CONNECT_E_CANNOTCONNECT)
        << "an event sink is no property-change sink";
}

TEST_F(ConnectionPointsTest, ContainerFindsAndListsBothPoints)
{
    IID iid{};
    ASSERT_EQ(events->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(::IsEqualIID(iid, DIID_IVLServiceAdapterXEvents));
    ASSERT_EQ(notify->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(::IsEqualIID(iid, IID_IPropertyNotifySink));
    EXPECT_EQ(events->GetConnectionInterface(nullptr), E_POINTER);

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(events->GetConnectionPointContainer(container.put()), S_OK);
    EXPECT_EQ(container.get(), static_cast<IConnectionPointContainer*>(control.get()));

    IConnectionPoint* other = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(control->FindConnectionPoint(IID_IDispatch, &other), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(control->FindConnectionPoint(IID_IDispatch, nullptr), E_POINTER);

    ComPtr<IEnumConnectionPoints> list;
    ASSERT_EQ(control->EnumConnectionPoints(list.put()), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(list->Next(3, points, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(points[0], events.get());
    EXPECT_EQ(points[1], notify.get());
    for (ULONG i = 0; i < fetched; ++i) points[i]->Release();
    EXPECT_EQ(control->EnumConnectionPoints(nullptr), E_POINTER);
}

TEST_F(ConnectionPointsTest, PropertyNotifyPointGrowsReusesSlotsAndUsesTheSinkAsCookie)
{
    std::vector<ComPtr<ScriptedPropertySink>> sinks;
    std::vector<DWORD> cookies;
    for (int i = 0; i < 9; ++i) {
        sinks.emplace_back(new ScriptedPropertySink);
        DWORD cookie = 0;
        ASSERT_EQ(notify->Advise(sinks.back().get(), &cookie), S_OK);
#ifdef _WIN64
        EXPECT_EQ(cookie, static_cast<DWORD>(i + 1)) << "a 64-bit cookie is the slot's number";
#else
        EXPECT_EQ(cookie, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(
                              static_cast<IPropertyNotifySink*>(sinks.back().get()))));
#endif
        cookies.push_back(cookie);
    }
    ASSERT_EQ(notify->Unadvise(cookies[2]), S_OK);
    EXPECT_EQ(notify->Unadvise(cookies[2]), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(notify->Unadvise(0), CONNECT_E_NOCONNECTION);
    ComPtr<ScriptedPropertySink> late(new ScriptedPropertySink);
    DWORD lateCookie = 0;
    ASSERT_EQ(notify->Advise(late.get(), &lateCookie), S_OK);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(notify->EnumConnections(connections.put()), S_OK);
    // Later changes do not reach an enumeration already made.
    ASSERT_EQ(notify->Unadvise(cookies[0]), S_OK);
    std::vector<DWORD> listed;
    CONNECTDATA data{};
    while (connections->Next(1, &data, nullptr) == S_OK) {
        listed.push_back(data.dwCookie);
        data.pUnk->Release();
    }
    std::vector<DWORD> expected = cookies;
    expected[2] = lateCookie; // the emptied slot was taken again
    EXPECT_EQ(listed, expected);
}

TEST_F(ConnectionPointsTest, EventsCarryTheirArgumentsAsTheEventInterfaceDeclares)
{
    auto sink = Sink(1);
    Connect(sink);
    vl::UniqueBstr text(std::wstring_view(L"done"));
    control->Fire_OnResult(2, 9, text.get());
    ASSERT_EQ(log.size(), 1u);
    const SinkCall& result = log[0];
    EXPECT_EQ(result.dispid, vl::event_dispid::OnResult);
    ASSERT_EQ(result.arguments.size(), 3u);
    EXPECT_EQ(result.arguments[0].vt, VT_BSTR);
    EXPECT_EQ(result.arguments[0].bstrVal, text.get()) << "the caller's string, not a copy";
    EXPECT_EQ(result.arguments[1].vt, VT_UI4);
    EXPECT_EQ(result.arguments[1].ulVal, 9u);
    EXPECT_EQ(result.arguments[2].vt, VT_UI4);
    EXPECT_EQ(result.arguments[2].ulVal, 2u);
    EXPECT_EQ(result.namedArguments, 0u);
    EXPECT_TRUE(::IsEqualIID(result.iid, IID_NULL));
    EXPECT_EQ(result.locale, 0x0800u);
    EXPECT_EQ(result.flags, DISPATCH_METHOD);
    EXPECT_TRUE(result.withResult);
    EXPECT_TRUE(result.withArgumentError);

    control->Fire_OnPaint();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].dispid, vl::event_dispid::OnPaint);
    EXPECT_TRUE(log[1].arguments.empty());
    EXPECT_FALSE(log[1].withResult);

    sink->action = [](DISPPARAMS* params, EXCEPINFO*) {
        EXPECT_EQ(params->rgvarg[0].vt, VT_BYREF | VT_I2);
        EXPECT_EQ(*params->rgvarg[0].piVal, -56);
        *params->rgvarg[0].piVal = 321;
        return S_OK;
    };
    short key = -56;
    control->Fire_OnKeyPress(&key);
    EXPECT_EQ(log[2].dispid, vl::event_dispid::OnKeyPress);
    EXPECT_EQ(key, 321);
}

int g_fillIns = 0;

HRESULT STDAPICALLTYPE FillInLater(EXCEPINFO* info)
{
    ++g_fillIns;
    info->bstrDescription = ::SysAllocString(L"failed late");
    return S_OK;
}

TEST_F(ConnectionPointsTest, AFailingSinkDoesNotStopTheNextOne)
{
    auto failing = Sink(1);
    auto second = Sink(2);
    Connect(failing);
    Connect(second);
    g_fillIns = 0;
    failing->action = [](DISPPARAMS*, EXCEPINFO* info) {
        info->pfnDeferredFillIn = FillInLater;
        return DISP_E_EXCEPTION;
    };
    vl::UniqueBstr text(std::wstring_view(L"x"));
    control->Fire_OnResult(5, 1, text.get());
    EXPECT_EQ(g_fillIns, 1);
    failing->action = [](DISPPARAMS*, EXCEPINFO*) -> HRESULT { throw std::runtime_error("sink threw"); };
    control->Fire_OnResult(5, 2, text.get());
    failing->action = [](DISPPARAMS*, EXCEPINFO*) { return E_FAIL; };
    control->Fire_OnResult(5, 3, text.get());
    EXPECT_EQ(CalledSinks(), (std::vector<int>{1, 2, 1, 2, 1, 2}));
}

TEST_F(ConnectionPointsTest, SinksChangedDuringRaisingAreSeenWhenTheirSlotIsReached)
{
    auto first = Sink(1);
    auto second = Sink(2);
    auto third = Sink(3);
    const DWORD firstCookie = Connect(first);
    const DWORD secondCookie = Connect(second);
    Connect(third);
    auto added = Sink(4);
    first->action = [&](DISPPARAMS*, EXCEPINFO*) {
        events->Unadvise(firstCookie);  // itself
        events->Unadvise(secondCookie); // a later one
        first.reset();                  // the point's hold is the only one left
        Connect(added);                 // takes the first free slot: the first one
        return S_OK;
    };
    control->Fire_OnClick();
    EXPECT_EQ(CalledSinks(), (std::vector<int>{1, 3}));

    // Slots now: added, free, third, free, free. Sinks connected by handlers land in the
    // first free slot, each one later than the slot being called.
    log.clear();
    auto next = Sink(5);
    auto last = Sink(6);
    added->action = [&](DISPPARAMS*, EXCEPINFO*) {
        Connect(next);
        return S_OK;
    };
    third->action = [&](DISPPARAMS*, EXCEPINFO*) {
        Connect(last);
        return S_OK;
    };
    control->Fire_OnClick();
    EXPECT_EQ(CalledSinks(), (std::vector<int>{4, 5, 3, 6}));
}

// A point handed out counts on its control, as the control's own interfaces do.
TEST(ConnectionPointsLifetime, APointKeepsItsControlAndTheControlReleasesItsSinks)
{
    std::vector<SinkCall> log;
    ComPtr<ScriptedSink> sink(new ScriptedSink(1, log));
    const ULONG before = sink->References();
    ComPtr<IConnectionPoint> events;
    IConnectionPointContainer* identity = nullptr;
    {
        ComPtr<TestEventSource> control(new TestEventSource);
        identity = control.get();
        ASSERT_EQ(control->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, events.put()), S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(events->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
    }
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(events->GetConnectionPointContainer(container.put()), S_OK);
    EXPECT_EQ(container.get(), identity);
    ComPtr<IUnknown> point;
    ASSERT_EQ(events->QueryInterface(IID_IUnknown, point.put_void()), S_OK);
    EXPECT_EQ(point.get(), static_cast<IUnknown*>(events.get())) << "a point is an object of its own";
    EXPECT_GT(sink->References(), before) << "still connected";
    point.reset();
    container.reset();
    events.reset();
    EXPECT_EQ(sink->References(), before);
}

} // namespace
