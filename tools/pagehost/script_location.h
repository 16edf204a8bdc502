// The page's address as script reads it: location.href, and the location itself as text.
#pragma once

#include <string>

#include "script_members.h"

namespace vl::pagehost {

class LocationObject final : public ComObjectImpl<LocationObject, ScriptMembers<LocationObject>> {
public:
    using Interfaces = InterfaceList<Interface<IDispatch>>;

    enum MemberId : DISPID { kValue = DISPID_VALUE, kHref = 1 };
    static constexpr ScriptMember kMembers[] = {
        {L"toString", kValue, DISPATCH_METHOD | DISPATCH_PROPERTYGET},
        {L"href", kHref, DISPATCH_PROPERTYGET},
    };

    explicit LocationObject(std::wstring url) : m_url(std::move(url)) {}

    HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError);

private:
    const std::wstring m_url;
};

} // namespace vl::pagehost
