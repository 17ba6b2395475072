#include "control/RunningInstances.h"

#include "control/ControlClient.h"
#include "control/ControlProtocol.h"
#include "control/ServerState.h"
#include "control/SettingValues.h"
#include "platform/files/FolderWatch.h"
#include "state/StatisticsManager.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>

using namespace ControlProtocol;

namespace {

// Applies a status event ("server", "connections") to what is known of a process; false for
// any other event.
bool applyStatusEvent(InstanceInfo& info, const QString& event, const Json& data)
{
    if (event == QLatin1String("server")) {
        info.running = data.value("running", false);
        info.waiting = data.value("waiting", false);
        return true;
    }
    if (event == QLatin1String("connections")) {
        info.connections = static_cast<int>(data.value("connections", qint64(0)));
        info.clientName = QString::fromStdString(data.value("clientName", std::string()));
        info.clientVersion = QString::fromStdString(data.value("clientVersion", std::string()));
        return true;
    }
    return false;
}

// A process's log, newest first, from what it answered and the events that came from the
// subscription on (oldest first). The answer holds what was logged before it; events from
// before the answer repeat some of that, so only those after its newest entry are added; after
// a clear, the events are the whole log.
QList<ActivityLogEntry> logSince(QList<ActivityLogEntry> answered, const QList<std::pair<QString, Json>>& events)
{
    QList<ActivityLogEntry> later;
    bool cleared = false;
    for (const auto& [event, data] : events) {
        if (event == QLatin1String("logEntry")) {
            if (auto entry = decodeEntry(data))
                later.append(*entry);
        } else if (event == QLatin1String("logCleared")) {
            later.clear();
            cleared = true;
        }
    }
    if (cleared) {
        answered.clear();
    } else if (!answered.isEmpty()) {
        const QUuid newest = answered.first().id;
        const auto known = std::find_if(later.cbegin(), later.cend(), [&](const ActivityLogEntry& e) { return e.id == newest; });
        if (known != later.cend())
            later.erase(later.cbegin(), known + 1);
    }
    for (const ActivityLogEntry& entry : std::as_const(later))
        answered.prepend(entry);
    return answered;
}

InstanceInfo infoFromStatus(const Json& status)
{
    InstanceInfo info;
    info.pid = status.value("pid", qint64(0));
    info.running = status.value("running", false);
    info.waiting = status.value("waiting", false);
    info.connections = static_cast<int>(status.value("connections", qint64(0)));
    info.clientName = QString::fromStdString(status.value("clientName", std::string()));
    info.clientVersion = QString::fromStdString(status.value("clientVersion", std::string()));
    info.desktop = status.value("desktop", false);
    if (const auto session = status.find("session"); session != status.end())
        info.session = decodeSession(*session);
    return info;
}

} // namespace

RunningInstances::RunningInstances(QObject* parent)
    : RunningInstances(ControlFolder(), parent)
{
}

RunningInstances::RunningInstances(const ControlFolder& folder, QObject* parent, int rescanIntervalMs)
    : QObject(parent)
    , m_folder(folder)
    , m_rescanTimer(new QTimer(this))
    , m_soon(new QTimer(this))
    , m_watch(new FolderWatch(this))
{
    m_rescanTimer->setInterval(rescanIntervalMs);
    connect(m_rescanTimer, &QTimer::timeout, this, &RunningInstances::refresh);
    // A socket appears when it is bound, a moment before it listens: looked at shortly after.
    m_soon->setSingleShot(true);
    m_soon->setInterval(kSettleMs);
    connect(m_soon, &QTimer::timeout, this, &RunningInstances::refresh);
    connect(m_watch, &FolderWatch::changed, this, [this] {
        if (!m_soon->isActive())
            m_soon->start();
    });
    m_rescanTimer->start();
    QTimer::singleShot(0, this, &RunningInstances::refresh);
}

RunningInstances::~RunningInstances() = default;

bool RunningInstances::anyRunning() const
{
    return std::any_of(m_instances.cbegin(), m_instances.cend(), [](const Instance& i) { return i.info.running; });
}

int RunningInstances::totalConnections() const
{
    int total = 0;
    for (const Instance& instance : m_instances)
        total += instance.info.connections;
    return total;
}

