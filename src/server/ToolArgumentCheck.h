#pragma once

#include "protocol/AnyCodable.h"

#include <optional>
#include <string>

struct JSONSchema;

// Checks a call's arguments against the tool's input schema before the tool runs: required
// arguments present, no unknown ones when the schema forbids them, values of the declared
// kind and within an enumeration. Values are taken in every form the tools read: an integer also
// as an integral number or a string of decimal digits, a number as text of a number, a boolean
// as "true" or "false".
namespace ToolArgumentCheck {

// What is wrong with the arguments, or nothing.
std::optional<std::string> problem(const JSONSchema& schema, const Arguments& arguments);

} // namespace ToolArgumentCheck
