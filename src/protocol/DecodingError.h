#pragma once

#include <stdexcept>
#include <string>

// A value that does not have the shape a record needs. The description names the offending
// key path, for example: Missing required key "name" at "params.clientInfo".
class DecodingError : public std::runtime_error {
public:
    enum class Kind { KeyNotFound, TypeMismatch, DataCorrupted };

    DecodingError(Kind kind, std::string path, const std::string& message);

    Kind kind() const { return m_kind; }
    const std::string& codingPath() const { return m_path; }
    std::string description() const { return what(); }

private:
    Kind m_kind;
    std::string m_path;
};
