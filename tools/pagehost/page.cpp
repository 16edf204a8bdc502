#include "page.h"

#include <objsafe.h>

#include <cstdio>
#include <utility>

#include "com_new.h"
#include "console_output.h"
#include "message_pump.h"
#include "stand_in_paths.h"

namespace vl::pagehost {

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
// Where the object sits: inside the margin a page's body has.
constexpr POINT kObjectOrigin{8, 8};

std::wstring ResultText(HRESULT hr)
{
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"0x%08lX", static_cast<unsigned long>(hr));
    std::wstring text = code;
    wchar_t* message = nullptr;
    if (::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr) &&
        message) {
        std::wstring description = message;
        ::LocalFree(message);
        while (!description.empty() && (description.back() == L'\n' || description.back() == L'\r'))
            description.pop_back();
        text += L": " + description;
    }
    return text;
}

} // namespace

Page::Page(PageOptions options) : m_options(std::move(options)) {}

Page::~Page()
{
    Close();
}

bool Page::Open()
{
    if (!m_window.Create(L"pagehost - " + m_options.url, kWindowWidth, kWindowHeight))
        return Fail(L"creating the page's window", HRESULT_FROM_WIN32(::GetLastError()));
    const HWND window = m_window.Handle();
    m_frame = NewComObject<PageFrame>(window);
    const ComPtr<PageDocument> document = NewComObject<PageDocument>(m_options.url);
    m_site = NewComObject<ControlSite>(window, ComPtr<IOleContainer>(document.get()),
                                       ComPtr<IOleInPlaceFrame>(m_frame.get()));

    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(m_options.progid.c_str(), &clsid);
    if (FAILED(hr)) return Fail(L"finding " + m_options.progid, hr);
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, m_control.put_void());
    if (FAILED(hr)) return Fail(L"creating " + m_options.progid, hr);
    if (m_options.untrustedCaller) {
        // What a browser does before a web page's script may touch the object.
        ComPtr<IObjectSafety> safety;
        hr = m_control->QueryInterface(IID_IObjectSafety, safety.put_void());
        if (SUCCEEDED(hr))
            hr = safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                   INTERFACESAFE_FOR_UNTRUSTED_CALLER);
        if (FAILED(hr)) return Fail(L"making " + m_options.progid + L" safe for untrusted callers", hr);
    }
    hr = m_site->Embed(m_control.get(), kObjectOrigin);
    if (FAILED(hr)) return Fail(L"embedding " + m_options.progid, hr);

    m_script = NewComObject<ScriptHost>(window);
    m_host = NewComObject<HostObject>(static_cast<HostServices&>(*this), m_options.url);
    // An object that raises no events is still a usable object.
    const ComPtr<EventSink> sink = NewComObject<EventSink>(m_script);
    m_events.Connect(m_control.get(), static_cast<IDispatch*>(sink.get()));
    m_propertyNotices.Connect(m_control.get(), static_cast<IDispatch*>(sink.get()), IID_IPropertyNotifySink);
    // A scriptable object is reached through its element, another one as it is.
    ComPtr<IUnknown> item = m_control;
    m_element = NewComObject<ControlElement>();
    if (SUCCEEDED(m_element->Attach(m_control.get())))
        item = ComPtr<IUnknown>(static_cast<IDispatch*>(m_element.get()));
    else
        m_element.reset();

    std::vector<ScriptHost::NamedItem> items;
    items.push_back({m_options.name, item, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE});
    items.push_back({L"host", ComPtr<IUnknown>(static_cast<IDispatch*>(m_host.get())), SCRIPTITEM_ISVISIBLE});
    hr = m_script->Start(std::move(items));
    if (FAILED(hr)) return Fail(L"starting the JScript engine", hr);
    return true;
}

int Page::Run(const std::wstring& code)
{
    m_script->Run(code);
    if (m_script->Errors() > 0 && m_exitCode == 0) return kExitScriptError;
    return m_exitCode;
}

bool Page::Fail(const std::wstring& step, HRESULT hr)
{
    PrintLine(L"pagehost: " + step + L" failed (" + ResultText(hr) + L")", OutputStream::Error);
    return false;
}

void Page::Close()
{
    if (m_host) m_host->Detach();
    m_events.Disconnect();
    m_propertyNotices.Disconnect();
    if (m_script) m_script->Close();
    RemoveControl();
    m_element.reset();
    m_script.reset();
    m_host.reset();
    m_site.reset();
    m_frame.reset();
}

void Page::Wait(DWORD ms)
{
    PumpMessages(ms, {[this](MSG& message) { return m_frame && m_frame->OfferKeyboardMessage(message); },
                      [this] { return m_window.CloseRequested(); }});
}

void Page::Exit(int code)
{
    m_exitCode = code;
}

HWND Page::Window() const
{
    return m_window.Handle();
}

void Page::RemoveControl()
{
    m_events.Disconnect();
    m_propertyNotices.Disconnect();
    if (m_site) m_site->Unembed();
    if (m_element) m_element->Remove();
    m_control.reset();
}

HWND Page::ControlWindow() const
{
    return m_site ? m_site->ControlWindow() : nullptr;
}

std::wstring Page::ControlModule() const
{
    if (!m_control) return {};
    // The object's first interface table lies in the code that serves it.
    const auto table = *reinterpret_cast<const wchar_t* const*>(m_control.get());
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              table, &module))
        return {};
    return ModulePath(module);
}

} // namespace vl::pagehost
