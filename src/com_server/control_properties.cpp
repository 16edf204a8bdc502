// The property members of IVLServiceAdapterX, which read and write the form's
// properties, and the handling of the container's ambient properties.
#include "com_server/service_adapter_control.h"

#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <type_traits>

#include "com_server/exception_boundary.h"
#include "com_server/service_adapter_form.h"
#include "support/ansi_text.h"
#include "support/win_handles.h"

using vl::ComPtr;

namespace {

// How a property type crosses the automation boundary: Out turns the form's value into
// the member's, In the member's into the form's. LONG and OLE_COLOR pass as they are.
template <typename T>
struct Automation {
    static T Out(T value) { return value; }
    static T In(T value) { return value; }
};

template <>
struct Automation<VARIANT_BOOL> {
    static VARIANT_BOOL Out(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
    static bool In(VARIANT_BOOL value) { return value != VARIANT_FALSE; }
};

// The form holds the enumerations in 8 bits: sign-extended on the way out, the low
// 8 bits on the way in, whatever range the enumeration has.
template <typename T>
    requires std::is_enum_v<T>
struct Automation<T> {
    static T Out(std::int8_t value) { return static_cast<T>(value); }
    static std::int8_t In(T value) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(value & 0xFF)); }
};

// The form's texts are ANSI; the caller owns the string handed out.
template <>
struct Automation<BSTR> {
    static BSTR Out(const std::string& text)
    {
        const std::wstring wide = vl::AnsiToWide(text);
        BSTR value = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (!value) throw std::bad_alloc();
        return value;
    }
    static std::string In(BSTR value) { return vl::WideToAnsi(vl::BstrText(value)); }
};

template <typename T, typename Read>
HRESULT ReadProperty(T* value, Read read)
{
    if (!value) return E_POINTER;
    *value = T{};
    return vl::CatchReturnErrorInfo(IID_IVLServiceAdapterX, [&] {
        *value = Automation<T>::Out(read());
        return S_OK;
    });
}

// Font sizes: the form describes its font by a pixel height at its PixelsPerInch (negative
// for the character height), a font object by points as a currency value (points times
// 10000). A resolution that is no resolution (a page may set PixelsPerInch to 0) counts
// as the screen's usual 96.
constexpr LONG kUsualPixelsPerInch = 96;
constexpr double kSizeUnitsPerInch = 72.0 * 10000.0;

double Resolution(LONG pixelsPerInch)
{
    return pixelsPerInch > 0 ? pixelsPerInch : kUsualPixelsPerInch;
}

LONGLONG FontObjectSize(std::int32_t height, LONG pixelsPerInch)
{
    return std::llround(std::fabs(static_cast<double>(height)) * kSizeUnitsPerInch / Resolution(pixelsPerInch));
}

std::int32_t FormFontHeight(LONGLONG size, LONG pixelsPerInch)
{
    const double pixels = std::fabs(static_cast<double>(size)) * Resolution(pixelsPerInch) / kSizeUnitsPerInch;
    return -static_cast<std::int32_t>(
        std::llround(std::min(pixels, static_cast<double>(std::numeric_limits<std::int32_t>::max()))));
}

// A new font object with the attributes of `font`; the colour is not one of them.
HRESULT NewFontObject(const vl::FontAttributes& font, LONG pixelsPerInch, IFontDisp** out)
{
    std::wstring name = vl::AnsiToWide(font.name);
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = name.data();
    description.cySize.int64 = FontObjectSize(font.height, pixelsPerInch);
    description.sWeight = (font.style & vl::kFontBold) ? FW_BOLD : FW_NORMAL;
    description.sCharset = font.charset;
    description.fItalic = (font.style & vl::kFontItalic) != 0;
    description.fUnderline = (font.style & vl::kFontUnderline) != 0;
    description.fStrikethrough = (font.style & vl::kFontStrikeOut) != 0;
    return ::OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(out));
}

