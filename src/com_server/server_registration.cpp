#include "com_server/server_registration.h"

#include <oleauto.h>
#include <oleidl.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "com_server/Vlserviceadapter_tlb.h"
#include "com_server/exception_boundary.h"
#include "com_server/server_module.h"
#include "support/ansi_text.h"
#include "support/win_handles.h"

namespace vl {
namespace {

constexpr char kProgId[] = "VLServiceAdapter.VLServiceAdapterX";
// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST
constexpr char kMiscStatus[] = "131473";
constexpr int kToolboxBitmap = 1;

struct Verb {
    int number;
    std::wstring_view name;
    int menuFlags;
    int attributes;
};
constexpr Verb kVerbs[] = {{0, L"Properties", 0, OLEVERBATTRIB_ONCONTAINERMENU}};

std::string GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return WideToAnsi(text);
}

// One REG_SZ value below HKEY_CLASSES_ROOT; a failed write is not reported.
void WriteValue(const std::string& key, const char* name, const std::string& data)
{
    UniqueRegKey handle;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, handle.put(), nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(handle.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
}

// What registration takes from the type library.
struct LibraryFacts {
    ComPtr<ITypeLib> library;
    std::string classDescription;
    GUID libid;
    WORD major;
    WORD minor;
};

HRESULT ReadLibrary(const std::string& path, LibraryFacts& facts)
{
    ComPtr<ITypeLib>& library = facts.library;
    HRESULT hr = ::LoadTypeLib(AnsiToWide(path).c_str(), library.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> coclass;
    hr = library->GetTypeInfoOfGuid(CLSID_VLServiceAdapterX, coclass.put());
    if (FAILED(hr)) return hr;
    UniqueBstr help;
    hr = coclass->GetDocumentation(MEMBERID_NIL, nullptr, help.put(), nullptr, nullptr);
    if (FAILED(hr)) return hr;
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    facts.classDescription = WideToAnsi(help.str());
    facts.libid = attributes->guid;
    facts.major = attributes->wMajorVerNum;
    facts.minor = attributes->wMinorVerNum;
    library->ReleaseTLibAttr(attributes);
    return S_OK;
}

HRESULT RegisterControl(const std::string& path)
{
    const std::string classKey = "CLSID\\" + GuidText(CLSID_VLServiceAdapterX);
    LibraryFacts facts{};
    HRESULT hr = ReadLibrary(path, facts);
    if (SUCCEEDED(hr)) {
        WriteValue(classKey, nullptr, facts.classDescription);
        WriteValue(classKey + "\\InprocServer32", nullptr, path);
        WriteValue(classKey + "\\InprocServer32", "ThreadingModel", "Apartment");
        WriteValue(kProgId, nullptr, facts.classDescription);
        WriteValue(std::string(kProgId) + "\\CLSID", nullptr, GuidText(CLSID_VLServiceAdapterX));
        WriteValue(classKey + "\\ProgID", nullptr, kProgId);
        WriteValue(classKey + "\\Version", nullptr, std::to_string(facts.major) + "." + std::to_string(facts.minor));
        WriteValue(classKey + "\\Typelib", nullptr, GuidText(facts.libid));
        std::wstring widePath = AnsiToWide(path);
        hr = ::RegisterTypeLib(facts.library.get(), widePath.data(), nullptr);
    }
    // The control's own entries are written even when the library could not be.
    WriteValue(classKey + "\\MiscStatus", nullptr, "0");
    WriteValue(classKey + "\\MiscStatus\\1", nullptr, kMiscStatus);
    WriteValue(classKey + "\\ToolboxBitmap32", nullptr, path + "," + std::to_string(kToolboxBitmap));
    WriteValue(classKey + "\\Control", nullptr, "");
    WriteValue(classKey + "\\Verb", nullptr, "");
    for (const Verb& verb : kVerbs) {
        WriteValue(classKey + "\\Verb\\" + std::to_string(verb.number), nullptr,
                   WideToAnsi(verb.name) + "," + std::to_string(verb.menuFlags) + "," + std::to_string(verb.attributes));
    }
    return hr;
}

// On 64-bit Windows each bitness has a class key of its own (the registry's 32-bit and
// 64-bit views) but both share the ProgID key: true when the module of the other bitness
// still registers the class. Never on 32-bit Windows, which has one view.
bool OtherViewRegistersClass(const std::string& classKey)
{
#ifdef _WIN64
    const REGSAM otherView = KEY_WOW64_32KEY;
#else
    const REGSAM otherView = KEY_WOW64_64KEY;
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return false;
#endif
    UniqueRegKey key;
    return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ | otherView, key.put()) == ERROR_SUCCESS;
}

void UnregisterControl(const std::string& path)
{
    LibraryFacts facts{};
    if (FAILED(ReadLibrary(path, facts))) return;
    const std::string classKey = "CLSID\\" + GuidText(CLSID_VLServiceAdapterX);
    DeleteKeyTree(HKEY_CLASSES_ROOT, classKey);
    // The other bitness's module still needs the shared ProgID to be created by name.
    if (!OtherViewRegistersClass(classKey)) DeleteKeyTree(HKEY_CLASSES_ROOT, kProgId);
}

// The library registered for the module as a whole, with its help directory.
HRESULT RegisterModuleTypeLib(HINSTANCE module)
{
    wchar_t name[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, name, MAX_PATH);
    std::wstring path(name, std::min<DWORD>(length, MAX_PATH));
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLib(path.c_str(), library.put());
    if (FAILED(hr)) {
        const std::size_t dot = path.rfind(L'.');
        path = (dot == std::wstring::npos ? path : path.substr(0, dot)) + L".tlb";
        hr = ::LoadTypeLib(path.c_str(), library.put());
        if (FAILED(hr)) return hr;
    }
    const std::size_t separator = path.find_last_of(L"\\/:");
    std::wstring helpDir = separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
    return ::RegisterTypeLib(library.get(), path.data(), helpDir.data());
}

} // namespace

std::string RegistrationPath(HINSTANCE module)
{
    char name[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(module, name, MAX_PATH);
    if (!std::strpbrk(name, " \t\n\v\f\r")) return name;
    char shortName[MAX_PATH + 1] = {};
    const DWORD length = ::GetShortPathNameA(name, shortName, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? shortName : name;
}

HRESULT UpdateControlRegistry(bool doRegister)
{
    return CatchReturnErrorInfo(GUID_NULL, [&] {
        const std::string path = RegistrationPath(Module().Instance());
        if (doRegister) return RegisterControl(path);
        UnregisterControl(path);
        return S_OK;
    });
}

HRESULT RegisterServer(std::span<ClassObjectEntry> table)
{
    for (const ClassObjectEntry& entry : table) {
        const HRESULT hr = entry.updateRegistry(true);
        if (FAILED(hr)) return hr;
    }
    return CatchReturnErrorInfo(GUID_NULL, [] { return RegisterModuleTypeLib(Module().Instance()); });
}

HRESULT UnregisterServer(std::span<ClassObjectEntry> table)
{
    for (const ClassObjectEntry& entry : table) entry.updateRegistry(false);
    return S_OK;
}

LSTATUS DeleteKeyTree(HKEY parent, const std::string& name)
{
    UniqueRegKey key;
    LSTATUS status = ::RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (status != ERROR_SUCCESS) return status;
    for (;;) {
        char child[256] = {};
        DWORD length = sizeof child;
        status = ::RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return status;
        status = DeleteKeyTree(key.get(), child);
        if (status != ERROR_SUCCESS) return status;
    }
    key.reset();
    return ::RegDeleteKeyA(parent, name.c_str());
}

} // namespace vl
