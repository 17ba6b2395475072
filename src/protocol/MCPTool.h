#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPContent.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

struct SchemaItems {
    std::string type;
};

struct SchemaProperty {
    std::string type;
    std::optional<std::string> description;
    std::optional<std::vector<std::string>> enumValues; // "enum" on the wire
    std::optional<SchemaItems> items;
    // The least value of an integer argument.
    std::optional<std::int64_t> minimum = std::nullopt;

    Json toJson() const;
    static SchemaProperty fromJson(const Json& value, const std::string& path);
};

struct JSONSchema {
    std::string type = "object";
    std::optional<std::map<std::string, SchemaProperty>> properties;
    std::optional<std::vector<std::string>> required;
    std::optional<bool> additionalProperties;

    Json toJson() const;
    static JSONSchema fromJson(const Json& value, const std::string& path);
};

// A tool descriptor, one entry of the tools/list result.
struct MCPTool {
    std::string name;
    std::string description;
    JSONSchema inputSchema;
    // The shape of the tool's structuredContent, for the revisions that have it.
    std::optional<Json> outputSchema = std::nullopt;

    Json toJson() const;
    static MCPTool fromJson(const Json& value, const std::string& path = {});
};

// The params of tools/call. "arguments" must be an object when present.
struct MCPToolCallRequest {
    std::string name;
    std::optional<Arguments> arguments;

    Json toJson() const;
    static MCPToolCallRequest fromJson(const Json& value);
};

// The result of tools/call; tools set isError on failure and leave it absent on success.
struct MCPToolCallResponse {
    std::vector<MCPContent> content;
    std::optional<bool> isError;
    // The result as a JSON object matching the tool's outputSchema, besides the text content.
    std::optional<Json> structuredContent = std::nullopt;

    bool failed() const { return isError.value_or(false); }

    Json toJson() const&;
    Json toJson() &&;
    static MCPToolCallResponse fromJson(const Json& value, const std::string& path = {});
};
