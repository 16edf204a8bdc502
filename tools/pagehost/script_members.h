// The IDispatch of the host's own script objects (host, window, document, location): a
// table of named members, each a method or a property, and the checks every call gets
// before the object's own Call runs. A derived class supplies
//     static constexpr ScriptMember kMembers[] = {...};
//     HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, UINT* argError);
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "com_server/com_object.h"
#include "com_server/exception_boundary.h"
#include "typeless_dispatch.h"

namespace vl::pagehost {

// What a member takes: DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT (for
// objects also DISPATCH_PROPERTYPUTREF), and how many arguments a method call has.
struct ScriptMember {
    std::wstring_view name;
    DISPID id;
    WORD kinds;
    UINT minArgs = 0;
    UINT maxArgs = 0;
};

inline constexpr WORD kScriptProperty = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;

template <typename Derived>
class ScriptMembers : public TypelessDispatch<> {
public:
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        // Only the member has a name here; named arguments are not taken. Names compare
        // in any letter case, as VBScript writes them.
        const ScriptMember* member = names[0] ? Find([&](const ScriptMember& m) {
            return ::CompareStringOrdinal(names[0], -1, m.name.data(), static_cast<int>(m.name.size()), TRUE) ==
                   CSTR_EQUAL;
        })
                                              : nullptr;
        ids[0] = member ? member->id : DISPID_UNKNOWN;
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return member && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* argError) override
    {
        const ScriptMember* member = Find([&](const ScriptMember& m) { return m.id == id; });
        // A property read as a call (VBScript's "x.href()") is a read.
        if (member && (flags & DISPATCH_METHOD) && !(member->kinds & DISPATCH_METHOD) &&
            (member->kinds & DISPATCH_PROPERTYGET))
            flags = DISPATCH_PROPERTYGET;
        if (!member || !(flags & member->kinds)) return DISP_E_MEMBERNOTFOUND;
        if (!params) return E_INVALIDARG;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        if (put) {
            if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
                return DISP_E_BADPARAMCOUNT;
        } else {
            if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
            if (params->cArgs < member->minArgs || params->cArgs > member->maxArgs) return DISP_E_BADPARAMCOUNT;
        }
        if (result) ::VariantInit(result);
        return CatchReturnHresult(
            [&] { return static_cast<Derived*>(this)->Call(id, put ? WORD{DISPATCH_PROPERTYPUT} : flags, *params, result, argError); });
    }

private:
    template <typename Predicate>
    static const ScriptMember* Find(Predicate predicate)
    {
        const auto& members = Derived::kMembers;
        const auto it = std::find_if(std::begin(members), std::end(members), predicate);
        return it == std::end(members) ? nullptr : &*it;
    }
};

} // namespace vl::pagehost
