// Load throughput of the component stream reader: the control's form definition, as the
// module's resource holds it, and a larger stream of the kind a container may hand the
// control (many child records with every kind of value).
#include <cstdint>
#include <string>
#include <vector>

#include "bench_report.h"
#include "com_server/portable/component_stream.h"
#include "com_server/portable/form_definition.h"

namespace {

using vl::ComponentRecord;
using vl::PropertyValue;

ComponentRecord SyntheticChild(int index)
{
    ComponentRecord child;
    child.className = "TSyntheticComponent";
    child.name = "Component" + std::to_string(index);
    auto add = [&](std::string name, PropertyValue value) { child.properties.push_back({std::move(name), std::move(value)}); };
    add("Left", PropertyValue::Integer(index * 3));
    add("Top", PropertyValue::Integer(index * 70000));
    add("Tag", PropertyValue::Int16(static_cast<std::int16_t>(index)));
    add("Caption", PropertyValue::String("Caption of component " + std::to_string(index)));
    add("Hint", PropertyValue::Text(std::string(300, static_cast<char>('a' + index % 26))));
    add("Color", PropertyValue::Identifier("clBtnFace"));
    add("Enabled", PropertyValue::Boolean(index % 2 == 0));
    add("Font.Name", PropertyValue::String("Tahoma"));
    add("Font.Style", PropertyValue::Set({"fsBold", "fsItalic"}));
    add("Title", PropertyValue::WideString(u"\u9762\u677f " + std::u16string(40, u'w')));
    add("Data", PropertyValue::Binary(std::vector<std::uint8_t>(256, static_cast<std::uint8_t>(index))));
    add("Scale", PropertyValue::Extended({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    add("Items", PropertyValue::List({PropertyValue::String("one"), PropertyValue::Integer(2), PropertyValue::Boolean(true)}));
    vl::CollectionItem item;
    item.order = PropertyValue::Integer(index);
    item.properties.push_back({"Width", PropertyValue::Integer(64)});
    item.properties.push_back({"Text", PropertyValue::String("column")});
    add("Columns", PropertyValue::Collection({item, item}));
    add("OnClick", PropertyValue::Identifier("ComponentClick"));
    return child;
}

ComponentRecord SyntheticForm(int children)
{
    ComponentRecord root = vl::BuildFormDefinition();
    for (int i = 0; i < children; ++i) root.children.push_back(SyntheticChild(i));
    return root;
}

void Measure(const char* key, const ComponentRecord& record)
{
    const std::string prefix = std::string("stream.") + key;
    const auto bytes = vl::WriteComponentStream(record);
    if (!bytes) {
        vl::bench::PrintMissing(prefix + ".loads_per_s", "the stream could not be written: " + bytes.Error().Text());
        return;
    }
    const std::span<const std::uint8_t> view(*bytes);
    const auto check = vl::ReadComponentStream(view);
    if (!check || check->consumed != bytes->size() || !(check->root == record)) {
        vl::bench::PrintMissing(prefix + ".loads_per_s", "the stream did not read back whole");
        return;
    }
    std::size_t consumed = 0;
    const double perSecond = vl::bench::ItemsPerCpuSecond(
        [&] {
            const auto parsed = vl::ReadComponentStream(view);
            consumed += parsed ? parsed->consumed : 0;
        },
        1);
    const double size = static_cast<double>(bytes->size());
    vl::bench::PrintFigure(prefix + ".bytes", size, "B");
    vl::bench::PrintFigure(prefix + ".loads_per_s", perSecond, "loads/s");
    vl::bench::PrintFigure(prefix + ".load_us", 1e6 / perSecond, "us");
    vl::bench::PrintFigure(prefix + ".mb_per_s", perSecond * size / 1e6, "MB/s");
    if (consumed == 1) std::printf("\n"); // keeps the work observable
}

} // namespace

int main()
{
    Measure("form", vl::BuildFormDefinition());
    Measure("synthetic", SyntheticForm(500));
    return 0;
}