// Copies a font object's name, size, style and character set into `font`; its colour
// stays, a font object has none.
HRESULT CopyFontObject(IUnknown& object, LONG pixelsPerInch, vl::FontAttributes& font)
{
    ComPtr<IFont> source;
    HRESULT hr = object.QueryInterface(IID_IFont, source.put_void());
    if (FAILED(hr)) return hr;
    vl::UniqueBstr name;
    CY size{};
    BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikeOut = FALSE;
    SHORT charset = 0;
    if (FAILED(hr = source->get_Name(name.put())) || FAILED(hr = source->get_Size(&size)) ||
        FAILED(hr = source->get_Bold(&bold)) || FAILED(hr = source->get_Italic(&italic)) ||
        FAILED(hr = source->get_Underline(&underline)) || FAILED(hr = source->get_Strikethrough(&strikeOut)) ||
        FAILED(hr = source->get_Charset(&charset)))
        return hr;
    font.name = vl::WideToAnsi(name.str());
    font.height = FormFontHeight(size.int64, pixelsPerInch);
    font.charset = static_cast<std::uint8_t>(charset);
    font.style = static_cast<std::uint8_t>((bold ? vl::kFontBold : 0) | (italic ? vl::kFontItalic : 0) |
                                           (underline ? vl::kFontUnderline : 0) |
                                           (strikeOut ? vl::kFontStrikeOut : 0));
    return S_OK;
}

// Hands each IPropertyNotifySink connected to `container` now to `visit`, in connection
// order, until it answers false. Connections that are no such sink are passed over.
template <typename Visit>
void ForEachPropertySink(IConnectionPointContainer& container, Visit visit)
{
    ComPtr<IConnectionPoint> point;
    if (FAILED(container.FindConnectionPoint(IID_IPropertyNotifySink, point.put()))) return;
    ComPtr<IEnumConnections> connections;
    if (FAILED(point->EnumConnections(connections.put())) || !connections) return;
    CONNECTDATA connection{};
    while (connections->Next(1, &connection, nullptr) == S_OK) {
        const auto held = ComPtr<IUnknown>::Adopt(connection.pUnk);
        ComPtr<IPropertyNotifySink> sink;
        if (!held || FAILED(held->QueryInterface(IID_IPropertyNotifySink, sink.put_void())) || !sink) continue;
        if (!visit(*sink.get())) return;
    }
}

// Ambient colours come as VT_I4 (system colours are negative then) or VT_UI4.
HRESULT ColorOf(VARIANT& value, OLE_COLOR& color)
{
    if (V_VT(&value) == VT_UI4) {
        color = V_UI4(&value);
        return S_OK;
    }
    const HRESULT hr = ::VariantChangeType(&value, &value, 0, VT_I4);
    if (FAILED(hr)) return hr;
    color = static_cast<OLE_COLOR>(V_I4(&value));
    return S_OK;
}

} // namespace

template <typename Store>
HRESULT TVLServiceAdapterXControl::WriteProperty(DISPID dispid, Store&& store)
{
    return vl::CatchReturnErrorInfo(IID_IVLServiceAdapterX, [&] {
        // A sink may let go of the control's last reference while it is asked.
        const ComPtr<IUnknown> keepAlive(ControllingUnknown());
        IConnectionPointContainer& container = *this;
        bool vetoed = false;
        ForEachPropertySink(container, [&](IPropertyNotifySink& sink) {
            vetoed = sink.OnRequestEdit(dispid) == S_FALSE;
            return !vetoed;
        });
        if (vetoed) return S_FALSE;
        const HRESULT hr = store();
        if (FAILED(hr)) return hr;
        ForEachPropertySink(container, [&](IPropertyNotifySink& sink) {
            sink.OnChanged(dispid);
            return true;
        });
        return S_OK;
    });
}

#define VL_PUT_RW(dispid, Name, T)                                       \
    HRESULT TVLServiceAdapterXControl::put_##Name(T Value)               \
    {                                                                    \
        return WriteProperty(dispid, [&] {                               \
            m_form->Set##Name(Automation<T>::In(Value));                 \
            return S_OK;                                                 \
        });                                                              \
    }
