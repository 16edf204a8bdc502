#include "page.h"

#include <activscp.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <utility>

#include "browser_recorder.h"
#include "com_new.h"
#include "console_output.h"
#include "message_pump.h"
#include "pagehost/portable/script_source.h"
#include "script_file.h"
#include "script_location.h"

namespace vl::pagehost {

namespace {

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
// Where the first object sits: inside the margin a page's body has; the next ones follow
// to its right.
constexpr POINT kObjectOrigin{8, 8};
constexpr LONG kObjectGap = 8;
constexpr LONG kUnsizedObjectWidth = 300;
// An HTML page ends once nothing has happened for this long and no timer is set.
constexpr DWORD kHtmlPageQuietMs = 1000;

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

// Pixels of a width or height attribute ("150", "150px"); none for anything else.
std::optional<LONG> Pixels(const std::wstring& attribute)
{
    std::wstring_view digits(attribute);
    if (digits.ends_with(L"px")) digits.remove_suffix(2);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::iswdigit))
        return std::nullopt;
    return std::stol(std::wstring(digits));
}

std::optional<SIZE> TagSize(const ObjectTag& tag)
{
    const std::optional<LONG> width = Pixels(tag.width);
    const std::optional<LONG> height = Pixels(tag.height);
    if (!width || !height) return std::nullopt;
    return SIZE{*width, *height};
}

std::wstring Joined(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (const std::wstring& name : names) text += (text.empty() ? L"" : L", ") + name;
    return text;
}

} // namespace

Page::Page(PageOptions options) : m_options(std::move(options)), m_nextOrigin(kObjectOrigin) {}

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
    m_document = NewComObject<PageDocument>(m_options.url);
    m_services = NewComObject<PageServices>(ComPtr<IUnknown>(static_cast<IOleContainer*>(m_document.get())),
                                            m_options.untrustedCaller);
    const ComPtr<LocationObject> location = NewComObject<LocationObject>(m_options.url);
    m_scriptDocument = NewComObject<DocumentObject>(ComPtr<IDispatch>(location.get()), m_options.url,
                                                    [this](const std::wstring& id) {
                                                        const PageObject* object = FindObject(id);
                                                        return ComPtr<IDispatch>(object ? object->Element() : nullptr);
                                                    });
    m_scriptWindow = NewComObject<WindowObject>(m_timers, ComPtr<IDispatch>(m_scriptDocument.get()),
                                                ComPtr<IDispatch>(location.get()));
    m_host = NewComObject<HostObject>(static_cast<HostServices&>(*this), m_options.url);

    // Objects that page script creates come from the module as well.
    if (m_options.recordBrowser) RecordBrowserStarts(m_options.progid);

    // A page's JScript engine always; VBScript where an HTML page may use it.
    m_jscript = NewComObject<ScriptHost>(window, ScriptLanguage::JScript, ComPtr<IServiceProvider>(m_services.get()));
    const std::vector<ScriptHost::NamedItem> items = {
        {L"host", ComPtr<IUnknown>(static_cast<IDispatch*>(m_host.get())), SCRIPTITEM_ISVISIBLE},
        {L"window", ComPtr<IUnknown>(static_cast<IDispatch*>(m_scriptWindow.get())),
         SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS},
    };
    HRESULT hr = m_jscript->Start(items, m_options.untrustedCaller);
    if (FAILED(hr)) return Fail(L"starting the JScript engine", hr);
    if (m_options.htmlPage) {
        m_vbscript =
            NewComObject<ScriptHost>(window, ScriptLanguage::VBScript, ComPtr<IServiceProvider>(m_services.get()));
        hr = m_vbscript->Start(items, m_options.untrustedCaller);
        if (FAILED(hr)) return Fail(L"starting the VBScript engine", hr);
    }
    return true;
}

int Page::Run(const std::wstring& text)
{
    if (m_options.htmlPage)
        RunHtmlPage(text);
    else
        RunScriptPage(text);
    RunUntilIdle(m_options.htmlPage ? kHtmlPageQuietMs : 0);
    // The page goes: its unload handler runs, also after host.exit.
    SetEnginesStopped(false);
    RunWindowHandler(WindowObject::kOnUnload, L"window_onunload");
    const unsigned errors = m_jscript->Errors() + (m_vbscript ? m_vbscript->Errors() : 0);
    if (errors > 0 && m_exitCode == 0) return kExitScriptError;
    return m_exitCode;
}

void Page::RunScriptPage(const std::wstring& code)
{
    PageObject& object = AddObject(m_options.name, m_options.progid, std::nullopt);
    // A script page's global function named after an event handles it.
    object.Handlers().AddNamingRule(m_jscript, L"");
    m_jscript->Run(code);
}

