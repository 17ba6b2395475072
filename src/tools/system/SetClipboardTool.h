#pragma once

#include "tools/BaseTool.h"

#include <memory>

class Clipboard;

// set_clipboard: puts a text on the clipboard.
class SetClipboardTool final : public BaseTool {
public:
    explicit SetClipboardTool(std::shared_ptr<Clipboard> clipboard);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

    // What a reader counts as characters: an emoji made of several code points is one.
    static qsizetype characterCount(const QString& text);

private:
    std::shared_ptr<Clipboard> m_clipboard;
};