QList<InstanceInfo> RunningInstances::instances() const
{
    QList<InstanceInfo> list;
    for (const Instance& instance : m_instances)
        list.append(instance.info);
    return list;
}

QList<InstanceInfo> RunningInstances::waitingClients() const
{
    QList<InstanceInfo> list;
    for (const Instance& instance : m_instances) {
        if (instance.info.waiting)
            list.append(instance.info);
    }
    return list;
}

QList<InstanceLogEntry> RunningInstances::mergedLog() const
{
    QList<InstanceLogEntry> merged;
    for (auto it = m_instances.cbegin(); it != m_instances.cend(); ++it) {
        for (const ActivityLogEntry& entry : it->log)
            merged.append(InstanceLogEntry{entry, it.key(), it->info.clientName});
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const InstanceLogEntry& a, const InstanceLogEntry& b) { return a.entry.timestamp > b.entry.timestamp; });
    return merged;
}

SessionFigures RunningInstances::session() const
{
    SessionFigures total;
    for (const Instance& instance : m_instances) {
        const SessionFigures& each = instance.info.session;
        total.requests += each.requests;
        total.toolCalls += each.toolCalls;
        if (each.startTime.isValid() && (!total.startTime.isValid() || each.startTime < total.startTime))
            total.startTime = each.startTime;
        total.recentCalls += each.recentCalls;
    }
    std::stable_sort(total.recentCalls.begin(), total.recentCalls.end(),
                     [](const ToolCallRecord& a, const ToolCallRecord& b) { return a.timestamp > b.timestamp; });
    return total;
}

void RunningInstances::refresh()
{
    if (!m_folder.isUsable()) {
        m_watching = false;
        Q_EMIT scanned();
        return;
    }
    // Watched from the first look that finds the folder: a client's process started now shows
    // at once rather than at the next look.
    if (!m_watching)
        m_watching = m_watch->watch(m_folder.path());
    const QList<qint64> present = m_folder.socketProcessIds();
    m_scanning = true;
    for (const qint64 pid : present) {
        if (!m_instances.contains(pid) && !m_attaching.contains(pid))
            attach(pid);
    }
    m_scanning = false;
    for (const qint64 pid : m_instances.keys()) {
        if (!present.contains(pid))
            detach(pid);
    }
    if (m_attaching.isEmpty())
        Q_EMIT scanned();
}

void RunningInstances::finishAttaching(qint64 pid)
{
    m_attaching.removeAll(pid);
    if (m_attaching.isEmpty() && !m_scanning)
        Q_EMIT scanned();
}

QCoro::Task<> RunningInstances::attach(qint64 pid)
{
    m_attaching.append(pid);
    QPointer<RunningInstances> self(this);
    auto* client = new ControlClient(this);
    if (!client->connectTo(m_folder.socketPath(pid))) {
        m_folder.removeIfAbandoned(pid);
        finishAttaching(pid);
        client->deleteLater();
        co_return;
    }
    // Subscribed first, so nothing that happens while the answers below come is missed: the
    // events are kept and laid over the answers once they are in (an event that arrives right
    // after an answer is delivered before it).
    auto early = std::make_shared<QList<std::pair<QString, Json>>>();
    const QMetaObject::Connection keeping =
        connect(client, &ControlClient::eventReceived, this, [early](const QString& event, const Json& data) {
            early->append({event, data});
        });
    QCoro::Task<Reply> subscribing = client->request(std::string("subscribe"));
    const Reply subscribed = co_await subscribing;
    if (!self)
        co_return;
    Reply status = subscribed;
    if (subscribed.ok) {
        QCoro::Task<Reply> asking = client->request(std::string("status"));
        status = co_await asking;
    }
    if (!self)
        co_return;
    Reply log = status;
    if (status.ok) {
        QCoro::Task<Reply> asking = client->requestLog();
        log = co_await asking;
    }
    if (!self)
        co_return;
    disconnect(keeping);
    if (!log.ok) {
        client->deleteLater();
        finishAttaching(pid);
        co_return;
    }
    Instance instance;
    instance.client = client;
    instance.info = infoFromStatus(status.result);
    instance.info.pid = pid;
    // Each change sends an event, so the last one of each kind is at least as new as the status.
    for (const auto& [event, data] : std::as_const(*early))
        applyStatusEvent(instance.info, event, data);
    QList<ActivityLogEntry> answered;
    for (const Json& value : log.result.value("entries", Json::array())) {
        if (auto entry = decodeEntry(value))
            answered.append(*entry);
    }
    instance.log = logSince(std::move(answered), *early);
    m_instances.insert(pid, instance);
    connect(client, &ControlClient::eventReceived, this,
            [this, pid](const QString& event, const Json& data) { handleEvent(pid, event, data); });
    connect(client, &ControlClient::disconnected, this, [this, pid] { detach(pid); });
    Q_EMIT instanceAdded(pid, instance.log);
    Q_EMIT changed();
    finishAttaching(pid);
}

