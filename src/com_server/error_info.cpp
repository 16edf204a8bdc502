#include "com_server/error_info.h"

#include <oleauto.h>

#include <exception>
#include <string>

#include "com_server/Vlserviceadapter_tlb.h"
#include "support/ansi_text.h"
#include "support/win_handles.h"

namespace vl {

HRESULT ReportException(REFIID iid, std::wstring_view description)
{
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(::CreateErrorInfo(create.put()))) {
        const std::wstring text(description);
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        UniqueCoTaskText progId;
        if (SUCCEEDED(::ProgIDFromCLSID(CLSID_VLServiceAdapterX, progId.put()))) create->SetSource(progId.get());
        create->SetGUID(iid);
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(info))) ::SetErrorInfo(0, info.get());
    }
    return DISP_E_EXCEPTION;
}

HRESULT ReportCurrentException(REFIID iid)
{
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            return ReportException(iid, AnsiToWide(e.what()));
        } catch (...) {
            return ReportException(iid, {});
        }
    } catch (...) {
        // Not even the report could be made (out of memory converting the message).
        return DISP_E_EXCEPTION;
    }
}

} // namespace vl
