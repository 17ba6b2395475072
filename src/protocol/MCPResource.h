#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPContent.h"

#include <optional>
#include <string>
#include <vector>

// A resource descriptor, one entry of the resources/list result.
struct MCPResource {
    std::string uri;
    std::string name;
    std::optional<std::string> description;
    std::optional<std::string> mimeType;

    Json toJson() const;
    static MCPResource fromJson(const Json& value, const std::string& path = {});
    friend bool operator==(const MCPResource&, const MCPResource&) = default;
};

struct MCPResourceReadRequest {
    std::string uri;
    static MCPResourceReadRequest fromJson(const Json& value);
    Json toJson() const { return {{"uri", uri}}; }
};

struct MCPResourceReadResponse {
    std::vector<MCPContent> contents;
    Json toJson() const;
};
