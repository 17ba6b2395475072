#pragma once

#include "tools/MCPToolProtocol.h"

#include <QCoroTask>

#include <string>
#include <vector>

// Calls a tool as the server does and reads its answer as a client sees it.
inline MCPToolCallResponse callTool(MCPToolProtocol& tool, const Json& arguments = Json::object(), CancellationToken cancellation = {})
{
    return QCoro::waitFor(tool.execute(arguments.is_null() ? Arguments() : arguments.get<Arguments>(), std::move(cancellation)));
}
inline MCPToolCallResponse callTool(MCPToolProtocol&& tool, const Json& arguments = Json::object(), CancellationToken cancellation = {})
{
    return callTool(tool, arguments, std::move(cancellation));
}

// The texts of the content items, in order.
inline std::vector<std::string> texts(const MCPToolCallResponse& response)
{
    std::vector<std::string> result;
    for (const auto& item : response.content)
        result.push_back(item.asText() ? item.asText()->text : "<not text>");
    return result;
}

// The text of the first item, whatever the outcome.
inline std::string textOf(const MCPToolCallResponse& response)
{
    return response.content.empty() ? "<no content>" : texts(response).front();
}

// The one text of a successful call (isError absent), or a description of what came instead.
inline std::string success(const MCPToolCallResponse& response)
{
    if (response.isError.has_value() || response.content.size() != 1)
        return "<not a one-item success: " + response.toJson().dump() + ">";
    return texts(response).front();
}

// The one text of a failed call (isError true), or a description of what came instead.
inline std::string failure(const MCPToolCallResponse& response)
{
    if (response.isError != true || response.content.size() != 1)
        return "<not a one-item failure: " + response.toJson().dump() + ">";
    return texts(response).front();
}
