#include "service_host/portable/service_message.h"

#include <cmath>
#include <utility>

#include "service_host/portable/json_reader.h"
#include "service_host/portable/json_writer.h"
#include "support/portable/ascii.h"

namespace vl {
namespace {

// A whole number of page script in [0, limit].
std::optional<std::uint64_t> WholeNumber(const JsonValue& value, std::uint64_t limit)
{
    const double* number = value.As<double>();
    if (!number || *number < 0 || *number > static_cast<double>(limit) || std::trunc(*number) != *number)
        return std::nullopt;
    return static_cast<std::uint64_t>(*number);
}

// "argument <n> of <Method> (<name>)", counted from 1 as page script counts.
std::string ArgumentName(const ServiceMethod& method, std::size_t i)
{
    return "argument " + std::to_string(i + 1) + " of " + std::string(method.name) + " (" +
           std::string(method.Parameters()[i].name) + ")";
}

std::string TypeWanted(ContractType type)
{
    return type == ContractType::Text ? "a text" : "a whole number from 0 to 4294967295";
}

std::variant<MethodCall, std::string> ReadCall(const JsonValue& methodName, const JsonValue* args)
{
    const std::wstring* name = methodName.As<std::wstring>();
    if (!name) return std::string("\"method\" must be a text");
    const ServiceMethod* method = FindServiceMethod(*name);
    if (!method) return std::string("unknown method");

    static const JsonArray kNoArguments;
    const JsonArray* given = args ? args->As<JsonArray>() : &kNoArguments;
    if (!given) return std::string("\"args\" must be an array");
    const auto parameters = method->Parameters();
    if (given->size() != parameters.size()) return ArgumentCountFault(*method);

    MethodCall call{method, {}};
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const JsonValue& value = (*given)[i];
        const std::wstring* text = value.As<std::wstring>();
        const auto number = WholeNumber(value, 0xFFFFFFFFu);
        if (parameters[i].type == ContractType::Text && text) {
            call.arguments.emplace_back(*text);
        } else if (parameters[i].type == ContractType::Unsigned && number) {
            call.arguments.emplace_back(static_cast<std::uint32_t>(*number));
        } else {
            return ArgumentTypeFault(*method, i);
        }
    }
    return call;
}

JsonValue IdValue(std::optional<std::uint64_t> id)
{
    if (!id) return JsonValue{nullptr};
    return JsonValue{static_cast<double>(*id)};
}

std::wstring WideAscii(std::string_view text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

std::string ArgumentCountFault(const ServiceMethod& method)
{
    const std::size_t count = method.Parameters().size();
    return std::string(method.name) + " takes " + std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

std::string ArgumentTypeFault(const ServiceMethod& method, std::size_t index)
{
    return ArgumentName(method, index) + " must be " + TypeWanted(method.Parameters()[index].type);
}

std::variant<ServiceRequest, RequestFault> ParseServiceRequest(std::string_view json)
{
    auto read = ReadJson(json);
    if (const JsonError* error = std::get_if<JsonError>(&read))
        return RequestFault{LeadingRequestId(json),
                            "bad message: " + error->reason + " at byte " + std::to_string(error->offset)};
    const JsonValue& message = std::get<JsonValue>(read);
    const JsonObject* object = message.As<JsonObject>();
    if (!object) return RequestFault{std::nullopt, "bad message: not an object"};

    const JsonValue* idValue = message.Member(L"id");
    const std::optional<std::uint64_t> id = idValue ? WholeNumber(*idValue, kMaxRequestId) : std::nullopt;
    if (!id) return RequestFault{std::nullopt, "bad message: \"id\" must be a whole number from 0 to 9007199254740991"};

    const JsonValue* page = message.Member(L"page");
    const JsonValue* method = message.Member(L"method");
    const JsonValue* args = message.Member(L"args");
    const std::size_t known = 1 + (page != nullptr) + (method != nullptr) + (args != nullptr);
    if (known != object->size() || (page && (method || args)))
        return RequestFault{id, "bad message: unexpected member"};

    if (page) {
        const std::wstring* address = page->As<std::wstring>();
        if (!address) return RequestFault{id, "bad message: \"page\" must be a text"};
        return ServiceRequest{*id, PageMessage{*address}};
    }
    if (!method) return RequestFault{id, "bad message: neither \"method\" nor \"page\""};
    auto call = ReadCall(*method, args);
    if (std::string* reason = std::get_if<std::string>(&call)) return RequestFault{id, std::move(*reason)};
    return ServiceRequest{*id, std::move(std::get<MethodCall>(call))};
}

std::optional<std::uint64_t> LeadingRequestId(std::string_view prefix)
{
    constexpr std::string_view kStart = "{\"id\":";
    if (!prefix.starts_with(kStart)) return std::nullopt;
    prefix.remove_prefix(kStart.size());
    std::uint64_t id = 0;
    std::size_t digits = 0;
    for (; digits < prefix.size() && IsAsciiDigit(prefix[digits]); ++digits) {
        id = id * 10 + static_cast<std::uint64_t>(prefix[digits] - '0');
        if (id > kMaxRequestId || (digits == 1 && prefix[0] == '0')) return std::nullopt;
    }
    if (digits == 0 || digits == prefix.size() || (prefix[digits] != ',' && prefix[digits] != '}')) return std::nullopt;
    return id;
}

std::string FormatAnswer(const ServiceAnswer& answer)
{
    JsonValue body{nullptr};
    std::wstring member = L"result";
    if (const auto* result = std::get_if<PageResult>(&answer.body)) {
        if (const std::uint32_t* number = std::get_if<std::uint32_t>(result)) body = JsonValue{static_cast<double>(*number)};
        if (const std::wstring* text = std::get_if<std::wstring>(result)) body = JsonValue{*text};
    } else if (const auto* versions = std::get_if<ServiceVersions>(&answer.body)) {
        body = JsonValue{JsonObject{{L"host", JsonValue{versions->host}}, {L"kernel", JsonValue{versions->kernel}}}};
    } else {
        member = L"error";
        body = JsonValue{WideAscii(std::get<ServiceError>(answer.body).reason)};
    }
    return WriteJson(JsonValue{JsonObject{{L"id", IdValue(answer.id)}, {std::move(member), std::move(body)}}});
}

std::string FaultReason(const ServiceMethod& method, const CallFault& fault)
{
    if (fault.kind == CallFault::Kind::MessageLost)
        return "the link to the kernel has ended: the message did not go out whole";
    // A fault of an argument the method does not have says what it can.
    if (fault.argument >= method.Parameters().size()) return "a text the kernel's code page cannot carry";
    return ArgumentName(method, fault.argument) + " has characters the kernel's code page cannot carry";
}

std::string FormatResultEvent(std::uint32_t cmd, std::uint32_t serial, std::wstring_view params)
{
    return WriteJson(JsonValue{JsonObject{{L"event", JsonValue{std::wstring(L"OnResult")}},
                                          {L"cmd", JsonValue{static_cast<double>(cmd)}},
                                          {L"serial", JsonValue{static_cast<double>(serial)}},
                                          {L"params", JsonValue{std::wstring(params)}}}});
}

std::string FormatInstallPageEvent(std::wstring_view address)
{
    return WriteJson(JsonValue{
        JsonObject{{L"event", JsonValue{std::wstring(L"InstallPage")}}, {L"address", JsonValue{std::wstring(address)}}}});
}

} // namespace vl