void Page::RunHtmlPage(const std::wstring& html)
{
    const HtmlPage page = ParseHtmlPage(html);
    if (!page.skipped.empty())
        PrintLine(L"pagehost: skipped what a control page does not need: " + Joined(page.skipped), OutputStream::Error);
    for (const PagePart& part : page.parts) {
        if (m_ended) return;
        if (const auto* block = std::get_if<ScriptBlock>(&part)) {
            if (block->source) RunScriptSource(*block);
            else RunScriptBlock(*block);
            continue;
        }
        const auto& tag = std::get<ObjectTag>(part);
        const std::wstring clsid = ClassIdentifierOf(tag.classId);
        if (clsid.empty())
            PrintLine(L"pagehost: <object id=\"" + tag.id + L"\"> has no classid=\"clsid:...\" of the standard form",
                      OutputStream::Error);
        const PageObject& object = AddObject(tag.id, clsid, TagSize(tag));
        if (!object.Created()) {
            // What the browser shows instead of an object it cannot create.
            if (!tag.fallback.empty()) PrintLine(tag.fallback);
            if (!tag.codebase.empty())
                PrintLine(L"pagehost: a browser would install it from " + tag.codebase, OutputStream::Error);
        } else if (!tag.params.empty()) {
            PrintLine(L"pagehost: the <param> values of \"" + tag.id + L"\" are not given to it (the page host " +
                          L"loads no properties into objects; a control that is not safe for initialization gets " +
                          L"none from a browser either)",
                      OutputStream::Error);
        }
    }
    if (!m_ended) RunWindowHandler(WindowObject::kOnLoad, L"window_onload");
}

PageObject& Page::AddObject(const std::wstring& id, const std::wstring& classOrProgId, std::optional<SIZE> size)
{
    auto object = std::make_unique<PageObject>(id, std::make_shared<EventHandlers>(m_jscript, [this] { NoteActivity(); }));
    CLSID clsid{};
    HRESULT hr = classOrProgId.starts_with(L'{') ? ::CLSIDFromString(classOrProgId.c_str(), &clsid)
                                                 : ::CLSIDFromProgID(classOrProgId.c_str(), &clsid);
    if (SUCCEEDED(hr)) {
        const PageObject::Setup setup{m_window.Handle(),
                                      ComPtr<IOleContainer>(m_document.get()),
                                      ComPtr<IOleInPlaceFrame>(m_frame.get()),
                                      m_options.untrustedCaller,
                                      m_options.recordBrowser};
        hr = object->Create(clsid, setup, m_nextOrigin, size);
    }
    if (FAILED(hr))
        PrintLine(L"pagehost: " + (m_options.htmlPage ? L"<object id=\"" + id + L"\">" : classOrProgId) +
                      L" could not be created (" + ResultText(hr) + L"); the page runs without it",
                  OutputStream::Error);
    m_nextOrigin.x += (size ? size->cx : kUnsizedObjectWidth) + kObjectGap;
    if (!id.empty()) {
        const ScriptHost::NamedItem item{id, ComPtr<IUnknown>(object->Element()), SCRIPTITEM_ISVISIBLE};
        m_jscript->AddItem(item);
        if (m_vbscript) {
            m_vbscript->AddItem(item);
            // VBScript's Sub id_OnResult(...) handles the object's OnResult.
            object->Handlers().AddNamingRule(m_vbscript, id + L"_");
        }
    }
    m_objects.push_back(std::move(object));
    return *m_objects.back();
}

void Page::RunScriptBlock(const ScriptBlock& block)
{
    ScriptHost& engine = Engine(block.language);
    if (block.forId.empty()) {
        engine.Run(block.code, static_cast<ULONG>(block.line), true);
        return;
    }
    PageObject* object = FindObject(block.forId);
    if (!object) {
        PrintLine(L"pagehost: <script for=\"" + block.forId + L"\"> names no object of the page; skipped",
                  OutputStream::Error);
        return;
    }
    // The block becomes a function of the event's parameters; its first line stays the
    // page's line of the code.
    const std::wstring name = L"pagehostHandler" + std::to_wstring(++m_handlers);
    const std::wstring code = block.language == ScriptLanguage::VBScript
                                  ? L"Sub " + name + L"(" + block.eventParameters + L")\n" + block.code + L"\nEnd Sub\n"
                                  : L"function " + name + L"(" + block.eventParameters + L") {\n" + block.code + L"\n}\n";
    if (SUCCEEDED(engine.Run(code, static_cast<ULONG>(block.line - 1), true)))
        object->Handlers().AddFunction(block.event, ComPtr<ScriptHost>(&engine), name);
}

