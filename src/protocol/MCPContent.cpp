#include "protocol/MCPContent.h"

#include "protocol/JsonReader.h"

#include <utility>

namespace {

Json textJson(const MCPContent::Text& item)
{
    return {{"type", "text"}, {"text", item.text}};
}

Json imageJson(const MCPContent::Image& item)
{
    return {{"type", "image"}, {"data", item.data}, {"mimeType", item.mimeType}};
}

[[noreturn]] void unknownType(const JsonReader& reader, const std::string& type)
{
    throw DecodingError(DecodingError::Kind::DataCorrupted, reader.pathOf("type"), "Unknown content type: " + type);
}

// Reads a string member that is allowed to be anything: a wrong kind just leaves it absent.
std::optional<std::string> lenientString(const JsonReader& reader, const std::string& key)
{
    const Json* value = reader.optional(key);
    if (value && value->is_string())
        return value->get<std::string>();
    return std::nullopt;
}

} // namespace

Json MCPContent::toJson() &&
{
    if (auto* item = std::get_if<Text>(&value))
        return {{"type", "text"}, {"text", std::move(item->text)}};
    if (auto* item = std::get_if<Image>(&value))
        return {{"type", "image"}, {"data", std::move(item->data)}, {"mimeType", std::move(item->mimeType)}};
    return std::as_const(*this).toJson();
}

Json MCPContent::toJson() const&
{
    if (const auto* item = asText())
        return textJson(*item);
    if (const auto* item = asImage())
        return imageJson(*item);
    const auto& item = std::get<Resource>(value);
    Json out = {{"type", "resource"}, {"uri", item.uri}};
    if (item.mimeType)
        out["mimeType"] = *item.mimeType;
    if (item.text)
        out["text"] = *item.text;
    return out;
}

MCPContent MCPContent::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    const std::string type = reader.requiredString("type");
    if (type == "text")
        return text(reader.requiredString("text"));
    if (type == "image") {
        auto data = reader.requiredString("data");
        return image(std::move(data), reader.requiredString("mimeType"));
    }
    if (type == "resource") {
        auto uri = reader.requiredString("uri");
        return resource(std::move(uri), lenientString(reader, "mimeType"), lenientString(reader, "text"));
    }
    unknownType(reader, type);
}

Json MCPPromptContent::toJson() const
{
    if (const auto* item = std::get_if<MCPContent::Text>(&value))
        return textJson(*item);
    return imageJson(std::get<MCPContent::Image>(value));
}

MCPPromptContent MCPPromptContent::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    const std::string type = reader.requiredString("type");
    if (type == "text")
        return {MCPContent::Text{reader.requiredString("text")}};
    if (type == "image") {
        auto data = reader.requiredString("data");
        return {MCPContent::Image{std::move(data), reader.requiredString("mimeType")}};
    }
    unknownType(reader, type);
}
