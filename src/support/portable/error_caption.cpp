#include "support/portable/error_caption.h"

#include <cwchar>

namespace vl {

std::wstring FormatErrorBoxCaption(std::wstring_view componentName, const wchar_t* sourceFile, int line)
{
    std::wstring caption(componentName);
    if (sourceFile) {
        // Only the first 259 characters of the source name take part, as in a MAX_PATH buffer.
        std::wstring_view source(sourceFile, ::wcsnlen(sourceFile, kErrorCaptionCapacity - 1));
        const auto slash = source.rfind(L'\\');
        if (slash != std::wstring_view::npos) source.remove_prefix(slash + 1);
        source = source.substr(0, source.find(L'.'));
        caption += L" (";
        caption += source;
        caption += L':';
        caption += std::to_wstring(line);
        caption += L')';
    }
    if (caption.size() >= kErrorCaptionCapacity) caption.resize(kErrorCaptionCapacity - 1);
    return caption;
}

} // namespace vl
