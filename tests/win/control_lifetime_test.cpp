// ctest: RESOURCE_LOCK product_state
// The end of a control instance as a page brings it about: OnDestroy reaches the page,
// a connection point keeps its control, and the last reference may go from inside any
// event the control raises. Freed memory is poisoned in this program, so that anything
// the control touched after its release would fail loudly (a call through a poisoned
// table of virtual functions crashes, which ends the program at once).
#include <gtest/gtest.h>
#include <windows.h>
#include <malloc.h>
#include <olectl.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fixtures/adapter_fixture.h"
#include "fixtures/event_source.h"
#include "fixtures/peer_kernel.h"

void* operator new(std::size_t size)
{
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    if (!block) return;
    std::memset(block, 0xDD, _msize(block));
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

namespace {

using vl::ComPtr;
using vl::test::PeerKernel;
using vl::test::ScriptedPropertySink;
using vl::test::ScriptedSink;
using vl::test::SinkCall;

constexpr DISPID kOnDestroy = 205;
// Stand for the two calls a property-change sink gets in the cases below.
constexpr DISPID kRequestEdit = -1000;
constexpr DISPID kChanged = -1001;

class ControlLifetime : public vl::test::AdapterTest {
protected:
    void Connect(REFIID iid, IUnknown* sink) { ASSERT_NE(vl::test::ConnectSink(control.get(), iid, sink), 0u); }

    // The page lets go of the control: from now on only the control's own references are left.
    void DropControl()
    {
        adapter = nullptr;
        control.reset();
    }

    std::vector<DISPID> Seen() const
    {
        std::vector<DISPID> seen;
        for (const SinkCall& call : log) seen.push_back(call.dispid);
        return seen;
    }

    std::vector<SinkCall> log;
    ComPtr<ScriptedSink> sink{new ScriptedSink(1, log)};
};

TEST_F(ControlLifetime, OnDestroyReachesThePageThenItsSinkIsReleased)
{
    ASSERT_TRUE(CreateControl());
    const ULONG unconnected = sink->References();
    Connect(DIID_IVLServiceAdapterXEvents, static_cast<IDispatch*>(sink.get()));
    ULONG referencesInside = 0;
    sink->action = [&](DISPPARAMS*, EXCEPINFO*) {
        referencesInside = sink->References();
        return S_OK;
    };
    DropControl();
    EXPECT_EQ(Seen(), std::vector<DISPID>{kOnDestroy});
    EXPECT_GT(referencesInside, unconnected) << "raised while the sink was connected";
    EXPECT_EQ(sink->References(), unconnected);
}

TEST_F(ControlLifetime, AConnectionPointKeepsItsControlAlive)
{
    ASSERT_TRUE(CreateControl());
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID_IVLServiceAdapterXEvents, point.put()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
    container.reset();
    DropControl();
    EXPECT_TRUE(log.empty()) << "the point still holds the control";

    ASSERT_EQ(point->GetConnectionPointContainer(container.put()), S_OK);
    ComPtr<IVLServiceAdapterX> again;
    ASSERT_EQ(container->QueryInterface(IID_IVLServiceAdapterX, again.put_void()), S_OK);
    vl::UniqueBstr version;
    EXPECT_EQ(again->GetVersion(version.put()), S_OK);
    EXPECT_EQ(version.str(), L"1.1.31.362");
    again.reset();
    container.reset();
    point.reset();
    EXPECT_EQ(Seen(), std::vector<DISPID>{kOnDestroy});
}

// Each way an event reaches the page, with the page dropping the control inside it.
struct LastReleaseCase {
    const char* name;
    DISPID event;
    // Makes the control raise `event` once the page's handler is in place.
    std::function<void(ControlLifetime&, TVLServiceAdapterXImpl&)> raise;
};

class LastReleaseInsideAnEvent : public ControlLifetime {
protected:
    void Run(const LastReleaseCase& c)
    {
        SCOPED_TRACE(c.name);
        log.clear();
        ASSERT_TRUE(CreateControl());
        Connect(DIID_IVLServiceAdapterXEvents, static_cast<IDispatch*>(sink.get()));
        const ComPtr<ScriptedPropertySink> properties(new ScriptedPropertySink);
        Connect(IID_IPropertyNotifySink, properties.get());
        bool dropped = false;
        auto drop = [&] {
            if (!dropped) DropControl();
            dropped = true;
        };
        sink->action = [&](DISPPARAMS*, EXCEPINFO*) {
            if (log.back().dispid == c.event) drop();
            return S_OK;
        };
        if (c.event == kRequestEdit) properties->onRequestEdit = drop;
        if (c.event == kChanged) properties->onChanged = drop;
        TVLServiceAdapterXImpl& target = *adapter;
        c.raise(*this, target);
        vl::test::PumpUntil([&] { return dropped; }, 3000);
        ASSERT_TRUE(dropped);
        EXPECT_EQ(Seen().back(), kOnDestroy) << "the control ended after the event";
        sink->action = nullptr;
    }
};

TEST_F(LastReleaseInsideAnEvent, NothingIsTouchedAfterwards)
{
    vl::test::FakeKernelWindow kernelWindow;
    std::unique_ptr<PeerKernel> peer;
    // Called on the control without a reference of the caller's: the sink holds the last.
    const auto changeCaption = [](ControlLifetime&, TVLServiceAdapterXImpl& adapter) {
        vl::UniqueBstr caption{std::wstring_view(L"changed")};
        EXPECT_EQ(adapter.put_Caption(caption.get()), S_OK);
    };
    const LastReleaseCase cases[] = {
        {"OnResult during a tick of the response pump", 211,
         [&](ControlLifetime&, TVLServiceAdapterXImpl& adapter) {
             peer = std::make_unique<PeerKernel>();
             ASSERT_TRUE(adapter.CoreForTesting().CreatePipeChannel());
             peer->Send(2, 1, "ping");
         }},
        {"OnClick of the form", 202,
         [](ControlLifetime&, TVLServiceAdapterXImpl& adapter) {
             HWND window = adapter.Form().Window();
             ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             ::SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
         }},
        {"OnKeyPress of the form", 207,
         [](ControlLifetime&, TVLServiceAdapterXImpl& adapter) {
             ::SendMessageW(adapter.Form().Window(), WM_CHAR, 'a', 0);
         }},
        {"a property change request", kRequestEdit, changeCaption},
        {"a property change notice", kChanged, changeCaption},
    };
    for (const LastReleaseCase& c : cases) Run(c);
}

} // namespace
