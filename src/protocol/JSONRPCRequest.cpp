#include "protocol/JSONRPCRequest.h"

#include "protocol/JsonReader.h"

JSONRPCRequest JSONRPCRequest::fromJson(const Json& value)
{
    const JsonReader reader(value);
    JSONRPCRequest request;
    request.jsonrpc = reader.requiredString("jsonrpc");
    if (const Json* id = reader.optional("id"))
        request.id = JSONRPCId::fromJson(*id, "id");
    request.method = reader.requiredString("method");
    if (const Json* params = reader.optional("params"))
        request.params = *params;
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
