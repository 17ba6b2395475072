#pragma once

#include "tools/BaseTool.h"

#include <memory>

class NotificationService;

// send_notification: posts a desktop notification with a title and a body.
class SendNotificationTool final : public BaseTool {
public:
    explicit SendNotificationTool(std::shared_ptr<NotificationService> notifications);

    MCPTool definition() const override;
    QCoro::Task<MCPToolCallResponse> execute(Arguments arguments, CancellationToken cancellation) override;

private:
    std::shared_ptr<NotificationService> m_notifications;
};
