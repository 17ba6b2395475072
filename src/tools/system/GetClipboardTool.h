#pragma once

#include "tools/BaseTool.h"

#include <memory>

class Clipboard;

// get_clipboard: the clipboard's text, else its image, else its file URLs.
class GetClipboardTool final : public BaseTool {
public:
    explicit GetClipboardTool(std::shared_ptr<Clipboard> clipboard);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    std::shared_ptr<Clipboard> m_clipboard;
};
