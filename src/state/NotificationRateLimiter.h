#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;

// Something the desktop instance tells the user about.
struct DesktopEvent {
    enum class Kind { ClientConnected, ToolCallFailed };
    Kind kind = Kind::ClientConnected;
    // The client's name and version, or the tool's name.
    QString subject;
    // Why the call failed, when known.
    QString reason;
};

struct DesktopNotification {
    QString title;
    QString body;
};

// Lets at most one notification through per interval. An event arriving sooner is held, and
// everything held is summed into the one notification that goes out when the interval has passed
// ("3 tool calls failed").
class NotificationRateLimiter {
public:
    static constexpr qint64 kIntervalMilliseconds = 10'000;

    explicit NotificationRateLimiter(const Clock& clock);

    // The notification to post now, or nothing when the event is held for the next one.
    std::optional<DesktopNotification> add(const DesktopEvent& event);
    // When the held events may go out; nothing when none are held.
    std::optional<QDateTime> nextPostingTime() const;
    // The summary of the held events once their time has come; nothing before, or when none are held.
    std::optional<DesktopNotification> takeDue();

    // The text of one notification about these events (one list may be empty). A single
    // failure is told with its reason, several by the tools' names.
    static DesktopNotification describe(const QStringList& connectedClients, const QList<DesktopEvent>& failures);

private:
    std::optional<DesktopNotification> post();

    const Clock& m_clock;
    std::optional<QDateTime> m_lastPosted;
    QStringList m_heldClients;
    QList<DesktopEvent> m_heldFailures;
};
