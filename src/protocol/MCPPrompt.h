#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPContent.h"

#include <optional>
#include <string>
#include <vector>

struct PromptArgument {
    std::string name;
    std::optional<std::string> description;
    std::optional<bool> required;

    Json toJson() const;
    static PromptArgument fromJson(const Json& value, const std::string& path);
    friend bool operator==(const PromptArgument&, const PromptArgument&) = default;
};

// A prompt descriptor, one entry of the prompts/list result.
struct MCPPrompt {
    std::string name;
    std::optional<std::string> description;
    std::optional<std::vector<PromptArgument>> arguments;

    Json toJson() const;
    static MCPPrompt fromJson(const Json& value, const std::string& path = {});
    friend bool operator==(const MCPPrompt&, const MCPPrompt&) = default;
};

// The params of prompts/get. "arguments" is read leniently: anything but an object leaves it
// absent without failing the request.
struct MCPPromptGetRequest {
    std::string name;
    std::optional<Json::object_t> arguments;

    Json toJson() const;
    static MCPPromptGetRequest fromJson(const Json& value);
};

struct MCPPromptMessage {
    std::string role;
    MCPPromptContent content;

    Json toJson() const;
    static MCPPromptMessage fromJson(const Json& value, const std::string& path = {});
    friend bool operator==(const MCPPromptMessage&, const MCPPromptMessage&) = default;
};

struct MCPPromptGetResponse {
    std::vector<MCPPromptMessage> messages;
    Json toJson() const;
};
