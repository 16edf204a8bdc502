// Values of the product's registry key HKEY_CURRENT_USER\SOFTWARE\Torvane\vorlink!, and
// of the key of the same name under HKEY_LOCAL_MACHINE, which only an administrator can
// write. A missing key, a missing value and a value of another type all read as the
// neutral value.
#pragma once

#include <string>
#include <string_view>

namespace vl {

inline constexpr wchar_t kProductKeyPath[] = L"SOFTWARE\\Torvane\\vorlink!";

// A REG_DWORD value; 0 otherwise.
int ReadProductInteger(std::wstring_view valueName);
// A REG_SZ or REG_EXPAND_SZ value (not expanded); empty otherwise.
std::wstring ReadProductString(std::wstring_view valueName);
// The same, of the machine's key, in the module's own view of the registry.
std::wstring ReadMachineProductString(std::wstring_view valueName);

// Creates the key when it is missing, where the control first uses it; true when it
// exists afterwards.
bool CreateProductKey();

// The key is created when missing. True when stored.
bool WriteProductInteger(std::wstring_view valueName, int value);
bool WriteProductString(std::wstring_view valueName, std::wstring_view value);

// True when the value is gone afterwards, also when it was never there.
bool DeleteProductValue(std::wstring_view valueName);

} // namespace vl
