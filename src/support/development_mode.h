// Development mode: the publisher check switched off, for machines that build the kernel
// and the updater themselves.
#pragma once

namespace vl {

// True when the string "envver" is exactly "Develop" in the product's key under both
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (the module's own view of the registry). The
// user's value alone is not enough: any program of the user can write it, and the
// programs that the check guards start elevated. Logs a line when only the user's value
// asks for it.
bool IsDevelopmentMode();

} // namespace vl
