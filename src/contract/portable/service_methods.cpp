#include "contract/portable/service_methods.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

#include "contract/portable/VLServiceAdapter_contract.inc"

namespace vl {
namespace {

struct DeclaredParameter {
    std::string_view name;
    ContractType type;
    bool result;
};

// A type the contract's methods do not use stops the build here.
constexpr ContractType TypeOf(std::string_view token)
{
    if (token == "BSTR") return ContractType::Text;
    if (token == "ULONG") return ContractType::Unsigned;
    throw std::logic_error("a method parameter of a type the service host does not carry");
}

constexpr ServiceMethod MakeMethod(int dispid, std::string_view name, std::initializer_list<DeclaredParameter> declared)
{
    ServiceMethod method{name, dispid};
    for (const DeclaredParameter& parameter : declared) {
        if (parameter.result) {
            method.result = parameter.type;
        } else {
            if (method.parameterCount == ServiceMethod::kMaxParameters) throw std::logic_error("too many parameters");
            method.parameters[method.parameterCount++] = {parameter.name, parameter.type};
        }
    }
    return method;
}

#define VL_UNPAREN(...) __VA_ARGS__
#define VL_IN(T, n) DeclaredParameter{#n, TypeOf(#T), false}
#define VL_RETVAL(T, n) DeclaredParameter{#n, TypeOf(#T), true}
#define VL_PROPERTY(id, Name, T, access, isHidden)
#define VL_FONT_PROPERTY(id, Name)
#define VL_METHOD(id, Name, params) MakeMethod(id, #Name, {VL_UNPAREN params}),
constexpr ServiceMethod kMethods[] = {VL_MEMBERS};
#undef VL_METHOD
#undef VL_FONT_PROPERTY
#undef VL_PROPERTY
#undef VL_RETVAL
#undef VL_IN
#undef VL_UNPAREN

} // namespace

std::span<const ServiceMethod> ServiceMethods()
{
    return kMethods;
}

const ServiceMethod* FindServiceMethod(std::wstring_view name)
{
    const auto found = std::ranges::find_if(kMethods, [name](const ServiceMethod& method) {
        return std::ranges::equal(method.name, name, [](char a, wchar_t b) { return static_cast<wchar_t>(a) == b; });
    });
    return found == std::end(kMethods) ? nullptr : found;
}

} // namespace vl
