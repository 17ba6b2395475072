#include "protocol/JSONRPCError.h"

#include "protocol/JsonReader.h"

const JSONRPCError JSONRPCError::parseError{-32700, "Parse error", std::nullopt};
const JSONRPCError JSONRPCError::methodNotFound{-32601, "Method not found", std::nullopt};
const JSONRPCError JSONRPCError::invalidParams{-32602, "Invalid params", std::nullopt};
const JSONRPCError JSONRPCError::invalidRequest{-32600, "Invalid Request", std::nullopt};
const JSONRPCError JSONRPCError::internalError{-32603, "Internal error", std::nullopt};

Json JSONRPCError::toJson() const
{
    Json out = {{"code", code}, {"message", message}};
    if (data)
        out["data"] = *data;
    return out;
}

JSONRPCError JSONRPCError::fromJson(const Json& value, const std::string& path)
{
    const JsonReader reader(value, path);
    JSONRPCError error;
    error.code = reader.requiredInteger("code");
    error.message = reader.requiredString("message");
    if (const Json* data = reader.optional("data"))
        error.data = *data;
    return error;
}
