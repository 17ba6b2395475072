#include "protocol/JsonReader.h"

JsonReader::JsonReader(const Json& value, std::string path)
    : m_value(value)
    , m_path(std::move(path))
{
    if (!m_value.is_object())
        typeMismatch(m_path, "an object", m_value);
}

std::string JsonReader::pathOf(std::string_view key) const
{
    return m_path.empty() ? std::string(key) : m_path + "." + std::string(key);
}

void JsonReader::typeMismatch(const std::string& path, const std::string& expected, const Json& found)
{
    throw DecodingError(DecodingError::Kind::TypeMismatch, path, "Expected " + expected + " but found " + json::kindName(found));
}

const Json& JsonReader::required(std::string_view key) const
{
    const auto& object = m_value.get_ref<const Json::object_t&>();
    const auto it = object.find(key);
    if (it == object.end())
        throw DecodingError(DecodingError::Kind::KeyNotFound, m_path, "Missing required key \"" + std::string(key) + "\"");
    return it->second;
}

const Json* JsonReader::optional(std::string_view key) const
{
    const auto& object = m_value.get_ref<const Json::object_t&>();
    const auto it = object.find(key);
    if (it == object.end() || it->second.is_null())
        return nullptr;
    return &it->second;
}

std::string JsonReader::requiredString(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_string())
        typeMismatch(pathOf(key), "a string", value);
    return value.get<std::string>();
}

std::optional<std::string> JsonReader::optionalString(std::string_view key) const
{
    const Json* value = optional(key);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        typeMismatch(pathOf(key), "a string", *value);
    return value->get<std::string>();
}

std::optional<bool> JsonReader::optionalBool(std::string_view key) const
{
    const Json* value = optional(key);
    if (!value)
        return std::nullopt;
    if (!value->is_boolean())
        typeMismatch(pathOf(key), "a boolean", *value);
    return value->get<bool>();
}

std::int64_t JsonReader::requiredInteger(std::string_view key) const
{
    const Json& value = required(key);
    if (!value.is_number_integer())
        typeMismatch(pathOf(key), "an integer", value);
    return value.get<std::int64_t>();
}

JsonReader JsonReader::requiredObject(std::string_view key) const
{
    return JsonReader(required(key), pathOf(key));
}

std::optional<JsonReader> JsonReader::optionalObject(std::string_view key) const
{
    const Json* value = optional(key);
    if (!value)
        return std::nullopt;
    return JsonReader(*value, pathOf(key));
}

std::optional<std::vector<std::string>> JsonReader::optionalStringArray(std::string_view key) const
{
    const Json* value = optional(key);
    if (!value)
        return std::nullopt;
    if (!value->is_array())
        typeMismatch(pathOf(key), "an array", *value);
    std::vector<std::string> result;
    std::size_t index = 0;
    for (const auto& element : *value) {
        if (!element.is_string())
            typeMismatch(pathOf(key) + "[" + std::to_string(index) + "]", "a string", element);
        result.push_back(element.get<std::string>());
        ++index;
    }
    return result;
}
