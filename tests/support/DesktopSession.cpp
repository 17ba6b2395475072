#include "support/DesktopSession.h"

#include "support/ZarnelProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QThread>

#include <csignal>

namespace {

struct MenuNode {
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;
};

void readNode(const QDBusArgument& argument, MenuNode& node)
{
    argument.beginStructure();
    argument >> node.id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        MenuNode childNode;
        readNode(child.variant().value<QDBusArgument>(), childNode);
        node.children.append(childNode);
    }
    argument.endArray();
    argument.endStructure();
}

bool isAlive(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

void endProcess(qint64 pid)
{
    if (!isAlive(pid))
        return;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    if (!DesktopSession::waitFor([pid] { return !isAlive(pid); }, 5000))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}

QString run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

} // namespace

DesktopSession::DesktopSession(bool withTrayHost)
    : m_xvfb(1280, 800)
    , m_testBus(m_bus.connect(QStringLiteral("desktop-session-test")))
    , m_environment(m_home.environment())
{
    m_environment.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (withTrayHost)
        m_trayHost = std::make_unique<TrayHostProcess>(m_environment);
}

DesktopSession::~DesktopSession()
{
    QList<qint64> left = runningProcesses();
    if (const auto desktop = desktopInstancePid())
        left.append(*desktop);
    for (qint64 pid : left)
        endProcess(pid);
}

void DesktopSession::startTrayHost()
{
    if (!m_trayHost)
        m_trayHost = std::make_unique<TrayHostProcess>(m_environment);
}

QString DesktopSession::controlFolder() const
{
    return m_home.path() + QStringLiteral("/runtime/zarnel");
}

std::unique_ptr<QProcess> DesktopSession::launchAsUser(const QStringList& arguments) const
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start(ZarnelProcess::binaryPath(), arguments);
    process->waitForStarted(10000);
    return process;
}

std::unique_ptr<ZarnelProcess> DesktopSession::launchAsClient(bool autoStart) const
{
    auto client = std::make_unique<ZarnelProcess>(m_home, autoStart);
    client->environment() = m_environment;
    return client;
}

std::optional<qint64> DesktopSession::desktopInstancePid() const
{
    QFile lock(controlFolder() + QStringLiteral("/desktop.lock"));
    if (!lock.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 pid = lock.readLine().trimmed().toLongLong();
    return isAlive(pid) ? std::optional<qint64>(pid) : std::nullopt;
}

QList<qint64> DesktopSession::runningProcesses() const
{
    QList<qint64> pids;
    for (const QString& name : QDir(controlFolder()).entryList({QStringLiteral("*.sock")}, QDir::System)) {
        const qint64 pid = name.section(QLatin1Char('.'), 0, 0).toLongLong();
        if (isAlive(pid))
            pids.append(pid);
    }
    return pids;
}

QStringList DesktopSession::activityLogOf(qint64 pid) const
{
    QLocalSocket socket;
    socket.connectToServer(QStringLiteral("%1/%2.sock").arg(controlFolder()).arg(pid));
    if (!socket.waitForConnected(5000))
        return {};
    QFile token(controlFolder() + QStringLiteral("/token"));
    if (!token.open(QIODevice::ReadOnly))
        return {};
    socket.write(R"({"v":1,"id":1,"command":"log","token":")" + token.readAll().trimmed() + "\"}\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(5000)) {}
    const nlohmann::json answer = nlohmann::json::parse(socket.readLine().toStdString(), nullptr, false);
    QStringList messages;
    if (answer.contains("result") && answer["result"].contains("entries")) {
        for (const auto& entry : answer["result"]["entries"])
            messages << QString::fromStdString(entry.value("message", std::string()));
    }
    return messages;
}

QStringList DesktopSession::mappedZarnelWindowIds() const
{
    const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, m_environment);
    static const QRegularExpression window(QStringLiteral("^\\s*(0x[0-9a-f]+) \"Zarnel\""), QRegularExpression::MultilineOption);
    QStringList mapped;
    for (auto match = window.globalMatch(tree); match.hasNext();) {
        const QString id = match.next().captured(1);
        const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}, m_environment);
        if (info.contains(QStringLiteral("Map State: IsViewable")))
            mapped << id;
    }
    return mapped;
}

