// Self-registration: the control class's registry entries under HKEY_CLASSES_ROOT and the
// registration of the module's type library.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "com_server/class_factory.h"

namespace vl {

// The module's ANSI file name, in its short (8.3) form when it holds any white space.
std::string RegistrationPath(HINSTANCE module);

// The registry updater of the control class: writes its entries (registering the type
// library from the registration path on the way) or removes them (the type library's
// entries stay).
HRESULT UpdateControlRegistry(bool doRegister);

// DllRegisterServer over a table: each entry's entries, then the module's type library
// once more with its help directory.
HRESULT RegisterServer(std::span<ClassObjectEntry> table);
// DllUnregisterServer over a table; always S_OK.
HRESULT UnregisterServer(std::span<ClassObjectEntry> table);

// Deletes the key `name` below `parent` with everything under it, one
// first sub-key at a time; the first failure ends the deletion.
LSTATUS DeleteKeyTree(HKEY parent, const std::string& name);

} // namespace vl
