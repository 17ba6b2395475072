#pragma once

#include "state/ActivityLogEntry.h"

#include <QList>
#include <QObject>

class Clock;
class SettingsManager;

// An exported log: what goes in the file, and the name offered for it.
struct ActivityLogDocument {
    QString suggestedFileName;
    QByteArray contents; // UTF-8
};

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

    // The whole log, newest first, as a plain-text report and as a JSON array.
    ActivityLogDocument exportText() const;
    ActivityLogDocument exportJson() const;
    // The same documents for any list of entries (newest first), generated at `now`.
    static ActivityLogDocument exportText(const QList<ActivityLogEntry>& entries, const QDateTime& now);
    static ActivityLogDocument exportJson(const QList<ActivityLogEntry>& entries, const QDateTime& now);

Q_SIGNALS:
    void entriesChanged();
    void entryAdded(const ActivityLogEntry& entry);

private:
    static QString suggestedFileName(const char* extension, const QDateTime& now);

    const SettingsManager& m_settings;
    const Clock& m_clock;
    QList<ActivityLogEntry> m_entries;
};
