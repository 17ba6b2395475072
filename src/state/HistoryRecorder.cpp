#include "state/HistoryRecorder.h"

#include "platform/processes/Clock.h"
#include "platform/processes/Log.h"
#include "protocol/JsonWriter.h"
#include "state/ActivityLog.h"
#include "state/HistoryArguments.h"
#include "state/HistoryStore.h"
#include "state/SettingsManager.h"

#include <QCoreApplication>
#include <QPointer>

#include <utility>

ZARNEL_LOGGING_CATEGORY(lcRecorder, "HistoryRecorder")

HistoryRecorder::HistoryRecorder(QString databasePath, const SettingsManager& settings, ActivityLog& log, const Clock& clock,
                                 QObject* parent)
    : QObject(parent)
    , m_databasePath(databasePath)
    , m_settings(settings)
    , m_log(log)
    , m_clock(clock)
    , m_store(std::make_shared<HistoryStore>(m_databasePath))
{
    m_thread.setObjectName(QStringLiteral("history"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);

    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushDelay);
    connect(&m_flushTimer, &QTimer::timeout, this, &HistoryRecorder::writePending);

    m_retentionTimer.setInterval(std::chrono::duration_cast<std::chrono::milliseconds>(kRetentionInterval));
    connect(&m_retentionTimer, &QTimer::timeout, this, &HistoryRecorder::applyRetention);
    m_retentionTimer.start();
}

HistoryRecorder::~HistoryRecorder()
{
    flush();
    if (m_thread.isRunning()) {
        // The connection is closed in the thread that opened it.
        QMetaObject::invokeMethod(
            m_worker, [this] { m_store.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    delete m_worker;
}

bool HistoryRecorder::isRecording() const
{
    return m_settings.historyDays() > 0;
}

QDateTime HistoryRecorder::startOfCallEndingNow(double durationMs) const
{
    return m_clock.now().addMSecs(-static_cast<qint64>(durationMs));
}

void HistoryRecorder::record(HistoryRecord record, Json arguments)
{
    if (!isRecording())
        return;
    if (!record.time.isValid())
        record.time = startOfCallEndingNow(record.durationMs);
    if (record.processId == 0)
        record.processId = QCoreApplication::applicationPid();
    if (m_pending.size() >= kMaxPending)
        m_pending.erase(m_pending.begin());
    m_pending.push_back(Pending{std::move(record), std::move(arguments)});
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void HistoryRecorder::writePending()
{
    m_flushTimer.stop();
    if (m_pending.empty())
        return;
    if (std::exchange(m_retentionDue, false))
        applyRetention();
    auto batch = std::make_shared<std::vector<Pending>>(std::move(m_pending));
    m_pending.clear();
    const QDateTime now = m_clock.now();
    QPointer<HistoryRecorder> self(this);
    QMetaObject::invokeMethod(worker(), [store = m_store, unwritten = m_unwritten, batch, now, self] {
        // What the last batches could not write goes first, in the order it was answered.
        QList<HistoryRecord> records = std::move(*unwritten);
        unwritten->clear();
        records.reserve(records.size() + static_cast<qsizetype>(batch->size()));
        for (Pending& each : *batch) {
            const Json kept = HistoryArguments::keep(each.record.tool.toStdString(), each.arguments);
            each.record.arguments = QString::fromStdString(JsonWriter::compact(kept));
            records.append(std::move(each.record));
        }
        // A database that could not be opened before (its folder unusable for a while) is tried again.
        const bool opened = openIfClosed(*store, now, self);
        HistoryStore::Write result = opened ? store->append(records) : HistoryStore::Write::Failed;
        if (result == HistoryStore::Write::Damaged) {
            const HistoryStore::Opening opening = store->startOver(now);
            announceMovedAside(self, opening.movedAsideTo);
            if (opening.opened)
                result = store->append(records);
        }
        if (result != HistoryStore::Write::Written) {
            qCCritical(lcRecorder, "%lld tool calls not yet kept in the history: %s", static_cast<long long>(records.size()),
                       qUtf8Printable(store->problem()));
            // Kept for the next batch, the oldest dropped past the bound.
            const auto excess = records.size() - static_cast<qsizetype>(kMaxPending);
            if (excess > 0)
                records.remove(0, excess);
            *unwritten = std::move(records);
            return;
        }
        QMetaObject::invokeMethod(self, [self, count = static_cast<int>(records.size())] {
            if (self)
                Q_EMIT self->written(count);
        });
    });
}

void HistoryRecorder::flush()
{
    writePending();
    if (!m_thread.isRunning())
        return;
    // The worker takes its work in order: once this runs, everything posted before is done.
    QMetaObject::invokeMethod(
        m_worker, [] {}, Qt::BlockingQueuedConnection);
}

void HistoryRecorder::applyRetention()
{
    const qint64 days = m_settings.historyDays();
    if (days <= 0)
        return;
    const QDateTime now = m_clock.now();
    QPointer<HistoryRecorder> self(this);
    QMetaObject::invokeMethod(worker(), [store = m_store, now, days, self] {
        if (!openIfClosed(*store, now, self))
            return;
        const qint64 removed = store->keepDays(days, now);
        if (removed > 0)
            qCInfo(lcRecorder, "Removed %lld history records older than %lld days", static_cast<long long>(removed),
                   static_cast<long long>(days));
    });
}

QObject* HistoryRecorder::worker()
{
    // Started with the first work: a client's process that records nothing spends no thread
    // (nor its event loop) on the history.
    if (!m_thread.isRunning())
        m_thread.start(QThread::LowPriority);
    return m_worker;
}

bool HistoryRecorder::openIfClosed(HistoryStore& store, const QDateTime& now, const QPointer<HistoryRecorder>& self)
{
    if (store.isOpen())
        return true;
    const HistoryStore::Opening opening = store.open(now);
    if (!opening.opened)
        qCCritical(lcRecorder, "History not kept: %s", qUtf8Printable(opening.problem));
    announceMovedAside(self, opening.movedAsideTo);
    return opening.opened;
}

void HistoryRecorder::announceMovedAside(const QPointer<HistoryRecorder>& self, const QString& movedAsideTo)
{
    if (movedAsideTo.isEmpty())
        return;
    // From the writer's thread to the activity log's.
    QMetaObject::invokeMethod(self, [self, movedAsideTo] {
        if (self)
            self->report(movedAsideTo);
    });
}

void HistoryRecorder::report(const QString& movedAsideTo)
{
    m_log.add(QStringLiteral("History database was unusable; moved it to %1 and started a new one").arg(movedAsideTo), LogType::Error);
}
