#include "protocol/JSONRPCId.h"

#include "protocol/DecodingError.h"

JSONRPCId JSONRPCId::fromJson(const Json& value, const std::string& path)
{
    if (value.is_string())
        return JSONRPCId(value.get<std::string>());
    if (value.is_number_integer())
        return JSONRPCId(value.get<std::int64_t>());
    throw DecodingError(DecodingError::Kind::TypeMismatch, path, "Expected String or Int");
}

Json JSONRPCId::toJson() const
{
    if (isString())
        return string();
    return number();
}

std::string JSONRPCId::toDisplayString() const
{
    return isString() ? "\"" + string() + "\"" : std::to_string(number());
}