void Page::RunScriptSource(const ScriptBlock& block)
{
    const std::wstring tag = L"<script src=\"" + *block.source + L"\"> (line " + std::to_wstring(block.line) + L")";
    const ScriptSource source = LocalScriptSource(*block.source);
    std::optional<std::wstring> code;
    std::wstring path;
    if (source.refusal.empty()) {
        const std::wstring& page = m_options.script;
        path = page.substr(0, page.find_last_of(L"\\/") + 1) + source.path;
        code = ReadScriptFile(path);
    }
    if (!code) {
        // As a browser goes on after a script it could not load.
        PrintLine(L"pagehost: " + tag + L" is not run: " +
                      (source.refusal.empty() ? L"no file " + path + L" to read" : source.refusal) +
                      L"; the page host reads only files beside the page",
                  OutputStream::Error);
        return;
    }
    ScriptBlock loaded = block;
    loaded.code = std::move(*code);
    loaded.source.reset();
    loaded.line = 1; // errors name the file's lines
    RunScriptBlock(loaded);
}

ScriptHost& Page::Engine(ScriptLanguage language)
{
    return language == ScriptLanguage::VBScript && m_vbscript ? *m_vbscript.get() : *m_jscript.get();
}

PageObject* Page::FindObject(const std::wstring& id) const
{
    for (const auto& object : m_objects)
        if (!id.empty() && ::CompareStringOrdinal(object->Id().c_str(), -1, id.c_str(), -1, TRUE) == CSTR_EQUAL)
            return object.get();
    return nullptr;
}

void Page::RunUntilIdle(DWORD quietMs)
{
    NoteActivity();
    while (!m_ended && !m_window.CloseRequested()) {
        for (const PageTimers::Timer& timer : m_timers.TakeDue()) {
            if (m_ended) return;
            NoteActivity();
            if (timer.function) {
                DISPPARAMS none{};
                UniqueVariant ignored;
                m_jscript->CallObject(timer.function.get(), none, ignored.put(), L"a timer");
            } else {
                Engine(timer.language).Run(timer.code);
            }
        }
        const DWORD quiet = ::GetTickCount() - m_lastActivity;
        const DWORD quietLeft = quiet >= quietMs ? 0 : quietMs - quiet;
        const DWORD next = m_timers.MillisecondsToNext();
        if (m_ended || (next == INFINITE && quietLeft == 0)) return;
        Wait(quietLeft == 0 ? next : std::min(next, quietLeft));
    }
}

void Page::RunWindowHandler(WindowObject::MemberId which, const wchar_t* vbscriptName)
{
    DISPPARAMS none{};
    UniqueVariant ignored;
    if (const ComPtr<IDispatch> handler = m_scriptWindow->Handler(which))
        m_jscript->CallObject(handler.get(), none, ignored.put(),
                              which == WindowObject::kOnLoad ? L"window.onload" : L"window.onunload");
    if (m_vbscript) m_vbscript->CallFunction(vbscriptName, none, ignored.put());
}

void Page::SetEnginesStopped(bool stopped)
{
    if (m_jscript) m_jscript->SetStopped(stopped);
    if (m_vbscript) m_vbscript->SetStopped(stopped);
}

bool Page::Fail(const std::wstring& step, HRESULT hr)
{
    PrintLine(L"pagehost: " + step + L" failed (" + ResultText(hr) + L")", OutputStream::Error);
    return false;
}

void Page::Close()
{
    if (m_host) m_host->Detach();
    if (m_scriptWindow) m_scriptWindow->Detach();
    if (m_scriptDocument) m_scriptDocument->Detach();
    m_timers.Clear();
    if (m_jscript) m_jscript->Close();
    if (m_vbscript) m_vbscript->Close();
    for (const auto& object : m_objects) object->Remove();
    m_objects.clear();
    m_jscript.reset();
    m_vbscript.reset();
    m_scriptWindow.reset();
    m_scriptDocument.reset();
    m_host.reset();
    m_services.reset();
    m_document.reset();
    m_frame.reset();
}

void Page::Wait(DWORD ms)
{
    PumpMessages(ms, {[this](MSG& message) { return m_frame && m_frame->OfferKeyboardMessage(message); },
                      [this] { return m_ended || m_window.CloseRequested(); }});
}

void Page::Exit(int code)
{
    m_exitCode = code;
    m_ended = true;
    SetEnginesStopped(true);
}

HWND Page::Window() const
{
    return m_window.Handle();
}

void Page::RemoveControl()
{
    if (!m_objects.empty()) m_objects.front()->Remove();
}

HWND Page::ControlWindow() const
{
    return m_objects.empty() ? nullptr : m_objects.front()->Window();
}

std::wstring Page::ControlModule() const
{
    return m_objects.empty() ? std::wstring() : m_objects.front()->Module();
}

} // namespace vl::pagehost
