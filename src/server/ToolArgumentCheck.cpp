#include "server/ToolArgumentCheck.h"

#include "protocol/MCPTool.h"
#include "tools/BaseTool.h"

#include <algorithm>
#include <cstdlib>

namespace {

bool isNumberText(const Json& value)
{
    if (!value.is_string())
        return false;
    const auto& text = value.get_ref<const std::string&>();
    if (text.empty())
        return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

bool hasKind(const Json& value, const std::string& type)
{
    if (type == "string")
        return value.is_string();
    if (type == "boolean")
        return value.is_boolean() || (value.is_string() && (value == "true" || value == "false"));
    if (type == "integer")
        return BaseTool::integerValue(value).has_value();
    if (type == "number")
        return value.is_number() || isNumberText(value);
    if (type == "array")
        return value.is_array();
    if (type == "object")
        return value.is_object();
    return true;
}

} // namespace

namespace ToolArgumentCheck {

std::optional<std::string> problem(const JSONSchema& schema, const Arguments& arguments)
{
    for (const std::string& name : schema.required.value_or(std::vector<std::string>{})) {
        if (!arguments.contains(name))
            return "missing required argument '" + name + "'";
    }
    for (const auto& [name, value] : arguments) {
        const SchemaProperty* found = nullptr;
        if (schema.properties) {
            const auto it = schema.properties->find(name);
            found = it == schema.properties->end() ? nullptr : &it->second;
        }
        if (!found) {
            if (schema.additionalProperties.value_or(true))
                continue;
            return "unknown argument '" + name + "'";
        }
        const SchemaProperty& declared = *found;
        if (!hasKind(value, declared.type))
            return "argument '" + name + "' must be of type " + declared.type;
        if (declared.enumValues && value.is_string()
            && std::find(declared.enumValues->begin(), declared.enumValues->end(), value.get<std::string>()) == declared.enumValues->end())
            return "argument '" + name + "' must be one of the listed values";
    }
    return std::nullopt;
}

} // namespace ToolArgumentCheck