#define VL_PUT_RO(dispid, Name, T)
#define VL_PROPERTY(dispid, Name, T, access, hidden)                     \
    HRESULT TVLServiceAdapterXControl::get_##Name(T* Value)              \
    {                                                                    \
        return ReadProperty(Value, [&] { return m_form->Name(); });      \
    }                                                                    \
    VL_PUT_##access(dispid, Name, T)
// A font object handed in is read, not kept: the form's font takes its attributes. The
// one handed out is a new object each time, and changing it changes nothing here.
#define VL_FONT_PROPERTY(dispid, Name)                                                   \
    HRESULT TVLServiceAdapterXControl::get_##Name(IFontDisp** Value)                     \
    {                                                                                    \
        if (!Value) return E_POINTER;                                                    \
        *Value = nullptr;                                                                \
        return vl::CatchReturnErrorInfo(IID_IVLServiceAdapterX, [&] {                     \
            return NewFontObject(m_form->Name(), m_form->PixelsPerInch(), Value);        \
        });                                                                              \
    }                                                                                    \
    HRESULT TVLServiceAdapterXControl::put_##Name(IFontDisp* Value)                      \
    {                                                                                    \
        if (!Value) return E_POINTER;                                                    \
        return WriteProperty(dispid, [&] {                                               \
            vl::FontAttributes font = m_form->Name();                                    \
            const HRESULT hr = CopyFontObject(*Value, m_form->PixelsPerInch(), font);    \
            if (SUCCEEDED(hr)) m_form->Set##Name(font);                                  \
            return hr;                                                                   \
        });                                                                              \
    }                                                                                    \
    HRESULT TVLServiceAdapterXControl::putref_##Name(IFontDisp** Value)                  \
    {                                                                                    \
        if (!Value) return E_POINTER;                                                    \
        return put_##Name(*Value);                                                       \
    }
#define VL_METHOD(dispid, Name, params)
VL_MEMBERS
#undef VL_PROPERTY
#undef VL_FONT_PROPERTY
#undef VL_METHOD
#undef VL_PUT_RW
#undef VL_PUT_RO

// Called for every IOleControl::OnAmbientPropertyChange (DISPID_UNKNOWN: all of them).
// The form follows what it gets only while its ParentColor / ParentFont is set.
HRESULT TVLServiceAdapterXControl::ApplyAmbientProperties(DISPID dispid)
{
    if (!m_form || !m_clientSite) return S_OK;
    const auto ambientColor = [&](DISPID which, OLE_COLOR& color) {
        vl::UniqueVariant value;
        const HRESULT hr = GetAmbientProperty(which, value.get());
        return FAILED(hr) ? hr : ColorOf(*value.get(), color);
    };
    const bool all = dispid == DISPID_UNKNOWN;

    if (all || dispid == DISPID_AMBIENT_BACKCOLOR) {
        OLE_COLOR color = 0;
        if (const HRESULT hr = ambientColor(DISPID_AMBIENT_BACKCOLOR, color); FAILED(hr)) return hr;
        m_form->SetParentColor(color);
    }

    if (all || dispid == DISPID_AMBIENT_FORECOLOR || dispid == DISPID_AMBIENT_FONT) {
        OLE_COLOR color = 0;
        if (const HRESULT hr = ambientColor(DISPID_AMBIENT_FORECOLOR, color); FAILED(hr)) return hr;
        vl::UniqueVariant ambientFont;
        HRESULT hr = GetAmbientProperty(DISPID_AMBIENT_FONT, ambientFont.get());
        if (FAILED(hr)) return hr;
        if (FAILED(hr = ::VariantChangeType(ambientFont.get(), ambientFont.get(), 0, VT_UNKNOWN))) return hr;
        if (!V_UNKNOWN(ambientFont.get())) return DISP_E_TYPEMISMATCH;
        vl::FontAttributes font = m_form->Font();
        if (FAILED(hr = CopyFontObject(*V_UNKNOWN(ambientFont.get()), m_form->PixelsPerInch(), font))) return hr;
        font.color = static_cast<std::int32_t>(color);
        m_form->SetParentFont(font);
    }
    return S_OK;
}
