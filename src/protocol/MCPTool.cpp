#include "protocol/MCPTool.h"

#include "protocol/JsonReader.h"

Json SchemaProperty::toJson() const
{
    Json out = {{"type", type}};
    if (description)
        out["description"] = *description;
    if (enumValues)
        out["enum"] = *enumValues;
    if (items)
        out["items"] = {{"type", items->type}};
    if (minimum)
        out["minimum"] = *minimum;
    return out;
}

SchemaProperty SchemaProperty::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    SchemaProperty property;
    property.type = reader.requiredString("type");
    property.description = reader.optionalString("description");
    property.enumValues = reader.optionalStringArray("enum");
    if (const auto items = reader.optionalObject("items"))
        property.items = SchemaItems{items->requiredString("type")};
    if (const Json* minimum = reader.optional("minimum")) {
        if (!minimum->is_number_integer())
            JsonReader::typeMismatch(reader.pathOf("minimum"), "integer", *minimum);
        property.minimum = minimum->get<std::int64_t>();
    }
    return property;
}

Json JSONSchema::toJson() const
{
    Json out = {{"type", type}};
    if (properties) {
        Json props = Json::object();
        for (const auto& [name, property] : *properties)
            props[name] = property.toJson();
        out["properties"] = props;
    }
    if (required)
        out["required"] = *required;
    if (additionalProperties)
        out["additionalProperties"] = *additionalProperties;
    return out;
}

JSONSchema JSONSchema::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    JSONSchema schema;
    schema.type = reader.requiredString("type");
    if (const auto props = reader.optionalObject("properties")) {
        schema.properties.emplace();
        for (const auto& [name, property] : reader.required("properties").items())
            (*schema.properties)[name] = SchemaProperty::fromJson(property, props->pathOf(name));
    }
    schema.required = reader.optionalStringArray("required");
    schema.additionalProperties = reader.optionalBool("additionalProperties");
    return schema;
}

Json MCPTool::toJson() const
{
    Json out = {{"name", name}, {"description", description}, {"inputSchema", inputSchema.toJson()}};
    if (outputSchema)
        out["outputSchema"] = *outputSchema;
    return out;
}

MCPTool MCPTool::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    MCPTool tool;
    tool.name = reader.requiredString("name");
    tool.description = reader.requiredString("description");
    tool.inputSchema = JSONSchema::fromJson(reader.required("inputSchema"), reader.pathOf("inputSchema"));
    if (const auto output = reader.optionalObject("outputSchema"))
        tool.outputSchema = reader.required("outputSchema");
    return tool;
}

Json MCPToolCallRequest::toJson() const
{
    Json out = {{"name", name}};
    if (arguments)
        out["arguments"] = *arguments;
    return out;
}

MCPToolCallRequest MCPToolCallRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    MCPToolCallRequest request;
    request.name = reader.requiredString("name");
    if (const Json* arguments = reader.optional("arguments")) {
        if (!arguments->is_object())
            JsonReader::typeMismatch("arguments", "an object", *arguments);
        request.arguments = arguments->get<Arguments>();
    }
    return request;
}

Json MCPToolCallResponse::toJson() &&
{
    Json items = Json::array();
    for (auto& item : content)
        items.push_back(std::move(item).toJson());
    Json out = {{"content", std::move(items)}};
    if (isError)
        out["isError"] = *isError;
    if (structuredContent)
        out["structuredContent"] = std::move(*structuredContent);
    return out;
}

Json MCPToolCallResponse::toJson() const&
{
    return MCPToolCallResponse(*this).toJson();
}

MCPToolCallResponse MCPToolCallResponse::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    MCPToolCallResponse response;
    const Json& items = reader.required("content");
    if (!items.is_array())
        JsonReader::typeMismatch(reader.pathOf("content"), "an array", items);
    std::size_t index = 0;
    for (const auto& item : items)
        response.content.push_back(MCPContent::fromJson(item, reader.pathOf("content") + "[" + std::to_string(index++) + "]"));
    response.isError = reader.optionalBool("isError");
    if (const auto structured = reader.optionalObject("structuredContent"))
        response.structuredContent = reader.required("structuredContent");
    return response;
}
