#include "protocol/MCPInitialize.h"

#include "protocol/JsonReader.h"

namespace {

Json listChangedJson(const std::optional<bool>& listChanged)
{
    Json out = Json::object();
    if (listChanged)
        out["listChanged"] = *listChanged;
    return out;
}

} // namespace

Json ClientInfo::toJson() const
{
    return {{"name", name}, {"version", version}};
}

ClientInfo ClientInfo::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    return {reader.requiredString("name"), reader.requiredString("version")};
}

Json ClientCapabilities::toJson() const
{
    Json out = Json::object();
    if (experimental)
        out["experimental"] = *experimental;
    if (sampling)
        out["sampling"] = Json::object();
    if (roots)
        out["roots"] = listChangedJson(roots->listChanged);
    return out;
}

ClientCapabilities ClientCapabilities::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    ClientCapabilities capabilities;
    if (const Json* experimental = reader.optional("experimental")) {
        if (!experimental->is_object())
            JsonReader::typeMismatch(reader.pathOf("experimental"), "an object", *experimental);
        capabilities.experimental = experimental->get<Json::object_t>();
    }
    capabilities.sampling = reader.optional("sampling") != nullptr;
    if (const auto roots = reader.optionalObject("roots"))
        capabilities.roots = RootsCapability{roots->optionalBool("listChanged")};
    return capabilities;
}

Json MCPInitializeRequest::toJson() const
{
    return {{"protocolVersion", protocolVersion}, {"capabilities", capabilities.toJson()}, {"clientInfo", clientInfo.toJson()}};
}

MCPInitializeRequest MCPInitializeRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    MCPInitializeRequest request;
    request.protocolVersion = reader.requiredString("protocolVersion");
    request.capabilities = ClientCapabilities::fromJson(reader.required("capabilities"), "capabilities");
    request.clientInfo = ClientInfo::fromJson(reader.required("clientInfo"), "clientInfo");
    return request;
}

Json ServerCapabilities::toJson() const
{
    Json out = Json::object();
    if (tools)
        out["tools"] = listChangedJson(tools->listChanged);
    if (resources) {
        Json r = Json::object();
        if (resources->subscribe)
            r["subscribe"] = *resources->subscribe;
        if (resources->listChanged)
            r["listChanged"] = *resources->listChanged;
        out["resources"] = r;
    }
    if (prompts)
        out["prompts"] = listChangedJson(prompts->listChanged);
    if (logging)
        out["logging"] = Json::object();
    if (completions)
        out["completions"] = Json::object();
    return out;
}

Json MCPInitializeResponse::toJson() const
{
    return {{"protocolVersion", protocolVersion}, {"capabilities", capabilities.toJson()}, {"serverInfo", serverInfo.toJson()}};
}
