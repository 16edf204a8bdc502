// The control's error box: modal, ownerless, with the error icon and an OK button.
#pragma once

#include <string_view>

namespace vl {

// Shows `message` captioned with the component and the reporting source's place
// (see FormatErrorBoxCaption); returns when the user closes the box.
void ShowErrorMessageBox(std::wstring_view componentName, std::wstring_view message, const wchar_t* sourceFile,
                         int line);

} // namespace vl
