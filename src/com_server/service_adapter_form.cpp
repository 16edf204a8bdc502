#include "com_server/service_adapter_form.h"

#include <ole2.h>

#include <cstring>
#include <span>
#include <utility>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/exception_boundary.h"
#include "com_server/portable/form_definition.h"
#include "com_server/server_module.h"
#include "support/ansi_text.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr char kFormWindowClass[] = "TVLServiceAdapterX";
constexpr char kParkingWindowClass[] = "TVLServiceAdapterXParking";

// The windows' code lives in this module, whichever module holds the definition.
HINSTANCE CodeModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

std::wstring LastErrorText(const wchar_t* what)
{
    return std::wstring(what) + L" (error " + std::to_wstring(::GetLastError()) + L")";
}

// Forms of the process; the window classes are registered while there is one. Guarded by
// the module's window-creation lock.
int g_formCount = 0;

bool AcquireWindowClasses(WNDPROC formProc, std::wstring& error)
{
    vl::CriticalSectionLock lock(vl::Module().WindowCreationLock());
    if (g_formCount == 0) {
        WNDCLASSEXA form{};
        form.cbSize = sizeof(form);
        form.style = CS_DBLCLKS;
        form.lpfnWndProc = formProc;
        form.hInstance = CodeModule();
        form.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        form.lpszClassName = kFormWindowClass;
        WNDCLASSEXA parking{};
        parking.cbSize = sizeof(parking);
        parking.lpfnWndProc = ::DefWindowProcA;
        parking.hInstance = CodeModule();
        parking.lpszClassName = kParkingWindowClass;
        if (!::RegisterClassExA(&form) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            error = LastErrorText(L"The form's window class cannot be registered");
            return false;
        }
        if (!::RegisterClassExA(&parking) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            error = LastErrorText(L"The parking window's class cannot be registered");
            ::UnregisterClassA(kFormWindowClass, CodeModule());
            return false;
        }
    }
    ++g_formCount;
    return true;
}

// Classes of a module must not outlive it: the last form takes them away.
void ReleaseWindowClasses()
{
    vl::CriticalSectionLock lock(vl::Module().WindowCreationLock());
    if (--g_formCount > 0) return;
    ::UnregisterClassA(kFormWindowClass, CodeModule());
    ::UnregisterClassA(kParkingWindowClass, CodeModule());
}

