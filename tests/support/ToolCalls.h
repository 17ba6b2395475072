#pragma once

#include "tools/MCPToolProtocol.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QObject>

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

// What a tool reported as progress through the cancellation token a test gave it.
class ProgressRecord {
public:
    struct Report {
        double progress;
        double total; // NaN when unknown
        QString message;
    };

    ProgressRecord()
    {
        token.onProgress(&m_context, [this](double progress, double total, const QString& message) {
            m_reports.push_back({progress, total, message});
        });
    }

    CancellationToken token;

    // The reports so far, those a worker thread queued included.
    const std::vector<Report>& reports()
    {
        QCoreApplication::processEvents();
        return m_reports;
    }

private:
    QObject m_context;
    std::vector<Report> m_reports;
};
