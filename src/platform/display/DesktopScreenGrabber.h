#pragma once

#include "platform/session/ScreenGrabber.h"

#include <QDBusConnection>
#include <QStringList>

#include <chrono>

// Screen capture on the display we are connected to: in-process on X11; on Wayland through the
// desktop's screenshot portal, or an installed command-line grabber when no portal answers.
class DesktopScreenGrabber final : public ScreenGrabber {
public:
    explicit DesktopScreenGrabber(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                                  std::chrono::milliseconds timeLimit = std::chrono::seconds(30));

    bool hasScreen() const override;
    QCoro::Task<ScreenCapture> captureToFile(QString path) override;

    // Wayland's two ways, reachable on their own for tests. Each answers nullopt when it is not
    // available at all, so that the caller can try the next.
    static QCoro::Task<std::optional<ScreenCapture>> captureThroughPortal(QDBusConnection bus, QString path,
                                                                          std::chrono::milliseconds timeLimit);
    static QCoro::Task<std::optional<ScreenCapture>> captureWithCommand(QStringList searchPath, QString path,
                                                                        std::chrono::milliseconds timeLimit);

private:
    QDBusConnection m_bus;
    std::chrono::milliseconds m_timeLimit;
};
