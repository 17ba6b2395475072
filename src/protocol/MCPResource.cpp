#include "protocol/MCPResource.h"

#include "protocol/JsonReader.h"

Json MCPResource::toJson() const
{
    Json out = {{"uri", uri}, {"name", name}};
    if (description)
        out["description"] = *description;
    if (mimeType)
        out["mimeType"] = *mimeType;
    return out;
}

MCPResource MCPResource::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    MCPResource resource;
    resource.uri = reader.requiredString("uri");
    resource.name = reader.requiredString("name");
    resource.description = reader.optionalString("description");
    resource.mimeType = reader.optionalString("mimeType");
    return resource;
}

MCPResourceReadRequest MCPResourceReadRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    return {reader.requiredString("uri")};
}

Json MCPResourceReadResponse::toJson() const
{
    Json items = Json::array();
    for (const auto& item : contents)
        items.push_back(item.toJson());
    return {{"contents", std::move(items)}};
}