BOOL CALLBACK FindParkingWindowProc(HWND window, LPARAM found)
{
    char className[64] = {};
    if (::GetClassNameA(window, className, sizeof(className)) && std::strcmp(className, kParkingWindowClass) == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// This thread's parking window, if it has one.
HWND FindParkingWindow()
{
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindParkingWindowProc, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The hidden top-level window that holds this thread's forms while no container does.
HWND ParkingWindow()
{
    if (HWND window = FindParkingWindow()) return window;
    return ::CreateWindowExA(0, kParkingWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, CodeModule(),
                             nullptr);
}

// A parking window lives only while it holds a form.
void DropParkingWindowIfEmpty()
{
    HWND window = FindParkingWindow();
    if (window && !::GetWindow(window, GW_CHILD)) ::DestroyWindow(window);
}

struct BorderStyles {
    LONG style;
    LONG exStyle;
};

constexpr LONG kBorderStyleMask = WS_BORDER | WS_DLGFRAME;
constexpr LONG kBorderExStyleMask = WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;

BorderStyles BorderStylesOf(std::int8_t axBorderStyle)
{
    switch (axBorderStyle) {
    case afbSingle: return {WS_BORDER, 0};
    case afbSunken: return {0, WS_EX_CLIENTEDGE};
    case afbRaised: return {WS_DLGFRAME, WS_EX_WINDOWEDGE};
    default: return {0, 0};
    }
}

COLORREF ToColorRef(std::int32_t color)
{
    COLORREF rgb = 0;
    if (SUCCEEDED(::OleTranslateColor(static_cast<OLE_COLOR>(color), nullptr, &rgb))) return rgb;
    return ::GetSysColor(COLOR_BTNFACE);
}

std::optional<bool> BooleanOf(const vl::ComponentRecord* record, std::string_view name)
{
    const vl::PropertyValue* value = record ? record->FindProperty(name) : nullptr;
    return value ? value->AsBoolean() : std::nullopt;
}

std::optional<std::wstring> TextOf(const vl::ComponentRecord* record, std::string_view name)
{
    const vl::PropertyValue* value = record ? record->FindProperty(name) : nullptr;
    const auto text = value ? value->AsText() : std::nullopt;
    if (!text) return std::nullopt;
    return vl::AnsiToWide(*text);
}

// Wide strings of a component stream hold UTF-16, as wchar_t does here.
std::string AnsiFromStream(std::u16string_view text)
{
    return vl::WideToAnsi(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

// An exception from a hook must not leave the window procedure; the form carries on.
template <typename Hook, typename... Args>
void CallHook(const Hook& hook, Args&... args)
{
    vl::CatchIgnore([&] {
        if (hook) hook(args...);
    });
}

} // namespace

TVLServiceAdapterX::TVLServiceAdapterX()
{
    OnCreate = [this] { ActiveFormCreate(*this); };
    m_PatchHttp.OnWork = [this](vl::PatchHttp& sender, vl::WorkMode mode, std::int64_t count) {
        m_PatchHttpWork(sender, mode, count);
    };
}

std::unique_ptr<TVLServiceAdapterX> TVLServiceAdapterX::Create(HINSTANCE resourceModule, std::wstring& error)
{
    HRSRC resource = ::FindResourceW(resourceModule, vl::kFormDefinitionResource, RT_RCDATA);
    HGLOBAL loaded = resource ? ::LoadResource(resourceModule, resource) : nullptr;
    const auto* bytes = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!bytes) {
        error = LastErrorText(L"The form definition TVLSERVICEADAPTERX is missing");
        return nullptr;
    }
    const auto parsed =
        vl::ReadComponentStream(std::span<const std::uint8_t>(bytes, ::SizeofResource(resourceModule, resource)));
    if (!parsed) {
        error = L"The form definition cannot be read: " + vl::AnsiToWide(parsed.Error().Text());
        return nullptr;
    }

    std::unique_ptr<TVLServiceAdapterX> form(new TVLServiceAdapterX());
    if (auto problem = form->ApplyDefinition(parsed->root)) {
        error = std::move(*problem);
        return nullptr;
    }
    if (!AcquireWindowClasses(WindowProc, error)) return nullptr;
    form->m_classesRegistered = true;
    if (!form->CreateFormWindow(ParkingWindow())) {
        error = LastErrorText(L"The form's window cannot be created");
        return nullptr;
    }
    form->Raise(form->OnCreate);
    return form;
}

std::optional<std::wstring> TVLServiceAdapterX::ApplyDefinition(const vl::ComponentRecord& definition)
{
    if (auto problem = vl::ApplyFormProperties(definition, m_properties, AnsiFromStream))
        return L"The form definition does not fit the form: " + vl::AnsiToWide(*problem);
    m_defaults = m_properties;

    const vl::ComponentRecord* http = definition.FindChild(vl::kPatchHttpName);
    vl::HttpClientSettings settings;
    settings.allowCookies = BooleanOf(http, "AllowCookies").value_or(settings.allowCookies);
    settings.accept = TextOf(http, "Request.Accept").value_or(settings.accept);
    settings.userAgent = TextOf(http, "Request.UserAgent").value_or(settings.userAgent);
    m_PatchHttp.SetSettings(std::move(settings));
    return std::nullopt;
}

TVLServiceAdapterX::~TVLServiceAdapterX()
{
    RaiseDestroy();
    if (HWND window = m_window.release()) {
        // Whatever the window still says on its way out is no longer the form's business.
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
    }
    DropParkingWindowIfEmpty();
    if (m_classesRegistered) ReleaseWindowClasses();
}

bool TVLServiceAdapterX::CreateFormWindow(HWND parent)
{
    if (!parent) return false;
    const BorderStyles border = BorderStylesOf(m_properties.axBorderStyle);
    LONG style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | border.style;
    if (m_properties.visible) style |= WS_VISIBLE;
    if (!m_properties.enabled) style |= WS_DISABLED;
    // WM_NCCREATE stores the window in m_window.
    ::CreateWindowExA(border.exStyle, kFormWindowClass, m_properties.caption.c_str(), style, m_properties.left,
                      m_properties.top, m_properties.width, m_properties.height, parent, nullptr, CodeModule(),
                      this);
    if (!m_window) return false;
    ApplyFontHandle();
    return true;
}

HWND TVLServiceAdapterX::Window()
{
    if (!m_window) CreateFormWindow(ParkingWindow());
    return m_window.get();
}

void TVLServiceAdapterX::SetParentWindow(HWND parent)
{
    HWND window = Window();
    if (!window) return;
    ::SetParent(window, parent ? parent : ParkingWindow());
    DropParkingWindowIfEmpty();
}

void TVLServiceAdapterX::SetBounds(const RECT& bounds)
{
    Update([&](vl::FormProperties& p) {
        p.left = bounds.left;
        p.top = bounds.top;
        p.width = bounds.right - bounds.left;
        p.height = bounds.bottom - bounds.top;
    });
}

template <typename Change>
void TVLServiceAdapterX::Update(Change change)
{
    vl::FormProperties next = m_properties;
    change(next);
    ApplyProperties(next);
}

void TVLServiceAdapterX::ApplyProperties(const vl::FormProperties& requested)
{
    vl::FormProperties next = requested;
    if (next.parentColor && m_parentColor) next.color = static_cast<std::int32_t>(*m_parentColor);
    if (next.parentFont && m_parentFont) next.font = *m_parentFont;
    const vl::FormProperties previous = std::exchange(m_properties, next);
    HWND window = m_window.get();
    if (!window) return;

    if (next.left != previous.left || next.top != previous.top || next.width != previous.width ||
        next.height != previous.height)
        ::MoveWindow(window, next.left, next.top, next.width, next.height, TRUE);
    if (next.caption != previous.caption) ::SetWindowTextA(window, next.caption.c_str());
    if (next.axBorderStyle != previous.axBorderStyle) ApplyBorderStyle();
    if (next.enabled != previous.enabled) ::EnableWindow(window, next.enabled);
    if (next.font != previous.font) ApplyFontHandle();
    if (next.color != previous.color || next.font != previous.font) ::InvalidateRect(window, nullptr, TRUE);
    if (next.visible != previous.visible) ::ShowWindow(window, next.visible ? SW_SHOWNA : SW_HIDE);
}

void TVLServiceAdapterX::ApplyFontHandle()
{
    const vl::FontAttributes& font = m_properties.font;
    LOGFONTA description{};
    description.lfHeight = font.height;
    description.lfWeight = (font.style & vl::kFontBold) ? FW_BOLD : FW_NORMAL;
    description.lfItalic = (font.style & vl::kFontItalic) != 0;
    description.lfUnderline = (font.style & vl::kFontUnderline) != 0;
    description.lfStrikeOut = (font.style & vl::kFontStrikeOut) != 0;
    description.lfCharSet = font.charset;
    description.lfQuality = DEFAULT_QUALITY;
    font.name.copy(description.lfFaceName, LF_FACESIZE - 1);
    m_font.reset(::CreateFontIndirectA(&description));
}

void TVLServiceAdapterX::ApplyBorderStyle()
{
    HWND window = m_window.get();
    const BorderStyles border = BorderStylesOf(m_properties.axBorderStyle);
    ::SetWindowLongA(window, GWL_STYLE, (::GetWindowLongA(window, GWL_STYLE) & ~kBorderStyleMask) | border.style);
    ::SetWindowLongA(window, GWL_EXSTYLE,
                     (::GetWindowLongA(window, GWL_EXSTYLE) & ~kBorderExStyleMask) | border.exStyle);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TVLServiceAdapterX::PaintBackground(HDC dc)
{
    RECT client{};
    ::GetClientRect(m_window.get(), &client);
    vl::UniqueGdiObject brush(::CreateSolidBrush(ToColorRef(m_properties.color)));
    ::FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));
}

void TVLServiceAdapterX::SetVisible(bool value) { Update([&](vl::FormProperties& p) { p.visible = value; }); }
void TVLServiceAdapterX::SetAutoScroll(bool value) { Update([&](vl::FormProperties& p) { p.autoScroll = value; }); }
void TVLServiceAdapterX::SetAutoSize(bool value) { Update([&](vl::FormProperties& p) { p.autoSize = value; }); }
void TVLServiceAdapterX::SetAxBorderStyle(std::int8_t value)
{
    Update([&](vl::FormProperties& p) { p.axBorderStyle = value; });
}
void TVLServiceAdapterX::SetBorderWidth(LONG value) { Update([&](vl::FormProperties& p) { p.borderWidth = value; }); }
void TVLServiceAdapterX::SetCaption(const std::string& value)
{
    Update([&](vl::FormProperties& p) { p.caption = value; });
}
// A colour or font of its own ends following the container's.
void TVLServiceAdapterX::SetColor(OLE_COLOR value)
{
    Update([&](vl::FormProperties& p) {
        p.color = static_cast<std::int32_t>(value);
        p.parentColor = false;
    });
}
void TVLServiceAdapterX::SetFont(const vl::FontAttributes& value)
{
    Update([&](vl::FormProperties& p) {
        p.font = value;
        p.parentFont = false;
    });
}
void TVLServiceAdapterX::SetKeyPreview(bool value) { Update([&](vl::FormProperties& p) { p.keyPreview = value; }); }
void TVLServiceAdapterX::SetPixelsPerInch(LONG value)
{
    Update([&](vl::FormProperties& p) { p.pixelsPerInch = value; });
}
void TVLServiceAdapterX::SetPrintScale(std::int8_t value)
{
    Update([&](vl::FormProperties& p) { p.printScale = value; });
}
void TVLServiceAdapterX::SetScaled(bool value) { Update([&](vl::FormProperties& p) { p.scaled = value; }); }
void TVLServiceAdapterX::SetDropTarget(bool value) { Update([&](vl::FormProperties& p) { p.dropTarget = value; }); }
void TVLServiceAdapterX::SetHelpFile(const std::string& value)
{
    Update([&](vl::FormProperties& p) { p.helpFile = value; });
}
void TVLServiceAdapterX::SetPopupMode(std::int8_t value) { Update([&](vl::FormProperties& p) { p.popupMode = value; }); }
void TVLServiceAdapterX::SetScreenSnap(bool value) { Update([&](vl::FormProperties& p) { p.screenSnap = value; }); }
void TVLServiceAdapterX::SetSnapBuffer(LONG value) { Update([&](vl::FormProperties& p) { p.snapBuffer = value; }); }
void TVLServiceAdapterX::SetDockSite(bool value) { Update([&](vl::FormProperties& p) { p.dockSite = value; }); }
void TVLServiceAdapterX::SetDoubleBuffered(bool value)
{
    Update([&](vl::FormProperties& p) { p.doubleBuffered = value; });
}
void TVLServiceAdapterX::SetUseDockManager(bool value)
{
    Update([&](vl::FormProperties& p) { p.useDockManager = value; });
}
void TVLServiceAdapterX::SetEnabled(bool value) { Update([&](vl::FormProperties& p) { p.enabled = value; }); }
void TVLServiceAdapterX::SetAlignWithMargins(bool value)
{
    Update([&](vl::FormProperties& p) { p.alignWithMargins = value; });
}

vl::ComponentRecord TVLServiceAdapterX::SaveRecord() const
{
    return vl::SaveFormProperties(m_properties, m_defaults);
}

std::optional<std::wstring> TVLServiceAdapterX::LoadProperties(const vl::ComponentRecord& record)
{
    vl::FormProperties next = m_properties;
    if (auto problem = vl::ApplyFormProperties(record, next, AnsiFromStream)) return vl::AnsiToWide(*problem);
    ApplyProperties(next);
    return std::nullopt;
}

void TVLServiceAdapterX::SetParentColor(OLE_COLOR color)
{
    m_parentColor = color;
    if (m_properties.parentColor) ApplyProperties(m_properties);
}

void TVLServiceAdapterX::SetParentFont(const vl::FontAttributes& font)
{
    m_parentFont = font;
    if (m_properties.parentFont) ApplyProperties(m_properties);
}

void TVLServiceAdapterX::ActiveFormCreate(TVLServiceAdapterX&) {}

void TVLServiceAdapterX::m_PatchHttpWork(vl::PatchHttp&, vl::WorkMode, std::int64_t AWorkCount)
{
    m_nWorkCount = static_cast<LONG>(AWorkCount);
}

void TVLServiceAdapterX::Raise(const std::function<void()>& hook)
{
    CallHook(hook);
}

void TVLServiceAdapterX::RaiseDestroy()
{
    Raise(std::exchange(OnDestroy, nullptr));
}

void TVLServiceAdapterX::SetActive(bool active)
{
    if (active == m_active) return;
    m_active = active;
    Raise(active ? OnActivate : OnDeactivate);
}

LRESULT CALLBACK TVLServiceAdapterX::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::optional<LRESULT> handled;
    vl::CatchIgnore([&] {
        if (message == WM_NCCREATE) {
            auto* form = static_cast<TVLServiceAdapterX*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
            form->m_window.reset(window);
        }
        if (auto* form = reinterpret_cast<TVLServiceAdapterX*>(::GetWindowLongPtrA(window, GWLP_USERDATA)))
            handled = form->HandleMessage(message, wParam, lParam);
    });
    return handled ? *handled : ::DefWindowProcA(window, message, wParam, lParam);
}

// A hook may destroy the form (a page handler may release the control), so each branch
// raises its hook last and touches no member afterwards.
LRESULT TVLServiceAdapterX::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = m_window.get();
    switch (message) {
    case WM_NCDESTROY:
        // Destroyed with its parent: the form goes on without a window until it needs one.
        m_window.release();
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        m_active = false;
        m_mouseInClient = false;
        break;
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        ::BeginPaint(window, &paint);
        Raise(OnPaint);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font.get());
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_ACTIVATE:
        SetActive(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_SETFOCUS:
        SetActive(true);
        return 0;
    case WM_KILLFOCUS:
        SetActive(false);
        return 0;
    case WM_LBUTTONDOWN:
        m_clickPending = true;
        ::SetCapture(window);
        if (::GetFocus() != window) ::SetFocus(window);
        return 0;
    case WM_LBUTTONUP: {
        const bool click = std::exchange(m_clickPending, false);
        if (::GetCapture() == window) ::ReleaseCapture();
        RECT client{};
        ::GetClientRect(window, &client);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (click && ::PtInRect(&client, at)) Raise(OnClick);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        m_clickPending = false;
        Raise(OnDblClick);
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window) m_clickPending = false;
        return 0;
    case WM_MOUSEMOVE:
        if (!m_mouseInClient) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
            ::TrackMouseEvent(&track);
            m_mouseInClient = true;
            Raise(OnMouseEnter);
        }
        return 0;
    case WM_MOUSELEAVE:
        m_mouseInClient = false;
        Raise(OnMouseLeave);
        return 0;
    case WM_CHAR: {
        char key = static_cast<char>(wParam & 0xFF);
        CallHook(OnKeyPress, key);
        if (key == 0) return 0;
        return ::DefWindowProcA(window, message, static_cast<unsigned char>(key), lParam);
    }
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}
