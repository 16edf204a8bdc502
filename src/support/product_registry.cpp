#include "support/product_registry.h"

#include <windows.h>

#include "support/win_handles.h"

namespace vl {

namespace {

UniqueRegKey OpenProductKey(HKEY root, REGSAM access)
{
    UniqueRegKey key;
    if (::RegOpenKeyExW(root, kProductKeyPath, 0, access, key.put()) != ERROR_SUCCESS) key.release();
    return key;
}

UniqueRegKey OpenOrCreateProductKey(REGSAM access)
{
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kProductKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        key.release();
    return key;
}

bool SetProductValue(std::wstring_view valueName, DWORD type, const void* data, DWORD size)
{
    const UniqueRegKey key = OpenOrCreateProductKey(KEY_SET_VALUE);
    if (!key) return false;
    const std::wstring name(valueName);
    return ::RegSetValueExW(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

std::wstring ReadStringValue(HKEY root, std::wstring_view valueName)
{
    const UniqueRegKey key = OpenProductKey(root, KEY_QUERY_VALUE);
    if (!key) return {};
    const std::wstring name(valueName);
    DWORD type = 0;
    DWORD size = 0;
    // The value may grow between the two calls; a few attempts cover a writer at work.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        // Room for a terminator that the stored data may lack.
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = size;
        const LSTATUS status = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(text.data()), &read);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
        text.resize(read / sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
    }
    return {};
}

} // namespace

bool CreateProductKey()
{
    return static_cast<bool>(OpenOrCreateProductKey(KEY_QUERY_VALUE));
}

int ReadProductInteger(std::wstring_view valueName)
{
    const UniqueRegKey key = OpenProductKey(HKEY_CURRENT_USER, KEY_QUERY_VALUE);
    if (!key) return 0;
    const std::wstring name(valueName);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return static_cast<int>(value);
}

std::wstring ReadProductString(std::wstring_view valueName)
{
    return ReadStringValue(HKEY_CURRENT_USER, valueName);
}

std::wstring ReadMachineProductString(std::wstring_view valueName)
{
    return ReadStringValue(HKEY_LOCAL_MACHINE, valueName);
}

bool WriteProductInteger(std::wstring_view valueName, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    return SetProductValue(valueName, REG_DWORD, &data, sizeof data);
}

bool WriteProductString(std::wstring_view valueName, std::wstring_view value)
{
    const std::wstring data(value);
    return SetProductValue(valueName, REG_SZ, data.c_str(), static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

bool DeleteProductValue(std::wstring_view valueName)
{
    const UniqueRegKey key = OpenProductKey(HKEY_CURRENT_USER, KEY_SET_VALUE);
    if (!key) return true;
    const std::wstring name(valueName);
    const LSTATUS status = ::RegDeleteValueW(key.get(), name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

} // namespace vl
