#include "ui/tray/TrayMenuModel.h"

namespace {

TrayMenuItem information(const QString& text)
{
    return TrayMenuItem{false, text, false, TrayAction::None, {}};
}

TrayMenuItem command(const QString& text, TrayAction action)
{
    return TrayMenuItem{false, text, true, action, {}};
}

// One menu line for a log message. A long command would widen the whole menu past the screen;
// its start names the tool and its end often the file or the outcome, so the middle goes.
TrayMenuItem recentEntry(const QString& message)
{
    TrayMenuItem item = information(QStringLiteral("  ") + message);
    if (message.size() <= TrayMenuModel::kMaxEntryLength)
        return item;
    const qsizetype kept = TrayMenuModel::kMaxEntryLength - 1;
    qsizetype headEnd = (kept + 1) / 2;
    qsizetype tailStart = message.size() - (kept - headEnd);
    // Never half a character outside the Basic Multilingual Plane.
    if (message[headEnd - 1].isHighSurrogate())
        --headEnd;
    if (message[tailStart].isLowSurrogate())
        ++tailStart;
    item.text = QStringLiteral("  ") + message.left(headEnd) + QChar(0x2026) + message.mid(tailStart);
    item.toolTip = message;
    return item;
}

TrayMenuItem separator()
{
    return TrayMenuItem{true, {}, false, TrayAction::None, {}};
}

} // namespace

TrayAppearance trayAppearance(std::optional<bool> running)
{
    if (!running)
        return TrayAppearance{false, QStringLiteral("Zarnel"), {}};
    if (*running)
        return TrayAppearance{true, QStringLiteral("Zarnel Running"), QStringLiteral("Zarnel Server - Running")};
    return TrayAppearance{false, QStringLiteral("Zarnel Stopped"), QStringLiteral("Zarnel Server - Stopped")};
}

TrayMenuModel::TrayMenuModel(QObject* parent)
    : QObject(parent)
    , m_items(itemsFor(m_figures))
{
}

QList<TrayMenuItem> TrayMenuModel::itemsFor(const TrayFigures& figures)
{
    QList<TrayMenuItem> items{
        information(figures.running ? QStringLiteral("\u25CF Running") : QStringLiteral("\u25CB Stopped")),
        information(QStringLiteral("Connections: %1").arg(figures.connections)),
    };
    // Said only while someone waits, right above the Start item that serves them.
    if (!figures.waitingClients.isEmpty()) {
        items.append(information(QStringLiteral("Waiting clients: %1").arg(figures.waitingClients.size())));
        for (const QString& name : figures.waitingClients)
            items.append(recentEntry(name.isEmpty() ? QStringLiteral("unnamed client") : name));
    }
    items << QList<TrayMenuItem>{
        information(QStringLiteral("Total Requests: %1").arg(figures.totalRequests)),
        separator(),
        command(figures.running ? QStringLiteral("Stop Server") : QStringLiteral("Start Server"), TrayAction::ToggleServer),
        separator(),
        command(QStringLiteral("Show Dashboard"), TrayAction::ShowDashboard),
        command(QStringLiteral("Show Statistics"), TrayAction::ShowStatistics),
        command(QStringLiteral("Show Activity Log"), TrayAction::ShowActivityLog),
        separator(),
    };
    if (!figures.recentMessages.isEmpty()) {
        items.append(information(QStringLiteral("Recent Activity")));
        for (const QString& message : figures.recentMessages.mid(0, kRecentEntries))
            items.append(recentEntry(message));
        items.append(separator());
    }
    items.append(command(QStringLiteral("Settings..."), TrayAction::ShowSettings));
    items.append(separator());
    items.append(command(QStringLiteral("Quit"), TrayAction::Quit));
    return items;
}

void TrayMenuModel::setFigures(const TrayFigures& figures)
{
    m_figures = figures;
    QList<TrayMenuItem> items = itemsFor(figures);
    if (items == m_items)
        return;
    m_items = std::move(items);
    Q_EMIT itemsChanged();
}
