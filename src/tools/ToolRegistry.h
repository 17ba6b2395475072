#pragma once

#include "protocol/AnyCodable.h"
#include "protocol/MCPTool.h"
#include "tools/CancellationToken.h"
#include "tools/MCPToolProtocol.h"

#include <QCoroTask>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <vector>

// The catalogue of tools: looks them up by name, lists them, runs one.
class ToolRegistry {
public:
    ToolRegistry() = default;

    // Stores the tool under its definition's name, replacing any tool of that name.
    void registerTool(std::shared_ptr<MCPToolProtocol> tool);

    // Every tool's definition, sorted by name (byte order).
    std::vector<MCPTool> listTools() const;
    std::shared_ptr<MCPToolProtocol> tool(const std::string& name) const;
    std::size_t count() const { return m_tools.size(); }
    // Changes whenever a tool is registered, so that callers can cache what they derive from
    // the list.
    std::uint64_t generation() const { return m_generation; }

    // Never fails: an unknown name is a response with "Tool '<name>' not found" and isError.
    QCoro::Task<MCPToolCallResponse> executeTool(std::string name, Arguments arguments, CancellationToken cancellation = {});

private:
    std::map<std::string, std::shared_ptr<MCPToolProtocol>> m_tools;
    std::uint64_t m_generation = 0;
};
