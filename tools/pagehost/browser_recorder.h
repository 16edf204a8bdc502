// Keeps a control from opening a browser while a page runs here: the shell call of the
// control's module is replaced, in the module's import table, by one that prints what
// the control asked the shell to open and answers as if the browser had started. Other
// programs (the kernel, the updater) are started as the control asks. This is how the
// page host shows a first visit's install page without a browser.
#pragma once

#include <windows.h>

#include <string>

namespace vl::pagehost {

// Records the browser starts of the module that serves `object`'s code (its interface
// table's module); again for a module already recorded changes nothing. False when the
// module imports no shell call to replace.
bool RecordBrowserStarts(IUnknown* object);
// The same for the module that serves the class named by `progid`, loaded now, so that
// objects that page script creates of it are recorded as well. False when the class is
// not registered or served by no module of this process.
bool RecordBrowserStarts(const std::wstring& progid);

} // namespace vl::pagehost
