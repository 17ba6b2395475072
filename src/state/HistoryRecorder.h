#pragma once

#include "protocol/AnyCodable.h"
#include "state/HistoryRecord.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

class ActivityLog;
class Clock;
class HistoryStore;
class SettingsManager;

// Keeps every tool call this process answers in the history database. Calls are collected on
// the main thread and written in one transaction per batch by a thread of its own, at most
// kFlushDelay after the first of them; a process that dies loses at most that much.
//
// historyDays decides, as it is when each call is recorded: 0 records nothing. Records older
// than historyDays are removed at start and once a day (removing nothing when it is 0).
class HistoryRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFlushDelay{250};
    static constexpr std::chrono::hours kRetentionInterval{24};
    // Calls kept in memory while the database cannot be written (busy past its timeout, or
    // unavailable) and tried again with the next batch; past this the oldest go.
    static constexpr std::size_t kMaxPending = 10'000;

    HistoryRecorder(QString databasePath, const SettingsManager& settings, ActivityLog& log, const Clock& clock, QObject* parent = nullptr);
    // Writes what is still pending.
    ~HistoryRecorder() override;

    bool isRecording() const;
    QString databasePath() const { return m_databasePath; }

    // When a call that took `durationMs` and ends now started, by the injected clock.
    QDateTime startOfCallEndingNow(double durationMs) const;

    // One finished call; `record.arguments` is left empty and made from `arguments` off the
    // main thread. Without a time it gets startOfCallEndingNow's.
    void record(HistoryRecord record, Json arguments);

    // Writes everything recorded so far and returns when it is written (or failed).
    void flush();

    // Removes what is older than historyDays: with the first write after a start, and daily by
    // itself.
    void applyRetention();

Q_SIGNALS:
    // A batch went to the database (for tests and observers).
    void written(int count);

private:
    struct Pending {
        HistoryRecord record;
        Json arguments;
    };
    void writePending();
    // The writer's event receiver, its thread started if it was not.
    QObject* worker();
    static void announceMovedAside(const QPointer<HistoryRecorder>& self, const QString& movedAsideTo);
    // Opens the database on the writer's thread if it is not open yet; whether it is.
    static bool openIfClosed(HistoryStore& store, const QDateTime& now, const QPointer<HistoryRecorder>& self);
    void report(const QString& movedAsideTo);

    const QString m_databasePath;
    const SettingsManager& m_settings;
    ActivityLog& m_log;
    const Clock& m_clock;
    QThread m_thread;
    // Lives in m_thread and is its event receiver: the store is only ever touched there.
    QObject* m_worker = nullptr;
    std::shared_ptr<HistoryStore> m_store;
    // Touched in m_thread only, like the store.
    std::shared_ptr<QList<HistoryRecord>> m_unwritten = std::make_shared<QList<HistoryRecord>>();
    // The retention a start owes, applied with the first write: a client's process that records
    // nothing never opens the database (what reads the history applies it too).
    bool m_retentionDue = true;
    std::vector<Pending> m_pending;
    QTimer m_flushTimer;
    QTimer m_retentionTimer;
};