int DesktopSession::mappedZarnelWindows() const
{
    return int(mappedZarnelWindowIds().size());
}

QStringList DesktopSession::zarnelWindowClass() const
{
    const QString id = mappedZarnelWindowIds().value(0);
    if (id.isEmpty())
        return {};
    // WM_CLASS(STRING) = "instance", "class"
    const QString property = run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_CLASS")}, m_environment);
    static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
    QStringList names;
    for (auto match = quoted.globalMatch(property); match.hasNext();)
        names << match.next().captured(1);
    return names;
}

QStringList DesktopSession::trayItems() const
{
    QDBusMessage get =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusMessage reply = testBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
}

QString DesktopSession::firstTrayItem() const
{
    return trayItems().value(0);
}

QDBusConnection DesktopSession::testBus() const
{
    return m_testBus;
}

QVariant DesktopSession::trayItemProperty(const QString& name) const
{
    const QString item = firstTrayItem();
    if (item.isEmpty())
        return {};
    QDBusMessage get =
        QDBusMessage::createMethodCall(item.section(QLatin1Char('/'), 0, 0), QLatin1Char('/') + item.section(QLatin1Char('/'), 1),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    const QDBusMessage reply = testBus().call(get, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QDBusMessage DesktopSession::callTrayMenu(const QString& method, const QVariantList& arguments) const
{
    const QString menuPath = trayItemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path();
    if (menuPath.isEmpty())
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(firstTrayItem().section(QLatin1Char('/'), 0, 0), menuPath,
                                                       QStringLiteral("com.canonical.dbusmenu"), method);
    call.setArguments(arguments);
    return testBus().call(call, QDBus::Block, 5000);
}

QList<ExportedMenuItem> DesktopSession::trayMenu() const
{
    const QDBusMessage reply = callTrayMenu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2)
        return {};
    MenuNode root;
    readNode(reply.arguments()[1].value<QDBusArgument>(), root);
    QList<ExportedMenuItem> items;
    for (const MenuNode& node : root.children) {
        if (!node.properties.value(QStringLiteral("visible"), true).toBool())
            continue;
        ExportedMenuItem entry;
        entry.id = node.id;
        entry.label = node.properties.value(QStringLiteral("label")).toString();
        entry.enabled = node.properties.value(QStringLiteral("enabled"), true).toBool();
        entry.separator = node.properties.value(QStringLiteral("type")).toString() == QStringLiteral("separator");
        items.append(entry);
    }
    return items;
}

QString DesktopSession::trayToolTip() const
{
    // (icon name, icon pixmaps, title, text)
    const QDBusArgument toolTip = trayItemProperty(QStringLiteral("ToolTip")).value<QDBusArgument>();
    if (toolTip.currentType() != QDBusArgument::StructureType)
        return {};
    QString iconName;
    QString title;
    toolTip.beginStructure();
    toolTip >> iconName;
    toolTip.beginArray();
    while (!toolTip.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        toolTip.beginStructure();
        toolTip >> width >> height >> pixels;
        toolTip.endStructure();
    }
    toolTip.endArray();
    toolTip >> title;
    return title;
}

bool DesktopSession::clickTrayMenuItem(const QString& label) const
{
    for (const ExportedMenuItem& entry : trayMenu()) {
        if (entry.label == label) {
            const QVariantList arguments{entry.id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(QVariant(0))), 0u};
            return callTrayMenu(QStringLiteral("Event"), arguments).type() == QDBusMessage::ReplyMessage;
        }
    }
    return false;
}

bool DesktopSession::waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}
