#pragma once

#include "tools/BaseTool.h"

#include <QCoroTask>

// The logging category of the tools that tests define.
inline const QLoggingCategory& testToolCategory()
{
    static const QLoggingCategory category("com.tarvonic.zarnel.TestTool");
    return category;
}

// A tool for tests: answers with its "text" argument, or with the accessor's failure.
class EchoTool : public BaseTool {
public:
    explicit EchoTool(std::string name, std::string description = "echo")
        : BaseTool(testToolCategory())
        , m_name(std::move(name))
        , m_description(std::move(description))
    {
    }

    MCPTool definition() const override { return makeDefinition(m_name, m_description, {{"text", "string", "what to say"}}, {"text"}); }

    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken) override
    {
        const auto text = getStringArgument(arguments, "text", true);
        if (text.failed())
            co_return errorResult(text.errorText());
        co_return successResult(*text);
    }

private:
    std::string m_name;
    std::string m_description;
};
