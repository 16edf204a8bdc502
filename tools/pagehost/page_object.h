// One object of the page, as a browser makes an <object>: created by its class, told that
// untrusted callers script it when the page is a web page, embedded in place on the page's
// window, its events and property notices connected to the page's handlers of it, and
// known to script through its element. An object that cannot be created keeps its element,
// which answers nothing, as a browser's does.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "control_element.h"
#include "control_site.h"
#include "event_handlers.h"
#include "event_sink.h"
#include "support/win_handles.h"

namespace vl::pagehost {

class PageObject {
public:
    struct Setup {
        HWND window;
        ComPtr<IOleContainer> document;
        ComPtr<IOleInPlaceFrame> frame;
        bool untrustedCaller;
        bool recordBrowser; // keep the object from opening a browser (browser_recorder.h)
    };

    PageObject(std::wstring id, std::shared_ptr<EventHandlers> handlers);
    ~PageObject();
    PageObject(const PageObject&) = delete;
    PageObject& operator=(const PageObject&) = delete;

    // Creates the object of class `clsid` and embeds it at `origin` (its own size unless
    // `size` is given). The failed step's result when it cannot: the element stays empty.
    HRESULT Create(const CLSID& clsid, const Setup& setup, POINT origin, std::optional<SIZE> size);
    // Takes the object off the page: handlers disconnected, every reference of the page
    // released, the element emptied.
    void Remove();

    const std::wstring& Id() const { return m_id; }
    bool Created() const { return static_cast<bool>(m_object); }
    IDispatch* Element() const { return m_element.get(); }
    EventHandlers& Handlers() const { return *m_handlers; }
    HWND Window() const;
    // The file of the module whose code serves the object; empty without one.
    std::wstring Module() const;

private:
    const std::wstring m_id;
    const std::shared_ptr<EventHandlers> m_handlers;
    const ComPtr<ControlElement> m_element;
    ComPtr<ControlSite> m_site;
    ComPtr<IUnknown> m_object;
    EventConnection m_events;
    EventConnection m_propertyNotices;
};

} // namespace vl::pagehost
