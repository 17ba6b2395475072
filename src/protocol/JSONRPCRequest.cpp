#include "protocol/JSONRPCRequest.h"

#include "protocol/JsonReader.h"

namespace {

JSONRPCRequest envelopeOf(const JsonReader& reader)
{
    JSONRPCRequest request;
    request.jsonrpc = reader.requiredString("jsonrpc");
    if (const Json* id = reader.optional("id"))
        request.id = JSONRPCId::fromJson(*id, "id");
    request.method = reader.requiredString("method");
    return request;
}

} // namespace

JSONRPCRequest JSONRPCRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    JSONRPCRequest request = envelopeOf(reader);
    if (const Json* params = reader.optional("params"))
        request.params = *params;
    return request;
}

JSONRPCRequest JSONRPCRequest::fromJson(Json&& value)
{
    JSONRPCRequest request = envelopeOf(JsonReader(value));
    const auto params = value.find("params");
    if (params != value.end() && !params->is_null())
        request.params = std::move(*params);
    return request;
}

Json JSONRPCRequest::toJson() const
{
    Json out = {{"jsonrpc", jsonrpc}, {"method", method}};
    if (id)
        out["id"] = id->toJson();
    if (params)
        out["params"] = *params;
    return out;
}
