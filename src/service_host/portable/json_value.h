// A JSON value as the service host reads and writes it. Texts are UTF-16 code units, one
// per wchar_t on every platform, as the page contract's strings are; numbers are doubles,
// as they are in page script.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vl {

struct JsonValue;
using JsonArray = std::vector<JsonValue>;
// Members in the order written; the reader refuses a name given twice.
using JsonObject = std::vector<std::pair<std::wstring, JsonValue>>;

struct JsonValue {
    std::variant<std::nullptr_t, bool, double, std::wstring, JsonArray, JsonObject> value = nullptr;

    template <typename T>
    const T* As() const
    {
        return std::get_if<T>(&value);
    }

    // The member `name` of an object; null for a missing member or a value that is no object.
    const JsonValue* Member(std::wstring_view name) const
    {
        if (const JsonObject* object = As<JsonObject>())
            for (const auto& [memberName, member] : *object)
                if (memberName == name) return &member;
        return nullptr;
    }
};

} // namespace vl
