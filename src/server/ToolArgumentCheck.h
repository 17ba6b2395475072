#pragma once

#include "protocol/AnyCodable.h"

#include <optional>
#include <string>

struct JSONSchema;

// Checks a call's arguments against the tool's input schema before the tool runs: required
// arguments present, no unknown ones when the schema forbids them, values of the declared
// kind and within an enumeration. Numbers are also accepted as text of a number, as the tools
// read them.
namespace ToolArgumentCheck {

// What is wrong with the arguments, or nothing.
std::optional<std::string> problem(const JSONSchema& schema, const Arguments& arguments);

} // namespace ToolArgumentCheck
