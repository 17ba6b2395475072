#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <memory>

class NotificationService;

// What the session bus library offers: Qt D-Bus and what talks over it. A client's process
// that posts no notification and finds its session in its environment never loads it.
struct SessionBusLibraryFunctions {
    int version;
    NotificationService* (*createNotificationService)();
    // The environment the systemd user manager on the bus at `busAddress` hands to the user's
    // services; empty when no manager answers within `timeoutMs`.
    QHash<QString, QString> (*userManagerEnvironment)(const QString& busAddress, int timeoutMs);
};

inline constexpr int kSessionBusLibraryVersion = 1;
#define ZARNEL_SESSION_BUS_LIBRARY_ENTRY "zarnel_session_bus_library"

namespace SessionBusLibrary {

// Loaded on the first call; null when it cannot be, and `loadError()` says why.
const SessionBusLibraryFunctions* functions();
QString loadError();

// The desktop's notification service, reached when the first notification is posted.
std::shared_ptr<NotificationService> notifications();

// See SessionBusLibraryFunctions; empty when the library cannot be loaded.
QHash<QString, QString> userManagerEnvironment(const QString& busAddress, std::chrono::milliseconds timeout);

} // namespace SessionBusLibrary
