#pragma once

#include "tools/MCPToolProtocol.h"
#include "tools/ToolEnvironment.h"

#include <memory>
#include <vector>

class ToolRegistry;

// The eighteen tools the server offers, created over one environment.
namespace BuiltInTools {

// Throws std::invalid_argument when the environment lacks the settings or a service.
std::vector<std::shared_ptr<MCPToolProtocol>> create(const ToolEnvironment& environment);
// Creates them and registers each with the registry.
void registerAll(ToolRegistry& registry, const ToolEnvironment& environment);

} // namespace BuiltInTools
