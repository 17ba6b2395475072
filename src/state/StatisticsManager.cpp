#include "state/StatisticsManager.h"

#include "platform/processes/Clock.h"
#include "platform/processes/Log.h"
#include "platform/store/PreferencesStore.h"
#include "protocol/AnyCodable.h"
#include "protocol/JsonWriter.h"
#include "state/RandomUuid.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const QString kTotalRequests = QStringLiteral("stats_totalRequests");
const QString kTotalToolCalls = QStringLiteral("stats_totalToolCalls");
const QString kTotalErrors = QStringLiteral("stats_totalErrors");
const QString kTotalUptime = QStringLiteral("stats_totalUptime");
const QString kToolUsage = QStringLiteral("stats_toolUsage");
const QString kConnectionHistory = QStringLiteral("stats_connectionHistory");
const QString kServedStretches = QStringLiteral("stats_servedStretches");
// Stretches are kept for a week and at most this many: a process that served longer without
// saving, or older overlaps, are counted as they were recorded.
constexpr qint64 kServedMemoryMs = 7LL * 24 * 3600 * 1000;
constexpr qsizetype kMaxServedStretches = 256;

} // namespace

StatisticsManager::StatisticsManager(PreferencesStore& store, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
{
    m_sessionStartTime = m_statistics.sessionStartTime = m_clock.now();
    load();
    m_saveTimer = new QTimer(this);
    m_saveTimer->setInterval(kSaveIntervalMs);
    connect(m_saveTimer, &QTimer::timeout, this, &StatisticsManager::saveIfNeeded);
    m_saveTimer->start();
}

StatisticsManager::~StatisticsManager() = default;

double StatisticsManager::averageResponseTime() const
{
    double duration = 0.0;
    qint64 calls = 0;
    for (const ToolUsage& usage : m_statistics.toolUsage) {
        duration += usage.totalDuration;
        calls += usage.callCount;
    }
    return calls > 0 ? duration / static_cast<double>(calls) : 0.0;
}

double StatisticsManager::successRate() const
{
    const qint64 calls = m_statistics.totalToolCalls;
    if (calls < 1)
        return 1.0;
    // Errors counted by recordError have no tool call of their own and can outnumber the calls.
    const double rate = static_cast<double>(calls - m_statistics.totalErrors) / static_cast<double>(calls);
    return std::clamp(rate, 0.0, 1.0);
}

QList<ToolUsage> StatisticsManager::topTools() const
{
    QList<ToolUsage> tools = m_statistics.toolUsage.values();
    std::stable_sort(tools.begin(), tools.end(), [](const ToolUsage& a, const ToolUsage& b) { return a.callCount > b.callCount; });
    if (tools.size() > kTopToolCount)
        tools.resize(kTopToolCount);
    return tools;
}

SessionFigures StatisticsManager::session(qsizetype recentCalls) const
{
    return SessionFigures{m_statistics.sessionRequests, m_statistics.sessionToolCalls, m_statistics.sessionStartTime,
                          m_statistics.recentCalls.first(std::min(recentCalls, m_statistics.recentCalls.size()))};
}

void StatisticsManager::startSession()
{
    m_sessionStartTime = m_statistics.sessionStartTime = m_clock.now();
    m_servedSince = m_sessionStartTime;
    m_statistics.sessionRequests = 0;
    m_statistics.sessionToolCalls = 0;
    Q_EMIT statisticsChanged();
    Q_EMIT sessionChanged();
}

void StatisticsManager::endSession()
{
    recordServedUntilNow();
    m_servedSince.reset();
    save();
}

void StatisticsManager::recordServedUntilNow()
{
    if (!m_servedSince)
        return;
    const QDateTime now = m_clock.now();
    // A wall clock set back must not take uptime away.
    if (now > *m_servedSince)
        m_unsaved.served.append(Served{m_servedSince->toMSecsSinceEpoch(), now.toMSecsSinceEpoch()});
    m_servedSince = now;
}

void StatisticsManager::addServed(Persistent& into, const Served& stretch)
{
    if (stretch.endMs <= stretch.startMs)
        return;
    qint64 counted = 0;
    Served merged = stretch;
    QList<Served> kept;
    for (const Served& known : into.served) {
        if (known.endMs < stretch.startMs || known.startMs > stretch.endMs) {
            kept.append(known);
            continue;
        }
        counted += std::min(known.endMs, stretch.endMs) - std::max(known.startMs, stretch.startMs);
        merged.startMs = std::min(merged.startMs, known.startMs);
        merged.endMs = std::max(merged.endMs, known.endMs);
    }
    into.totalUptime += static_cast<double>(stretch.endMs - stretch.startMs - counted) / 1000.0;
    kept.append(merged);
    std::sort(kept.begin(), kept.end(), [](const Served& a, const Served& b) { return a.startMs < b.startMs; });
    const qint64 newest = kept.last().endMs;
    kept.removeIf([&](const Served& old) { return old.endMs < newest - kServedMemoryMs; });
    if (kept.size() > kMaxServedStretches)
        kept.remove(0, kept.size() - kMaxServedStretches);
    into.served = kept;
}

void StatisticsManager::recordRequest()
{
    ++m_statistics.totalRequests;
    ++m_statistics.sessionRequests;
    ++m_unsaved.totalRequests;
    m_needsSave = true;
    Q_EMIT statisticsChanged();
    Q_EMIT sessionChanged();
}

void StatisticsManager::recordConnection(const QString& clientName, const QString& clientVersion)
{
    // The client chooses these texts; kept whole, fifty records could grow the settings file by megabytes.
    const ConnectionRecord connection{RandomUuid::create(), Log::clip(clientName), Log::clip(clientVersion), m_clock.now()};
    for (QList<ConnectionRecord>* history : {&m_statistics.connectionHistory, &m_unsaved.connectionHistory}) {
        history->prepend(connection);
        if (history->size() > kMaxConnections)
            history->removeLast();
    }
    m_needsSave = true;
    Q_EMIT statisticsChanged();
}

void StatisticsManager::countToolCall(ToolUsage& usage, double durationSeconds, bool success, const QDateTime& now)
{
    ++usage.callCount;
    usage.totalDuration += durationSeconds;
    usage.averageDuration = usage.totalDuration / static_cast<double>(usage.callCount);
    usage.lastUsed = now;
    ++(success ? usage.successCount : usage.failureCount);
}

void StatisticsManager::recordToolCall(const QString& name, double durationSeconds, bool success)
{
    countCall(name, durationSeconds, success, true);
}

void StatisticsManager::recordUnknownToolCall(const QString& name, double durationSeconds)
{
    countCall(Log::clip(name), durationSeconds, false, false);
}

void StatisticsManager::countCall(const QString& name, double durationSeconds, bool success, bool known)
{
    // A duration that is not a number would be stored as null and make the whole usage list
    // unreadable at the next start.
    if (!std::isfinite(durationSeconds) || durationSeconds < 0)
        durationSeconds = 0.0;
    const QDateTime now = m_clock.now();

    ++m_statistics.totalToolCalls;
    ++m_statistics.sessionToolCalls;
    ++m_unsaved.totalToolCalls;
    if (!success) {
        ++m_statistics.totalErrors;
        ++m_unsaved.totalErrors;
    }
    for (QMap<QString, ToolUsage>* usages : {&m_statistics.toolUsage, &m_unsaved.toolUsage}) {
        auto it = usages->find(name);
        if (it == usages->end() && known)
            it = usages->insert(name, ToolUsage{name, 0, 0, 0, 0.0, 0.0, now});
        if (it != usages->end())
            countToolCall(*it, durationSeconds, success, now);
    }

    m_statistics.recentCalls.prepend(ToolCallRecord{RandomUuid::create(), name, now, durationSeconds, success});
    if (m_statistics.recentCalls.size() > kMaxRecentCalls)
        m_statistics.recentCalls.removeLast();
    m_needsSave = true;
    Q_EMIT statisticsChanged();
    Q_EMIT sessionChanged();
}

void StatisticsManager::recordError()
{
    ++m_statistics.totalErrors;
    ++m_unsaved.totalErrors;
    m_needsSave = true;
    Q_EMIT statisticsChanged();
}

StatisticsManager::Persistent StatisticsManager::combine(const Persistent& stored, const Persistent& recorded)
{
    Persistent result = stored;
    result.totalRequests += recorded.totalRequests;
    result.totalToolCalls += recorded.totalToolCalls;
    result.totalErrors += recorded.totalErrors;
    result.totalUptime += recorded.totalUptime;
    for (const Served& stretch : recorded.served)
        addServed(result, stretch);

    for (const ToolUsage& added : recorded.toolUsage) {
        auto it = result.toolUsage.find(added.name);
        if (it == result.toolUsage.end()) {
            result.toolUsage.insert(added.name, added);
            continue;
        }
        ToolUsage& usage = *it;
        usage.callCount += added.callCount;
        usage.successCount += added.successCount;
        usage.failureCount += added.failureCount;
        usage.totalDuration += added.totalDuration;
        usage.averageDuration = usage.callCount > 0 ? usage.totalDuration / static_cast<double>(usage.callCount) : 0.0;
        usage.lastUsed = std::max(usage.lastUsed, added.lastUsed);
    }

    if (!recorded.connectionHistory.isEmpty()) {
        // Records are merged by id; ours are the newer at equal times, so they go first.
        QList<ConnectionRecord> merged = recorded.connectionHistory;
        for (const ConnectionRecord& connection : stored.connectionHistory) {
            const bool known =
                std::any_of(merged.cbegin(), merged.cend(), [&](const ConnectionRecord& other) { return other.id == connection.id; });
            if (!known)
                merged.append(connection);
        }
        std::stable_sort(merged.begin(), merged.end(),
                         [](const ConnectionRecord& a, const ConnectionRecord& b) { return a.timestamp > b.timestamp; });
        if (merged.size() > kMaxConnections)
            merged.resize(kMaxConnections);
        result.connectionHistory = merged;
    }
    return result;
}

// A missing key reads as zero or empty. A value that is there but cannot be read (a damaged
// file) keeps what this process last knew, so that the next save writes sound figures.
StatisticsManager::Persistent StatisticsManager::readStored(const Persistent& fallback) const
{
    const auto counter = [&](const QString& key, qint64 known) -> qint64 {
        return m_store.contains(key) ? m_store.readInteger(key).value_or(known) : 0;
    };
    Persistent stored;
    stored.totalRequests = counter(kTotalRequests, fallback.totalRequests);
    stored.totalToolCalls = counter(kTotalToolCalls, fallback.totalToolCalls);
    stored.totalErrors = counter(kTotalErrors, fallback.totalErrors);
    if (m_store.contains(kTotalUptime))
        stored.totalUptime = m_store.readDouble(kTotalUptime).value_or(fallback.totalUptime);

    if (m_store.contains(kToolUsage)) {
        const auto data = m_store.readData(kToolUsage);
        const auto usages = data ? StatisticsJson::decodeToolUsageList(*data) : std::nullopt;
        if (usages) {
            // A name written twice (only a hand edit does that) keeps its last entry.
            for (const ToolUsage& usage : *usages)
                stored.toolUsage.insert(usage.name, usage);
        } else {
            stored.toolUsage = fallback.toolUsage;
        }
    }
    if (m_store.contains(kServedStretches)) {
        const auto data = m_store.readData(kServedStretches);
        const auto parsed = data ? json::parse(std::string_view(data->constData(), static_cast<std::size_t>(data->size()))) : std::nullopt;
        stored.served = fallback.served;
        if (parsed && parsed->is_array()) {
            stored.served.clear();
            for (const Json& pair : *parsed) {
                if (pair.is_array() && pair.size() == 2 && pair[0].is_number_integer() && pair[1].is_number_integer())
                    stored.served.append(Served{pair[0].get<qint64>(), pair[1].get<qint64>()});
            }
        }
    }
    if (m_store.contains(kConnectionHistory)) {
        const auto data = m_store.readData(kConnectionHistory);
        const auto connections = data ? StatisticsJson::decodeConnectionList(*data) : std::nullopt;
        stored.connectionHistory = connections ? *connections : fallback.connectionHistory;
    }
    return stored;
}

void StatisticsManager::writeStored(const Persistent& persistent)
{
    m_store.writeInteger(kTotalRequests, persistent.totalRequests);
    m_store.writeInteger(kTotalToolCalls, persistent.totalToolCalls);
    m_store.writeInteger(kTotalErrors, persistent.totalErrors);
    m_store.writeDouble(kTotalUptime, persistent.totalUptime);
    m_store.writeData(kToolUsage, StatisticsJson::toBytes(StatisticsJson::encodeList(persistent.toolUsage.values())));
    m_store.writeData(kConnectionHistory, StatisticsJson::toBytes(StatisticsJson::encodeList(persistent.connectionHistory)));
    Json served = Json::array();
    for (const Served& stretch : persistent.served)
        served.push_back(Json::array({stretch.startMs, stretch.endMs}));
    m_store.writeData(kServedStretches, StatisticsJson::toBytes(served));
}

void StatisticsManager::show(const Persistent& persistent)
{
    m_statistics.totalRequests = persistent.totalRequests;
    m_statistics.totalToolCalls = persistent.totalToolCalls;
    m_statistics.totalErrors = persistent.totalErrors;
    m_statistics.totalUptime = persistent.totalUptime;
    m_statistics.toolUsage = persistent.toolUsage;
    m_statistics.connectionHistory = persistent.connectionHistory;
    Q_EMIT statisticsChanged();
}

void StatisticsManager::save()
{
    recordServedUntilNow();
    // Nothing new: the store is not rewritten (a client's process ends with a stop and a
    // shutdown, each of which saves).
    if (m_unsaved.isEmpty()) {
        m_needsSave = false;
        return;
    }
    Persistent merged;
    const bool updated = m_store.updateExclusively([&] {
        merged = combine(readStored(m_lastStored), m_unsaved);
        writeStored(merged);
    });
    // What the store could not take now stays recorded here for the save timer's next round.
    m_needsSave = !updated;
    if (!updated)
        return;
    m_lastStored = merged;
    m_unsaved = Persistent{};
    show(merged);
}

void StatisticsManager::saveNow()
{
    save();
}

void StatisticsManager::saveIfNeeded()
{
    if (m_needsSave)
        save();
}

void StatisticsManager::load()
{
    m_store.sync();
    m_lastStored = readStored(m_lastStored);
    show(combine(m_lastStored, m_unsaved));
}

void StatisticsManager::resetStatistics()
{
    const auto removeStored = [&] {
        for (const QString& key :
             {kTotalRequests, kTotalToolCalls, kTotalErrors, kTotalUptime, kToolUsage, kConnectionHistory, kServedStretches})
            m_store.remove(key);
    };
    if (!m_store.updateExclusively(removeStored)) {
        // A reset someone asked for is not put off: made without the lock, and written as soon
        // as the store can be written.
        removeStored();
        m_store.sync();
    }
    m_statistics = ServerStatistics{};
    m_statistics.sessionStartTime = m_clock.now();
    m_lastStored = Persistent{};
    m_unsaved = Persistent{};
    m_needsSave = false;
    Q_EMIT statisticsChanged();
    Q_EMIT sessionChanged();
}

std::optional<QString> StatisticsManager::exportStatistics() const
{
    // The records as stored, but with their moments in ISO 8601: the stored form counts seconds
    // from 2001, which nothing that reads an export expects.
    Json toolUsage = Json::array();
    for (const ToolUsage& usage : m_statistics.toolUsage) {
        Json record = StatisticsJson::encode(usage);
        record["lastUsed"] = StatisticsJson::isoTime(usage.lastUsed);
        toolUsage.push_back(std::move(record));
    }
    Json connections = Json::array();
    for (const ConnectionRecord& connection : m_statistics.connectionHistory) {
        Json record = StatisticsJson::encode(connection);
        record["timestamp"] = StatisticsJson::isoTime(connection.timestamp);
        connections.push_back(std::move(record));
    }
    const Json statistics{
        {"totalRequests", m_statistics.totalRequests}, {"totalToolCalls", m_statistics.totalToolCalls},
        {"totalErrors", m_statistics.totalErrors},     {"totalUptime", m_statistics.totalUptime},
        {"toolUsage", std::move(toolUsage)},           {"connectionHistory", std::move(connections)},
    };
    const Json document{
        {"exportDate", StatisticsJson::isoTime(m_clock.now())},
        {"version", kExportVersion},
        {"statistics", statistics},
    };
    // The writer replaces what is not UTF-8, so the text is always valid.
    return QString::fromStdString(JsonWriter::pretty(document));
}
