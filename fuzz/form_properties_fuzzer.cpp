// A property record as a container loads it from a page's stored data, applied to the
// form's property set as the form defines it. What applies must save and load back to the
// same properties, and the font's size in points must be computable from any of them.
#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_definition.h"
#include "com_server/portable/form_properties.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Wide text as a single-byte code page would take it.
std::string Latin1(std::u16string_view text)
{
    std::string ansi;
    for (char16_t c : text) ansi += c <= 0xFF ? static_cast<char>(c) : '?';
    return ansi;
}

const vl::FormProperties& DefinedProperties()
{
    static const vl::FormProperties defined = [] {
        vl::FormProperties properties;
        if (vl::ApplyFormProperties(vl::BuildFormDefinition(), properties, Latin1)) std::abort();
        return properties;
    }();
    return defined;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parsed = vl::ReadComponentStream({data, size});
    if (!parsed) return 0;
    vl::FormProperties loaded = DefinedProperties();
    if (vl::ApplyFormProperties(parsed->root, loaded, Latin1)) return 0;

    const auto saved = vl::WriteComponentStream(vl::SaveFormProperties(loaded, DefinedProperties()));
    if (!saved) std::abort();
    const auto reread = vl::ReadComponentStream(*saved);
    if (!reread) std::abort();
    vl::FormProperties again = DefinedProperties();
    if (vl::ApplyFormProperties(reread->root, again, Latin1) || !(again == loaded)) std::abort();

    vl::FontAttributes font = loaded.font;
    font.SetSize(font.Size(loaded.pixelsPerInch), loaded.pixelsPerInch);
    return 0;
}
