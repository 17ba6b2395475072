#pragma once

#include "server/ActivityLogEntry.h"

#include <QList>
#include <QObject>

class Clock;
class SettingsManager;

// The user-visible record of what the server did, newest entry first, filtered by the log
// level and bounded by maxLogEntries. In memory only.
class ActivityLog : public QObject {
    Q_OBJECT
public:
    ActivityLog(const SettingsManager& settings, const Clock& clock, QObject* parent = nullptr);

    const QList<ActivityLogEntry>& entries() const { return m_entries; }

    // Whether an entry of this type is kept under the current settings.
    bool shouldLog(LogType type) const;

    // Appends one entry if the filter keeps it, then trims to maxLogEntries.
    void add(const QString& message, LogType type);

    // Empties the log; writes no entry.
    void clear();

Q_SIGNALS:
    void entriesChanged();
    void entryAdded(const ActivityLogEntry& entry);

private:
    const SettingsManager& m_settings;
    const Clock& m_clock;
    QList<ActivityLogEntry> m_entries;
};
