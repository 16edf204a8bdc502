// The control's form `TVLServiceAdapterX`: the window the control shows inside the page,
// built from the definition in the module's resources, and the owner of the HTTP client
// `m_PatchHttp`. The definition's timer `m_ReadPipeTimer` is the response pump's, which the
// service core runs on a window of its own.
//
// The window is a child of a hidden parking window (one per thread) until the container
// activates the control in place and gives it its own window; the form raises its ten
// events from the window's messages through the hooks below. Everything runs on the
// thread that created the form.
#pragma once

#include <windows.h>
#include <olectl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "support/patch_http.h"
#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_properties.h"
#include "support/win_handles.h"

class TVLServiceAdapterX {
public:
    // The form built from the RCDATA "TVLSERVICEADAPTERX" of `resourceModule`; null with
    // the reason in `error` when the definition is missing or unreadable or the window
    // cannot be made. Raises OnCreate, which then still runs ActiveFormCreate.
    static std::unique_ptr<TVLServiceAdapterX> Create(HINSTANCE resourceModule, std::wstring& error);
    // Raises OnDestroy unless RaiseDestroy did, then destroys the window.
    ~TVLServiceAdapterX();
    TVLServiceAdapterX(const TVLServiceAdapterX&) = delete;
    TVLServiceAdapterX& operator=(const TVLServiceAdapterX&) = delete;

    // Raises OnDestroy now, while its receivers are still there; once only.
    void RaiseDestroy();

    // The form's window; made again if something destroyed it (a container that was
    // destroyed while the form was its child takes the form's window with it).
    HWND Window();
    // Null parks the window again.
    void SetParentWindow(HWND parent);
    // In the parent's client coordinates.
    void SetBounds(const RECT& bounds);

    // The property values; the setters below apply them to the window.
    const vl::FormProperties& Properties() const { return m_properties; }

    bool Visible() const { return m_properties.visible; }
    void SetVisible(bool value);
    bool AutoScroll() const { return m_properties.autoScroll; }
    void SetAutoScroll(bool value);
    bool AutoSize() const { return m_properties.autoSize; }
    void SetAutoSize(bool value);
    std::int8_t AxBorderStyle() const { return m_properties.axBorderStyle; }
    void SetAxBorderStyle(std::int8_t value);
    LONG BorderWidth() const { return m_properties.borderWidth; }
    void SetBorderWidth(LONG value);
    // ANSI text.
    const std::string& Caption() const { return m_properties.caption; }
    void SetCaption(const std::string& value);
    OLE_COLOR Color() const { return static_cast<OLE_COLOR>(m_properties.color); }
    void SetColor(OLE_COLOR value);
    const vl::FontAttributes& Font() const { return m_properties.font; }
    void SetFont(const vl::FontAttributes& value);
    // The font in points at the form's PixelsPerInch.
    LONG FontSize() const { return m_properties.font.Size(m_properties.pixelsPerInch); }
    HFONT FontHandle() const { return static_cast<HFONT>(m_font.get()); }
    bool KeyPreview() const { return m_properties.keyPreview; }
    void SetKeyPreview(bool value);
    LONG PixelsPerInch() const { return m_properties.pixelsPerInch; }
    void SetPixelsPerInch(LONG value);
    std::int8_t PrintScale() const { return m_properties.printScale; }
    void SetPrintScale(std::int8_t value);
    bool Scaled() const { return m_properties.scaled; }
    void SetScaled(bool value);
    // True while the form has the focus.
    bool Active() const { return m_active; }
    bool DropTarget() const { return m_properties.dropTarget; }
    void SetDropTarget(bool value);
    const std::string& HelpFile() const { return m_properties.helpFile; }
    void SetHelpFile(const std::string& value);
    std::int8_t PopupMode() const { return m_properties.popupMode; }
    void SetPopupMode(std::int8_t value);
    bool ScreenSnap() const { return m_properties.screenSnap; }
    void SetScreenSnap(bool value);
    LONG SnapBuffer() const { return m_properties.snapBuffer; }
    void SetSnapBuffer(LONG value);
    bool DockSite() const { return m_properties.dockSite; }
    void SetDockSite(bool value);
    bool DoubleBuffered() const { return m_properties.doubleBuffered; }
    void SetDoubleBuffered(bool value);
    // The form aligns nothing: it has no child controls.
    bool AlignDisabled() const { return false; }
    bool MouseInClient() const { return m_mouseInClient; }
    LONG VisibleDockClientCount() const { return 0; }
    bool UseDockManager() const { return m_properties.useDockManager; }
    void SetUseDockManager(bool value);
    bool Enabled() const { return m_properties.enabled; }
    void SetEnabled(bool value);
    // Bounds as last set; nothing aligns the form, so they are its bounds.
    LONG ExplicitLeft() const { return m_properties.left; }
    LONG ExplicitTop() const { return m_properties.top; }
    LONG ExplicitWidth() const { return m_properties.width; }
    LONG ExplicitHeight() const { return m_properties.height; }
    bool AlignWithMargins() const { return m_properties.alignWithMargins; }
    void SetAlignWithMargins(bool value);

