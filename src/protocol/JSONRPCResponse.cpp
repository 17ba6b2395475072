#include "protocol/JSONRPCResponse.h"

#include "protocol/JsonReader.h"
#include "protocol/JsonWriter.h"

JSONRPCResponse JSONRPCResponse::success(std::optional<JSONRPCId> id, AnyCodable result)
{
    JSONRPCResponse response;
    response.id = std::move(id);
    response.result = std::move(result);
    return response;
}

JSONRPCResponse JSONRPCResponse::failure(std::optional<JSONRPCId> id, JSONRPCError error)
{
    JSONRPCResponse response;
    response.id = std::move(id);
    response.error = std::move(error);
    return response;
}

JSONRPCResponse JSONRPCResponse::fromJson(const Json& value)
{
    const JsonReader reader(value);
    JSONRPCResponse response;
    response.jsonrpc = reader.requiredString("jsonrpc");
    if (const Json* id = reader.optional("id"))
        response.id = JSONRPCId::fromJson(*id, "id");
    if (const Json* result = reader.optional("result"))
        response.result = *result;
    if (const Json* error = reader.optional("error"))
        response.error = JSONRPCError::fromJson(*error, "error");
    return response;
}

Json JSONRPCResponse::toJson() const
{
    Json out = {{"jsonrpc", jsonrpc}};
    if (id)
        out["id"] = id->toJson();
    if (serializedResult)
        out["result"] = Json::parse(*serializedResult);
    else if (result)
        out["result"] = *result;
    if (error)
        out["error"] = error->toJson();
    return out;
}

std::string JSONRPCResponse::serialize() const
{
    std::string out;
    writeTo(out, nullptr);
    return out;
}

void JSONRPCResponse::serialize(std::string& out, const JsonWriter::Drain& drain) const
{
    writeTo(out, &drain);
}

void JSONRPCResponse::writeTo(std::string& out, const JsonWriter::Drain* drain) const
{
    // Members in ascending key order: error, id, jsonrpc, result.
    out.reserve(out.size() + (serializedResult ? serializedResult->size() : 0) + 96);
    out += '{';
    if (error) {
        out += "\"error\":";
        JsonWriter::appendCompact(out, error->toJson());
        out += ',';
    }
    if (id) {
        out += "\"id\":";
        JsonWriter::appendCompact(out, id->toJson());
        out += ',';
    }
    out += "\"jsonrpc\":";
    JsonWriter::appendString(out, jsonrpc);
    if (serializedResult) {
        out += ",\"result\":";
        out += *serializedResult;
    } else if (result) {
        out += ",\"result\":";
        if (drain)
            JsonWriter::appendCompact(out, *result, *drain);
        else
            JsonWriter::appendCompact(out, *result);
    }
    out += '}';
}
