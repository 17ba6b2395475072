#include "tools/system/SetClipboardTool.h"

#include "platform/processes/Log.h"
#include "platform/session/Clipboard.h"

#include <QTextBoundaryFinder>

ZARNEL_LOGGING_CATEGORY(lcSetClipboard, "SetClipboardTool")

SetClipboardTool::SetClipboardTool(std::shared_ptr<Clipboard> clipboard)
    : BaseTool(lcSetClipboard())
    , m_clipboard(std::move(clipboard))
{
}

MCPTool SetClipboardTool::definition() const
{
    return makeDefinition("set_clipboard", "Set the clipboard contents with text.", {{"content", "string", "Content to copy to clipboard"}},
                          {"content"});
}

QCoro::Task<MCPToolCallResponse> SetClipboardTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)cancellation;
    const auto content = getStringArgument(arguments, "content", true);
    if (content.failed())
        co_return errorResult(content.errorText());
    const std::shared_ptr<Clipboard> clipboard = m_clipboard;
    const ClipboardWrite write = co_await clipboard->setText(*content);
    if (!write.copied)
        co_return errorResult(QStringLiteral("Clipboard is not available: ") + write.failure);
    co_return successResult(QStringLiteral("Successfully copied %1 characters to clipboard").arg(characterCount(*content)));
}

qsizetype SetClipboardTool::characterCount(const QString& text)
{
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (boundaries.toNextBoundary() != -1)
        ++count;
    return count;
}
