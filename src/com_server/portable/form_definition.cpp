#include "com_server/portable/form_definition.h"

namespace vl {

namespace {

PropertyEntry Integer(std::string name, std::int32_t value) { return {std::move(name), PropertyValue::Integer(value)}; }
PropertyEntry Boolean(std::string name, bool value) { return {std::move(name), PropertyValue::Boolean(value)}; }
PropertyEntry String(std::string name, std::string value) { return {std::move(name), PropertyValue::String(std::move(value))}; }

PropertyEntry Identifier(std::string name, std::string value)
{
    return {std::move(name), PropertyValue::Identifier(std::move(value))};
}

PropertyEntry Set(std::string name, std::vector<std::string> elements)
{
    return {std::move(name), PropertyValue::Set(std::move(elements))};
}

ComponentRecord Component(std::string className, std::string name, std::vector<PropertyEntry> properties)
{
    ComponentRecord record;
    record.className = std::move(className);
    record.name = std::move(name);
    record.properties = std::move(properties);
    return record;
}

} // namespace

ComponentRecord BuildFormDefinition()
{
    ComponentRecord form = Component(kFormClassName, kFormName, {
        Integer("Left", 0),
        Integer("Top", 0),
        Integer("Width", 150),
        Integer("Height", 86),
        String("Caption", kFormName),
        Identifier("Color", "clBtnFace"),
        Identifier("Font.Charset", "DEFAULT_CHARSET"),
        Identifier("Font.Color", "clWindowText"),
        Integer("Font.Height", -11),
        String("Font.Name", "Tahoma"),
        Set("Font.Style", {}),
        Boolean("OldCreateOrder", false),
        Identifier("OnCreate", "ActiveFormCreate"),
        Integer("PixelsPerInch", 96),
        Integer("TextHeight", 13),
    });
    // Left and Top of the two non-visual components are their design-time positions only.
    form.children.push_back(Component("TWebGet", kPatchHttpName, {
        Identifier("OnWork", "m_PatchHttpWork"),
        Boolean("AllowCookies", true),
        Boolean("ProxyParams.BasicAuthentication", false),
        Integer("ProxyParams.ProxyPort", 0),
        Integer("Request.ContentLength", -1),
        String("Request.Accept", "text/html, */*"),
        Boolean("Request.BasicAuthentication", false),
        String("Request.UserAgent", "Mozilla/3.0 (compatible; Indy Library)"),
        Set("HTTPOptions", {"hoForceEncodeParams"}),
        Integer("Left", 48),
        Integer("Top", 8),
    }));
    form.children.push_back(Component("TTimer", kReadPipeTimerName, {
        Boolean("Enabled", false),
        Integer("Interval", 100),
        Identifier("OnTimer", "m_ReadPipeTimerTimer"),
        Integer("Left", 104),
        Integer("Top", 48),
    }));
    return form;
}

} // namespace vl
