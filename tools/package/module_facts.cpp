// module_facts.exe <module>: what a page's object tag and the code-download INF say about
// a control module, read from the module itself rather than repeated by hand:
//   clsid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}   the one class of its embedded type library
//   version a.b.c.d                                 its fixed file version
//   maker_signature yes|no                          whether the control's own publisher check
//                                                   accepts its signature
// Exit code 0; 1 when the class or the version cannot be read; 2 for a bad command line.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "support/ansi_text.h"
#include "support/publisher_check.h"
#include "support/widget_utility.h"
#include "support/win_handles.h"

namespace {

// The class identifier of the module's only coclass, in the registry's spelling; empty
// when the type library cannot be read or describes no class or more than one.
std::wstring ClassIdentifier(const std::wstring& module)
{
    vl::ComPtr<ITypeLib> library;
    if (FAILED(::LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.put()))) return {};
    std::wstring found;
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        TYPEKIND kind = TKIND_MAX;
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        vl::ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (!found.empty() || FAILED(library->GetTypeInfo(i, info.put())) || FAILED(info->GetTypeAttr(&attributes)))
            return {};
        wchar_t text[40] = {};
        ::StringFromGUID2(attributes->guid, text, 40);
        info->ReleaseTypeAttr(attributes);
        found = text;
    }
    return found;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: module_facts.exe <module>\n", stderr);
        return 2;
    }
    const std::wstring module = argv[1];
    const std::wstring clsid = ClassIdentifier(module);
    const std::wstring version = vl::CVLWidgetUtility(L"module_facts").GetFileVersion(module);
    if (clsid.empty() || version.empty()) {
        std::fprintf(stderr, "module_facts: %s has no single class or no file version\n",
                     vl::WideToAnsi(module).c_str());
        return 1;
    }
    const vl::UniqueHandle file(
        ::CreateFileW(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::printf("clsid %s\nversion %s\nmaker_signature %s\n", vl::WideToAnsi(clsid).c_str(),
                vl::WideToAnsi(version).c_str(), vl::VerifyPublisherSignature(file.get(), module) ? "yes" : "no");
    return 0;
}
