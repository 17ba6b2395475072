#include "tools/system/SendNotificationTool.h"

#include "platform/session/NotificationService.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

namespace {

class FakeNotificationService final : public NotificationService {
public:
    NotificationDelivery answer;
    QString title;
    QString body;
    std::optional<bool> sound;

    QCoro::Task<NotificationDelivery> notify(QString title_, QString body_, bool sound_) override
    {
        title = title_;
        body = body_;
        sound = sound_;
        co_return answer;
    }
};

MCPToolCallResponse send(const std::shared_ptr<FakeNotificationService>& service, const Arguments& arguments)
{
    return callTool(SendNotificationTool(service), arguments);
}

} // namespace

TEST(SendNotification, PostsTitleBodyAndSound)
{
    auto service = std::make_shared<FakeNotificationService>();
    EXPECT_EQ(success(send(service, {{"title", "Build"}, {"body", "done"}})), "Notification sent: Build");
    EXPECT_EQ(service->title, QStringLiteral("Build"));
    EXPECT_EQ(service->body, QStringLiteral("done"));
    EXPECT_EQ(service->sound, true);

    send(service, {{"title", "t"}, {"body", "b"}, {"sound", false}});
    EXPECT_EQ(service->sound, false);
}

TEST(SendNotification, ReportsMissingArgumentsAndServiceFailures)
{
    auto service = std::make_shared<FakeNotificationService>();
    EXPECT_EQ(failure(send(service, {{"title", "t"}})), "Missing required arguments");
    EXPECT_FALSE(service->sound.has_value());

    service->answer.status = NotificationDelivery::Status::NoSession;
    service->answer.error = QStringLiteral("Unable to autolaunch a dbus-daemon without a $DISPLAY for X11");
    EXPECT_EQ(failure(send(service, {{"title", "t"}, {"body", "b"}})), "Notifications are not available: no desktop session");

    service->answer.status = NotificationDelivery::Status::ServiceUnavailable;
    service->answer.error = QStringLiteral("no bus");
    EXPECT_EQ(failure(send(service, {{"title", "t"}, {"body", "b"}})), "Failed to request notification permission: no bus");

    service->answer.status = NotificationDelivery::Status::Rejected;
    service->answer.error = QStringLiteral("too long");
    EXPECT_EQ(failure(send(service, {{"title", "t"}, {"body", "b"}})), "Failed to send notification: too long");
}
