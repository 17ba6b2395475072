#include "tools/system/SendNotificationTool.h"

#include "platform/processes/Log.h"
#include "platform/session/NotificationService.h"

ZARNEL_LOGGING_CATEGORY(lcSendNotification, "SendNotificationTool")

SendNotificationTool::SendNotificationTool(std::shared_ptr<NotificationService> notifications)
    : BaseTool(lcSendNotification())
    , m_notifications(std::move(notifications))
{
}

MCPTool SendNotificationTool::definition() const
{
    return makeDefinition("send_notification", "Send a desktop notification with title and body.",
                          {{"title", "string", "Notification title"},
                           {"body", "string", "Notification body"},
                           {"sound", "boolean", "Play notification sound (default: true)"}},
                          {"title", "body"});
}

QCoro::Task<MCPToolCallResponse> SendNotificationTool::execute(Arguments arguments, CancellationToken cancellation)
{
    (void)cancellation;
    const auto title = getStringArgument(arguments, "title", true);
    const auto body = getStringArgument(arguments, "body", true);
    if (title.failed() || body.failed())
        co_return errorResult(QStringLiteral("Missing required arguments"));
    const bool sound = getBoolArgument(arguments, "sound", true);

    // The service outlives this call even if the tool does not.
    const auto notifications = m_notifications;
    const NotificationDelivery delivery = co_await notifications->notify(*title, *body, sound);
    switch (delivery.status) {
    case NotificationDelivery::Status::Sent: break;
    case NotificationDelivery::Status::NoSession:
        // The bus library's own text ("Unable to autolaunch a dbus-daemon without a $DISPLAY")
        // tells an assistant nothing it can act on.
        co_return errorResult(QStringLiteral("Notifications are not available: no desktop session"));
    case NotificationDelivery::Status::ServiceUnavailable:
        co_return errorResult(QStringLiteral("Failed to request notification permission: ") + delivery.error);
    case NotificationDelivery::Status::Rejected: co_return errorResult(QStringLiteral("Failed to send notification: ") + delivery.error);
    }
    co_return successResult(QStringLiteral("Notification sent: ") + *title);
}
