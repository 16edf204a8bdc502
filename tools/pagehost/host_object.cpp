#include "host_object.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "com_new.h"
#include "console_output.h"
#include "support/win_handles.h"

namespace vl::pagehost {

namespace {

enum MemberId : DISPID {
    kPrint = 1, kSleep, kPump, kExit, kUrl, kEnv, kWindow, kControlWindow, kRemoveControl, kControlModule, kNow
};

struct Member {
    std::wstring_view name;
    DISPID id;
    WORD kind; // DISPATCH_METHOD or DISPATCH_PROPERTYGET
    UINT minArgs;
    UINT maxArgs;
};

constexpr Member kMembers[] = {
    {L"print", kPrint, DISPATCH_METHOD, 0, 1},
    {L"sleep", kSleep, DISPATCH_METHOD, 0, 1},
    {L"pump", kPump, DISPATCH_METHOD, 0, 1},
    {L"exit", kExit, DISPATCH_METHOD, 0, 1},
    {L"url", kUrl, DISPATCH_PROPERTYGET, 0, 0},
    {L"env", kEnv, DISPATCH_METHOD, 1, 1},
    {L"window", kWindow, DISPATCH_PROPERTYGET, 0, 0},
    {L"controlWindow", kControlWindow, DISPATCH_PROPERTYGET, 0, 0},
    {L"removeControl", kRemoveControl, DISPATCH_METHOD, 0, 0},
    {L"controlModule", kControlModule, DISPATCH_PROPERTYGET, 0, 0},
    {L"now", kNow, DISPATCH_METHOD, 0, 0},
};

const Member* FindMember(DISPID id)
{
    const auto it = std::find_if(std::begin(kMembers), std::end(kMembers), [&](const Member& m) { return m.id == id; });
    return it == std::end(kMembers) ? nullptr : it;
}

const Member* FindMember(const wchar_t* name)
{
    const auto it = std::find_if(std::begin(kMembers), std::end(kMembers), [&](const Member& m) {
        return ::CompareStringOrdinal(name, -1, m.name.data(), static_cast<int>(m.name.size()), TRUE) == CSTR_EQUAL;
    });
    return it == std::end(kMembers) ? nullptr : it;
}

// Argument `index`, counted from the left (the array holds them from the right), by value.
HRESULT Argument(const DISPPARAMS& params, UINT index, UniqueVariant& value, UINT* argError)
{
    const UINT position = params.cArgs - 1 - index;
    const HRESULT hr = ::VariantCopyInd(value.put(), &params.rgvarg[position]);
    if (FAILED(hr) && argError) *argError = position;
    return hr;
}

// A script value as the script itself would print it.
HRESULT ArgumentText(const DISPPARAMS& params, UINT index, std::wstring& text, UINT* argError)
{
    UniqueVariant value;
    HRESULT hr = Argument(params, index, value, argError);
    if (FAILED(hr)) return hr;
    switch (V_VT(value.get())) {
    case VT_EMPTY:
        text = L"undefined";
        return S_OK;
    case VT_NULL:
        text = L"null";
        return S_OK;
    case VT_BOOL:
        text = V_BOOL(value.get()) ? L"true" : L"false";
        return S_OK;
    default:
        break;
    }
    hr = ::VariantChangeTypeEx(value.get(), value.get(), LOCALE_INVARIANT, 0, VT_BSTR);
    if (FAILED(hr)) {
        if (argError) *argError = params.cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    text = BstrText(V_BSTR(value.get()));
    return S_OK;
}

// A number argument; `fallback` when the script left it out.
HRESULT ArgumentNumber(const DISPPARAMS& params, UINT index, LONG fallback, LONG& number, UINT* argError)
{
    number = fallback;
    if (index >= params.cArgs) return S_OK;
    UniqueVariant value;
    HRESULT hr = Argument(params, index, value, argError);
    if (SUCCEEDED(hr)) hr = ::VariantChangeTypeEx(value.get(), value.get(), LOCALE_INVARIANT, 0, VT_I4);
    if (FAILED(hr)) {
        if (argError) *argError = params.cArgs - 1 - index;
        return DISP_E_TYPEMISMATCH;
    }
    number = V_I4(value.get());
    return S_OK;
}

HRESULT SetText(VARIANT* result, std::wstring_view text)
{
    if (!result) return S_OK;
    V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(result)) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    return S_OK;
}

// Milliseconds of the performance counter: the page's clock for timing calls, finer than
// the script's Date.
void SetNow(VARIANT* result)
{
    if (!result) return;
    LARGE_INTEGER frequency{}, count{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&count);
    V_VT(result) = VT_R8;
    V_R8(result) = static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void SetNumber(VARIANT* result, LONG number)
{
    if (!result) return;
    V_VT(result) = VT_I4;
    V_I4(result) = number;
}

HRESULT SetEnvironmentValue(VARIANT* result, const std::wstring& name)
{
    std::wstring value(256, L'\0');
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD size = ::GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (size == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            if (result) V_VT(result) = VT_NULL;
            return S_OK;
        }
        if (size < value.size()) {
            value.resize(size);
            return SetText(result, value);
        }
        value.resize(size);
    }
}

} // namespace

HostObject::HostObject(HostServices& services, std::wstring url) : m_services(&services), m_url(std::move(url)) {}

STDMETHODIMP HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0) return E_INVALIDARG;
    // Only the member has a name here; named arguments are not taken.
    const Member* member = names[0] ? FindMember(names[0]) : nullptr;
    ids[0] = member ? member->id : DISPID_UNKNOWN;
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return member && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

