#include "page_object.h"

#include <utility>

#include "browser_recorder.h"
#include "com_new.h"
#include "object_module.h"
#include "page_services.h"
#include "stand_in_paths.h"

namespace vl::pagehost {

PageObject::PageObject(std::wstring id, std::shared_ptr<EventHandlers> handlers)
    : m_id(std::move(id)), m_handlers(std::move(handlers)), m_element(NewComObject<ControlElement>(m_handlers))
{
}

PageObject::~PageObject()
{
    Remove();
}

HRESULT PageObject::Create(const CLSID& clsid, const Setup& setup, POINT origin, std::optional<SIZE> size)
{
    ComPtr<IUnknown> object;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void());
    if (FAILED(hr)) return hr;
    // Before the object can do anything of the page's: the browser's safety step, and
    // no browser of its own.
    if (setup.untrustedCaller && FAILED(hr = MakeSafeForUntrustedCallers(object.get()))) return hr;
    if (setup.recordBrowser) RecordBrowserStarts(object.get());
    const ComPtr<ControlSite> site = NewComObject<ControlSite>(setup.window, setup.document, setup.frame);
    hr = site->Embed(object.get(), origin, size);
    if (FAILED(hr)) return hr;
    m_site = site;
    m_object = object;
    // An object that raises no events is still a usable object.
    const ComPtr<EventSink> sink = NewComObject<EventSink>(m_handlers);
    m_events.Connect(object.get(), static_cast<IDispatch*>(sink.get()));
    m_propertyNotices.Connect(object.get(), static_cast<IDispatch*>(sink.get()), IID_IPropertyNotifySink);
    // A scriptable object is reached through its element; one without IDispatch is
    // embedded but answers script nothing.
    m_element->Attach(object.get());
    return S_OK;
}

void PageObject::Remove()
{
    m_events.Disconnect();
    m_propertyNotices.Disconnect();
    if (m_site) m_site->Unembed();
    m_site.reset();
    m_element->Remove();
    m_object.reset();
}

HWND PageObject::Window() const
{
    return m_site ? m_site->ControlWindow() : nullptr;
}

std::wstring PageObject::Module() const
{
    const HMODULE module = ModuleServing(m_object.get());
    return module ? ModulePath(module) : std::wstring();
}

} // namespace vl::pagehost
