#include "browser_recorder.h"

#include <shellapi.h>

#include <string>
#include <string_view>

#include "console_output.h"
#include "object_module.h"
#include "support/portable/exception_boundary.h"
#include "support/win_handles.h"

namespace vl::pagehost {

namespace {

using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

ShellExecuteExFunction ShellCall()
{
    static const auto call =
        reinterpret_cast<ShellExecuteExFunction>(::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), "ShellExecuteExW"));
    return call;
}

bool IsBrowser(std::wstring_view file)
{
    while (!file.empty() && file.back() == L'"') file.remove_suffix(1);
    constexpr std::wstring_view kBrowser = L"iexplore.exe";
    if (file.size() < kBrowser.size()) return false;
    const std::wstring_view name = file.substr(file.size() - kBrowser.size());
    return ::CompareStringOrdinal(name.data(), static_cast<int>(name.size()), kBrowser.data(),
                                  static_cast<int>(kBrowser.size()), TRUE) == CSTR_EQUAL &&
           (file.size() == kBrowser.size() || file[file.size() - kBrowser.size() - 1] == L'\\' ||
            file[file.size() - kBrowser.size() - 1] == L'"');
}

BOOL WINAPI RecordingShellExecuteEx(SHELLEXECUTEINFOW* info)
{
    if (!info || !info->lpFile || !IsBrowser(info->lpFile)) return ShellCall()(info);
    vl::CatchIgnore([&] {
        std::wstring line = L"pagehost: the control asked the shell to open ";
        line += info->lpFile;
        if (info->lpParameters && *info->lpParameters) line += std::wstring(L" ") + info->lpParameters;
        line += std::wstring(L" (verb ") + (info->lpVerb && *info->lpVerb ? info->lpVerb : L"none") +
                (info->nShow == SW_HIDE ? L", hidden)" : L", shown)");
        PrintLine(line, OutputStream::Error);
    }); // not printed when it throws; the start is still kept from happening
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33)); // above 32: started
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = nullptr;
    return TRUE;
}

// The import address table entry of `module` that holds `function`, or null.
ULONG_PTR* ImportEntryOf(HMODULE module, ULONG_PTR function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (headers->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        for (auto* entry = reinterpret_cast<ULONG_PTR*>(base + library->FirstThunk); *entry != 0; ++entry)
            if (*entry == function) return entry;
    }
    return nullptr;
}

} // namespace

bool RecordBrowserStarts(IUnknown* object)
{
    const HMODULE module = ModuleServing(object);
    if (!ShellCall() || !module) return false;
    const auto recorder = reinterpret_cast<ULONG_PTR>(&RecordingShellExecuteEx);
    if (ImportEntryOf(module, recorder)) return true;
    ULONG_PTR* entry = ImportEntryOf(module, reinterpret_cast<ULONG_PTR>(ShellCall()));
    if (!entry) return false;
    DWORD protection = 0;
    if (!::VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection)) return false;
    *entry = recorder;
    ::VirtualProtect(entry, sizeof *entry, protection, &protection);
    return true;
}

bool RecordBrowserStarts(const std::wstring& progid)
{
    CLSID clsid{};
    ComPtr<IClassFactory> factory;
    // The factory's code lies in the class's module, which stays loaded for the page.
    return SUCCEEDED(::CLSIDFromProgID(progid.c_str(), &clsid)) &&
           SUCCEEDED(::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void())) &&
           RecordBrowserStarts(factory.get());
}

} // namespace vl::pagehost
