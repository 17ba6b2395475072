#include "protocol/MCPPrompt.h"

#include "protocol/JsonReader.h"

Json PromptArgument::toJson() const
{
    Json out = {{"name", name}};
    if (description)
        out["description"] = *description;
    if (required)
        out["required"] = *required;
    return out;
}

PromptArgument PromptArgument::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    return {reader.requiredString("name"), reader.optionalString("description"), reader.optionalBool("required")};
}

Json MCPPrompt::toJson() const
{
    Json out = {{"name", name}};
    if (description)
        out["description"] = *description;
    if (arguments) {
        Json items = Json::array();
        for (const auto& argument : *arguments)
            items.push_back(argument.toJson());
        out["arguments"] = std::move(items);
    }
    return out;
}

MCPPrompt MCPPrompt::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    MCPPrompt prompt;
    prompt.name = reader.requiredString("name");
    prompt.description = reader.optionalString("description");
    if (const Json* arguments = reader.optional("arguments")) {
        if (!arguments->is_array())
            JsonReader::typeMismatch(reader.pathOf("arguments"), "an array", *arguments);
        prompt.arguments.emplace();
        std::size_t index = 0;
        for (const auto& argument : *arguments)
            prompt.arguments->push_back(
                PromptArgument::fromJson(argument, reader.pathOf("arguments") + "[" + std::to_string(index++) + "]"));
    }
    return prompt;
}

Json MCPPromptGetRequest::toJson() const
{
    Json out = {{"name", name}};
    if (arguments)
        out["arguments"] = *arguments;
    return out;
}

MCPPromptGetRequest MCPPromptGetRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    MCPPromptGetRequest request;
    request.name = reader.requiredString("name");
    if (const Json* arguments = reader.optional("arguments"); arguments && arguments->is_object())
        request.arguments = arguments->get<Json::object_t>();
    return request;
}

Json MCPPromptMessage::toJson() const
{
    return {{"role", role}, {"content", content.toJson()}};
}

MCPPromptMessage MCPPromptMessage::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    auto role = reader.requiredString("role");
    return {std::move(role), MCPPromptContent::fromJson(reader.required("content"), reader.pathOf("content"))};
}

Json MCPPromptGetResponse::toJson() const
{
    Json items = Json::array();
    for (const auto& message : messages)
        items.push_back(message.toJson());
    return {{"messages", std::move(items)}};
}