void RunningInstances::detach(qint64 pid)
{
    const auto it = m_instances.find(pid);
    if (it == m_instances.end())
        return;
    it->client->deleteLater();
    m_instances.erase(it);
    Q_EMIT changed();
}

void RunningInstances::handleEvent(qint64 pid, const QString& event, const Json& data)
{
    const auto it = m_instances.find(pid);
    if (it == m_instances.end())
        return;
    if (event == QLatin1String("logEntry")) {
        if (auto entry = decodeEntry(data)) {
            it->log.prepend(*entry);
            Q_EMIT entryAdded(InstanceLogEntry{*entry, pid, it->info.clientName});
        }
    } else if (event == QLatin1String("logCleared")) {
        it->log.clear();
        Q_EMIT logCleared();
    } else if (applyStatusEvent(it->info, event, data)) {
        Q_EMIT changed();
    } else if (event == QLatin1String("statistics")) {
        it->info.session = decodeSession(data);
        Q_EMIT sessionChanged();
    } else if (event == QLatin1String("setting")) {
        Q_EMIT settingChanged(QString::fromStdString(data.value("key", std::string())));
    }
}

QCoro::Task<bool> RunningInstances::setAllRunning(bool running)
{
    // Kept first: the processes that start while these are told, and later, follow it too.
    ServerState(m_folder).choose(running);
    // Named first: g++ 12 mishandles temporaries built from literals inside a co_await.
    Json args{{"action", std::string(running ? "start" : "stop")}};
    QCoro::Task<QList<InstanceReply>> asked = askEveryInstance(m_folder, std::string("server"), std::move(args));
    const QList<InstanceReply> replies = co_await asked;
    co_return !replies.isEmpty() && std::all_of(replies.cbegin(), replies.cend(), [](const InstanceReply& r) { return r.reply.ok; });
}

QCoro::Task<int> RunningInstances::clearAllLogs()
{
    QCoro::Task<QList<InstanceReply>> asked = askEveryInstance(m_folder, std::string("clear-log"));
    const QList<InstanceReply> replies = co_await asked;
    int total = 0;
    for (const InstanceReply& each : replies) {
        if (each.reply.ok)
            total += static_cast<int>(each.reply.result.value("count", qint64(0)));
    }
    co_return total;
}

QCoro::Task<bool> RunningInstances::setSetting(QString key, QVariant value)
{
    const SettingValues::Checked checked = SettingValues::check(key, value);
    if (std::holds_alternative<QString>(checked))
        co_return false;
    const Json json = std::get<Json>(checked);
    if (m_localSettings)
        SettingValues::assign(*m_localSettings, key, json);
    Json args{{"key", key.toStdString()}, {"value", json}};
    QCoro::Task<QList<InstanceReply>> asked = askEveryInstance(m_folder, std::string("set-setting"), std::move(args));
    const QList<InstanceReply> replies = co_await asked;
    co_return std::all_of(replies.cbegin(), replies.cend(), [](const InstanceReply& r) { return r.reply.ok; });
}

QCoro::Task<> RunningInstances::resetAllStatistics(StatisticsManager& store)
{
    QCoro::Task<> resetting = resetEveryStatistics(m_folder, store);
    co_await resetting;
}

QCoro::Task<> resetEveryStatistics(ControlFolder folder, StatisticsManager& store)
{
    QCoro::Task<QList<InstanceReply>> asked = askEveryInstance(std::move(folder), std::string("reset-stats"));
    co_await asked;
    store.resetStatistics();
}
