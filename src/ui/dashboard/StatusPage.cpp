#include "ui/dashboard/StatusPage.h"

#include "ui/Symbols.h"
#include "ui/dashboard/ActivityTable.h"
#include "ui/dashboard/EmptyState.h"
#include "ui/dashboard/PageHeader.h"
#include "ui/dashboard/StatusCard.h"
#include "ui/models/ActivityLogModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

StatusPage::StatusPage(ActivityLogModel& recent, QWidget* parent)
    : QWidget(parent)
    , m_recent(recent)
    , m_startStop(new QPushButton(this))
    , m_confinement(new QLabel(this))
    , m_waiting(new QWidget(this))
    , m_waitingText(new QLabel(m_waiting))
    , m_status(new StatusCard(QStringLiteral("Server Status"), QStringLiteral("circle.fill"), this))
    , m_connections(new StatusCard(QStringLiteral("Connections"), QStringLiteral("network"), this))
    , m_requests(new StatusCard(QStringLiteral("Total Requests"), QStringLiteral("chart.bar.fill"), this))
    , m_activity(new QStackedWidget(this))
    , m_table(new ActivityTable(this))
    , m_empty(new EmptyState(QStringLiteral("tray"), QStringLiteral("No Activity Yet"),
                             QStringLiteral("Activity will appear here once the server receives requests"), this))
{
    setObjectName(QStringLiteral("StatusPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageHeader::create(QStringLiteral("Zarnel Server"), QStringLiteral("Model Context Protocol Server for Linux"), this));

    m_startStop->setObjectName(QStringLiteral("startStop"));
    m_startStop->setIconSize(QSize(28, 28));
    m_startStop->setMinimumHeight(44);
    connect(m_startStop, &QPushButton::clicked, this, [this] { Q_EMIT runningRequested(!m_running); });
    layout->addWidget(m_startStop);

    // Right under the control: a client that waits is why the person came here.
    m_waiting->setObjectName(QStringLiteral("waitingClients"));
    auto* waitingRow = new QHBoxLayout(m_waiting);
    waitingRow->setContentsMargins(0, 0, 0, 0);
    m_waitingText->setObjectName(QStringLiteral("waitingText"));
    m_waitingText->setWordWrap(true);
    waitingRow->addWidget(m_waitingText, 1);
    auto* startWaiting = new QPushButton(QStringLiteral("Start"), m_waiting);
    startWaiting->setObjectName(QStringLiteral("startWaiting"));
    startWaiting->setToolTip(QStringLiteral("Start Zarnel and answer the waiting clients"));
    connect(startWaiting, &QPushButton::clicked, this, [this] { Q_EMIT runningRequested(true); });
    waitingRow->addWidget(startWaiting);
    layout->addWidget(m_waiting);

    auto* cards = new QHBoxLayout;
    for (StatusCard* card : {m_status, m_connections, m_requests})
        cards->addWidget(card);
    layout->addLayout(cards);
    m_confinement->setObjectName(QStringLiteral("confinement"));
    layout->addWidget(m_confinement);

    auto* heading = new QLabel(QStringLiteral("Recent Activity"), this);
    PageHeader::makeSectionHeading(heading);
    layout->addWidget(heading);
    m_table->setModel(&m_recent);
    m_table->setAccessibleName(QStringLiteral("Recent Activity"));
    m_activity->addWidget(m_table);
    m_activity->addWidget(m_empty);
    layout->addWidget(m_activity, 1);

    connect(&m_recent, &QAbstractItemModel::rowsInserted, this, &StatusPage::updateActivity);
    connect(&m_recent, &QAbstractItemModel::rowsRemoved, this, &StatusPage::updateActivity);
    connect(&m_recent, &QAbstractItemModel::modelReset, this, &StatusPage::updateActivity);

    setRunning(false);
    setConnections(0);
    setTotalRequests(0);
    setAllowedFolderCount(0);
    setWaitingClients({});
    updateActivity();
}

void StatusPage::setWaitingClients(const QStringList& names)
{
    m_waiting->setVisible(!names.isEmpty());
    QStringList shown;
    for (const QString& name : names)
        shown << (name.isEmpty() ? QStringLiteral("an unnamed client") : name);
    m_waitingText->setText(QStringLiteral("Waiting clients: %1 (%2)").arg(names.size()).arg(shown.join(QStringLiteral(", "))));
}

void StatusPage::setAllowedFolderCount(qsizetype folders)
{
    m_confinement->setText(folders > 0 ? QStringLiteral("Confined to %1 folders").arg(folders) : QStringLiteral("Not confined"));
}

void StatusPage::setRunning(bool running)
{
    m_running = running;
    const QString symbol = running ? QStringLiteral("stop.circle.fill") : QStringLiteral("play.circle.fill");
    const QColor color = running ? QColor(0xe0, 0x35, 0x2b) : QColor(0x2e, 0xa0, 0x45);
    m_startStop->setText(running ? QStringLiteral("Stop Server") : QStringLiteral("Start Server"));
    m_startStop->setIcon(Symbols::tinted(symbol, color));
    const QString hint = running ? QStringLiteral("Server is currently running") : QStringLiteral("Click to start the MCP server");
    m_startStop->setToolTip(hint);
    m_startStop->setAccessibleName(m_startStop->text());
    m_startStop->setAccessibleDescription(hint);
    m_status->setValue(running ? QStringLiteral("Running") : QStringLiteral("Stopped"));
}

void StatusPage::setConnections(qint64 connections)
{
    m_connections->setValue(QString::number(connections));
}

void StatusPage::setTotalRequests(qint64 requests)
{
    m_requests->setValue(QString::number(requests));
}

void StatusPage::updateActivity()
{
    m_activity->setCurrentWidget(m_recent.rowCount() == 0 ? static_cast<QWidget*>(m_empty) : m_table);
}