    LONG Left() const { return m_properties.left; }
    LONG Top() const { return m_properties.top; }
    LONG Width() const { return m_properties.width; }
    LONG Height() const { return m_properties.height; }
    bool OldCreateOrder() const { return m_properties.oldCreateOrder; }
    LONG TextHeight() const { return m_properties.textHeight; }

    // Persistence: the form's record with the properties that differ from the
    // definition's values, without child records.
    vl::ComponentRecord SaveRecord() const;
    // Sets each property the record names (what the form does not have is passed over);
    // on failure nothing changes and the message says which property failed.
    std::optional<std::wstring> LoadProperties(const vl::ComponentRecord& record);

    // Ambient properties of the container: followed while ParentColor / ParentFont is set
    // (the definition sets both Color and Font, so it is not at creation).
    void SetParentColor(OLE_COLOR color);
    void SetParentFont(const vl::FontAttributes& font);

    // Event hooks, raised from the window's messages on the form's thread. OnKeyPress
    // gets the typed 8-bit character and may change it; 0 swallows the key.
    std::function<void()> OnActivate;
    std::function<void()> OnClick;
    std::function<void()> OnCreate;
    std::function<void()> OnDblClick;
    std::function<void()> OnDestroy;
    std::function<void()> OnDeactivate;
    std::function<void(char& key)> OnKeyPress;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    std::function<void()> OnPaint;

    // The definition's handlers.
    void ActiveFormCreate(TVLServiceAdapterX& Sender);
    void m_PatchHttpWork(vl::PatchHttp& ASender, vl::WorkMode AWorkMode, std::int64_t AWorkCount);

    vl::PatchHttp m_PatchHttp;
    // Bytes received so far by the most recent transfer of m_PatchHttp.
    LONG m_nWorkCount = 0;

private:
    TVLServiceAdapterX();

    std::optional<std::wstring> ApplyDefinition(const vl::ComponentRecord& definition);
    bool CreateFormWindow(HWND parent);
    void ApplyProperties(const vl::FormProperties& next);
    template <typename Change>
    void Update(Change change);
    void ApplyFontHandle();
    void ApplyBorderStyle();
    void PaintBackground(HDC dc);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Raise(const std::function<void()>& hook);
    void SetActive(bool active);

    vl::FormProperties m_properties;
    // The values after the definition: what persistence compares against.
    vl::FormProperties m_defaults;
    vl::UniqueWindow m_window;
    vl::UniqueGdiObject m_font;
    std::optional<OLE_COLOR> m_parentColor;
    std::optional<vl::FontAttributes> m_parentFont;
    bool m_classesRegistered = false;
    bool m_active = false;
    bool m_mouseInClient = false;
    bool m_clickPending = false;
};
