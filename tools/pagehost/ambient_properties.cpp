#include "ambient_properties.h"

#include <olectl.h>

namespace vl::pagehost {

namespace {

// System colours in OLE_COLOR form (high bit set, colour index below).
constexpr OLE_COLOR SystemColor(int index)
{
    return 0x80000000u | static_cast<OLE_COLOR>(index);
}

void SetBool(VARIANT* value, bool on)
{
    V_VT(value) = VT_BOOL;
    V_BOOL(value) = on ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetLong(VARIANT* value, LONG number)
{
    V_VT(value) = VT_I4;
    V_I4(value) = number;
}

HRESULT SetFont(VARIANT* value)
{
    wchar_t name[] = L"Tahoma";
    FONTDESC description{};
    description.cbSizeofstruct = sizeof(description);
    description.lpstrName = name;
    description.cySize.int64 = 8 * 10000; // 8 points, in the currency type's fixed point
    description.sWeight = FW_NORMAL;
    description.sCharset = DEFAULT_CHARSET;
    IDispatch* font = nullptr;
    const HRESULT hr = ::OleCreateFontIndirect(&description, IID_IFontDisp, reinterpret_cast<void**>(&font));
    if (FAILED(hr)) return hr;
    V_VT(value) = VT_DISPATCH;
    V_DISPATCH(value) = font;
    return S_OK;
}

} // namespace

HRESULT ReadAmbientProperty(DISPID id, VARIANT* value)
{
    ::VariantInit(value);
    switch (id) {
    case DISPID_AMBIENT_USERMODE:
        SetBool(value, true);
        return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_DISPLAYASDEFAULT:
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS:
        SetBool(value, false);
        return S_OK;
    case DISPID_AMBIENT_BACKCOLOR:
        SetLong(value, static_cast<LONG>(SystemColor(COLOR_WINDOW)));
        return S_OK;
    case DISPID_AMBIENT_FORECOLOR:
        SetLong(value, static_cast<LONG>(SystemColor(COLOR_WINDOWTEXT)));
        return S_OK;
    case DISPID_AMBIENT_LOCALEID:
        SetLong(value, static_cast<LONG>(::GetUserDefaultLCID()));
        return S_OK;
    case DISPID_AMBIENT_FONT:
        return SetFont(value);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace vl::pagehost
