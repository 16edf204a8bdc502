#include "support/error_box.h"

#include <windows.h>

#include <string>

#include "support/portable/error_caption.h"

namespace vl {

void ShowErrorMessageBox(std::wstring_view componentName, std::wstring_view message, const wchar_t* sourceFile,
                         int line)
{
    const std::wstring caption = FormatErrorBoxCaption(componentName, sourceFile, line);
    const std::wstring text(message);
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

} // namespace vl
