#include "protocol/DecodingError.h"

namespace {

std::string describe(const std::string& path, const std::string& message)
{
    if (path.empty())
        return message;
    return message + " at \"" + path + "\"";
}

} // namespace

DecodingError::DecodingError(Kind kind, std::string path, const std::string& message)
    : std::runtime_error(describe(path, message))
    , m_kind(kind)
    , m_path(std::move(path))
{
}
