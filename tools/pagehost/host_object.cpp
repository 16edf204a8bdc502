#include "host_object.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "console_output.h"
#include "dispatch_arguments.h"
#include "support/win_handles.h"

namespace vl::pagehost {

namespace {

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

HRESULT HostObject::Call(DISPID id, WORD, const DISPPARAMS& params, VARIANT* result, UINT* argError)
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
        return kPageEnded;
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
