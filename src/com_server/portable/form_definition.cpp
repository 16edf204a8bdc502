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

} // namespace

ComponentRecord BuildFormDefinition()
{
    ComponentRecord patchHttp{
        .className = "TIdHTTP",
        .name = kPatchHttpName,
        .properties = {
            Identifier("OnWork", "m_PatchHttpWork"),
            Boolean("AllowCookies", true),
            Boolean("ProxyParams.BasicAuthentication", false),
            Integer("ProxyParams.ProxyPort", 0),
            Integer("Request.ContentLength", -1),
            String("Request.Accept", "text/html, */*"),
            Boolean("Request.BasicAuthentication", false),
            String("Request.UserAgent", "Mozilla/3.0 (compatible; Indy Library)"),
            Set("HTTPOptions", {"hoForceEncodeParams"}),
            // Design-time position of the non-visual component; the form ignores it.
            Integer("Left", 48),
            Integer("Top", 8),
        },
    };
    ComponentRecord readPipeTimer{
        .className = "TTimer",
        .name = kReadPipeTimerName,
        .properties = {
            Boolean("Enabled", false),
            Integer("Interval", 100),
            Identifier("OnTimer", "m_ReadPipeTimerTimer"),
            Integer("Left", 104),
            Integer("Top", 48),
        },
    };
    return ComponentRecord{
        .className = kFormClassName,
        .name = kFormName,
        .properties = {
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
        },
        .children = {std::move(patchHttp), std::move(readPipeTimer)},
    };
}

} // namespace vl
