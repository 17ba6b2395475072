#pragma once

#include "protocol/AnyCodable.h"

#include <optional>
#include <string>
#include <variant>

// A content item of a tool result or a resource read: text, an image, or an embedded resource.
struct MCPContent {
    struct Text {
        std::string text;
        friend bool operator==(const Text&, const Text&) = default;
    };
    struct Image {
        std::string data; // base64 of the image bytes
        std::string mimeType;
        friend bool operator==(const Image&, const Image&) = default;
    };
    struct Resource {
        std::string uri;
        std::optional<std::string> mimeType;
        std::optional<std::string> text;
        friend bool operator==(const Resource&, const Resource&) = default;
    };

    std::variant<Text, Image, Resource> value;

    static MCPContent text(std::string text) { return {Text{std::move(text)}}; }
    static MCPContent image(std::string data, std::string mimeType) { return {Image{std::move(data), std::move(mimeType)}}; }
    static MCPContent resource(std::string uri, std::optional<std::string> mimeType, std::optional<std::string> text)
    {
        return {Resource{std::move(uri), std::move(mimeType), std::move(text)}};
    }

    const Text* asText() const { return std::get_if<Text>(&value); }
    const Image* asImage() const { return std::get_if<Image>(&value); }
    const Resource* asResource() const { return std::get_if<Resource>(&value); }

    Json toJson() const&;
    // The same, moving the text or data out instead of copying it (a file's contents can be large).
    Json toJson() &&;
    // Fails with "Unknown content type: <type>" (at "type") for anything but the three cases.
    static MCPContent fromJson(const Json& value, const std::string& path = {});

    friend bool operator==(const MCPContent&, const MCPContent&) = default;
};

// The two-case content of a prompt message: text or an image.
struct MCPPromptContent {
    std::variant<MCPContent::Text, MCPContent::Image> value;

    static MCPPromptContent text(std::string text) { return {MCPContent::Text{std::move(text)}}; }
    const MCPContent::Text* asText() const { return std::get_if<MCPContent::Text>(&value); }

    Json toJson() const;
    static MCPPromptContent fromJson(const Json& value, const std::string& path = {});

    friend bool operator==(const MCPPromptContent&, const MCPPromptContent&) = default;
};