STDMETHODIMP HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT* argError)
{
    const Member* member = FindMember(id);
    if (!member || !(flags & member->kind)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs < member->minArgs || params->cArgs > member->maxArgs) return DISP_E_BADPARAMCOUNT;
    if (result) ::VariantInit(result);
    return Guarded([&] { return Call(id, *params, result, argError); });
}

HRESULT HostObject::Call(DISPID id, const DISPPARAMS& params, VARIANT* result, UINT* argError)
{
    HRESULT hr = S_OK;
    switch (id) {
    case kPrint: {
        std::wstring text;
        if (params.cArgs > 0) hr = ArgumentText(params, 0, text, argError);
        if (SUCCEEDED(hr)) PrintLine(text);
        return hr;
    }
    case kSleep:
    case kPump: {
        LONG ms = 0;
        hr = ArgumentNumber(params, 0, 0, ms, argError);
        if (FAILED(hr)) return hr;
        if (!m_services) return E_UNEXPECTED;
        m_services->Wait(static_cast<DWORD>(std::max<LONG>(ms, 0)));
        return S_OK;
    }
    case kExit: {
        LONG code = 0;
        hr = ArgumentNumber(params, 0, 0, code, argError);
        if (FAILED(hr)) return hr;
        if (!m_services) return E_UNEXPECTED;
        m_services->Exit(code);
        return S_OK;
    }
    case kUrl:
        return SetText(result, m_url);
    case kEnv: {
        std::wstring name;
        hr = ArgumentText(params, 0, name, argError);
        return SUCCEEDED(hr) ? SetEnvironmentValue(result, name) : hr;
    }
    case kWindow:
    case kControlWindow:
        if (!m_services) return E_UNEXPECTED;
        SetNumber(result, HandleToLong(id == kWindow ? m_services->Window() : m_services->ControlWindow()));
        return S_OK;
    case kRemoveControl:
        if (!m_services) return E_UNEXPECTED;
        m_services->RemoveControl();
        return S_OK;
    case kControlModule:
        if (!m_services) return E_UNEXPECTED;
        return SetText(result, m_services->ControlModule());
    case kNow:
        SetNow(result);
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace vl::pagehost
