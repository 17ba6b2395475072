#pragma once

#include "protocol/AnyCodable.h"

#include <optional>
#include <string>

// The initialize handshake and the capability records.

struct ClientInfo {
    std::string name;
    std::string version;
    Json toJson() const;
    static ClientInfo fromJson(const Json& value, const std::string& path);
};
using ServerInfo = ClientInfo;

struct RootsCapability {
    std::optional<bool> listChanged;
};

struct ClientCapabilities {
    std::optional<Json::object_t> experimental;
    bool sampling = false; // present: any non-null value is accepted without inspection
    std::optional<RootsCapability> roots;
    Json toJson() const;
    static ClientCapabilities fromJson(const Json& value, const std::string& path);
};

struct MCPInitializeRequest {
    std::string protocolVersion;
    ClientCapabilities capabilities;
    ClientInfo clientInfo;
    Json toJson() const;
    static MCPInitializeRequest fromJson(const Json& value);
};

struct ListChangedCapability {
    std::optional<bool> listChanged;
};

struct ResourcesCapability {
    std::optional<bool> subscribe;
    std::optional<bool> listChanged;
};

struct ServerCapabilities {
    std::optional<ListChangedCapability> tools;
    std::optional<ResourcesCapability> resources;
    std::optional<ListChangedCapability> prompts;
    bool logging = false;     // written as {} when present
    bool completions = false; // written as {} when present (2025-03-26 on)
    Json toJson() const;
};

struct MCPInitializeResponse {
    std::string protocolVersion;
    ServerCapabilities capabilities;
    ServerInfo serverInfo;
    Json toJson() const;
};
