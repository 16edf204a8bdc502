// The control's methods as the page contract declares them (the automation contract that
// also yields the type library): what a page may call through the service host, with the
// control's names, parameters and result types.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace vl {

// What page script passes and gets back: BSTR is a text, ULONG a whole number from 0 to
// 4294967295; a method without a result gives nothing.
enum class ContractType { None, Text, Unsigned };

struct ContractParameter {
    std::string_view name;
    ContractType type = ContractType::None;
};

struct ServiceMethod {
    static constexpr std::size_t kMaxParameters = 5;

    std::string_view name;
    int dispid = 0;
    std::array<ContractParameter, kMaxParameters> parameters{};
    std::size_t parameterCount = 0;
    ContractType result = ContractType::None;

    std::span<const ContractParameter> Parameters() const { return {parameters.data(), parameterCount}; }
};

// In the contract's order.
std::span<const ServiceMethod> ServiceMethods();

// Nothing for a name that is no method of the contract (names are case-sensitive, as the
// extension's and the control's members are).
const ServiceMethod* FindServiceMethod(std::wstring_view name);

} // namespace vl
