#include "tools/system/GetClipboardTool.h"

#include "platform/processes/Log.h"
#include "platform/session/Clipboard.h"

ZARNEL_LOGGING_CATEGORY(lcGetClipboard, "GetClipboardTool")

namespace {

MCPToolCallResponse imageResult(const QByteArray& png)
{
    MCPToolCallResponse response;
    response.content.push_back(MCPContent::image(png.toBase64().toStdString(), "image/png"));
    return response;
}

} // namespace

GetClipboardTool::GetClipboardTool(std::shared_ptr<Clipboard> clipboard)
    : BaseTool(lcGetClipboard())
    , m_clipboard(std::move(clipboard))
{
}

MCPTool GetClipboardTool::definition() const
{
    return makeDefinition("get_clipboard", "Get the current clipboard contents. Supports text, images, and file URLs.", {}, {});
}

QCoro::Task<MCPToolCallResponse> GetClipboardTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)arguments;
    (void)cancellation;
    // An empty clipboard and none at all are different answers.
    // Held here: the tool may be replaced while the clipboard answers.
    const std::shared_ptr<Clipboard> clipboard = m_clipboard;
    if (const auto reason = co_await clipboard->unavailableReason())
        co_return errorResult(QStringLiteral("Clipboard is not available: ") + *reason);
    if (const auto text = co_await clipboard->text())
        co_return successResult(QStringLiteral("Clipboard text:\n\n") + *text);
    if (const auto png = co_await clipboard->imagePng())
        co_return imageResult(*png);
    if (const auto paths = co_await clipboard->filePaths())
        co_return successResult(QStringLiteral("Clipboard file URLs:\n\n") + paths->join(QLatin1Char('\n')));
    co_return errorResult(QStringLiteral("Clipboard is empty or contains unsupported content"));
}
