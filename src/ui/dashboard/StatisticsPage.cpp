#include "ui/dashboard/StatisticsPage.h"

#include "control/ServerActions.h"
#include "platform/processes/Clock.h"
#include "protocol/JsonWriter.h"
#include "state/CountText.h"
#include "state/StatisticsManager.h"
#include "ui/Symbols.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/EmptyState.h"
#include "ui/dashboard/ExportSheet.h"
#include "ui/dashboard/PageHeader.h"
#include "ui/dashboard/StatusCard.h"
#include "ui/dashboard/ToolUsageBarDelegate.h"
#include "ui/models/StatisticsModels.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QTreeView* listView(const QString& name, QWidget* parent)
{
    auto* view = new QTreeView(parent);
    view->setRootIsDecorated(false);
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAccessibleName(name);
    view->setMinimumHeight(120);
    return view;
}

} // namespace

StatisticsPage::StatisticsPage(StatisticsManager& statistics, std::shared_ptr<Clipboard> clipboard, const Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_statistics(statistics)
    , m_clipboard(std::move(clipboard))
    , m_clock(clock)
    , m_toolUsage(new ToolUsageModel(this))
    , m_recentCalls(new RecentCallsModel(this))
    , m_connections(new ConnectionHistoryModel(this))
{
    setObjectName(QStringLiteral("StatisticsPage"));
    QVBoxLayout* layout = PageHeader::scrollingLayout(this);
    QWidget* content = layout->parentWidget();

    auto* top = new QHBoxLayout;
    top->addWidget(
        PageHeader::create(QStringLiteral("Statistics & Analytics"), QStringLiteral("Server performance and usage metrics"), content), 1);
    auto* exportButton = new QPushButton(Symbols::icon(QStringLiteral("square.and.arrow.up")), QStringLiteral("Export"), content);
    exportButton->setObjectName(QStringLiteral("export"));
    auto* resetButton = new QPushButton(Symbols::icon(QStringLiteral("trash")), QStringLiteral("Reset"), content);
    resetButton->setObjectName(QStringLiteral("reset"));
    for (QPushButton* button : {exportButton, resetButton}) {
        button->setAccessibleName(button->text());
        top->addWidget(button, 0, Qt::AlignTop);
    }
    layout->addLayout(top);
    connect(exportButton, &QPushButton::clicked, this, &StatisticsPage::showExport);
    connect(resetButton, &QPushButton::clicked, this, &StatisticsPage::requestReset);

    auto* cards = new QHBoxLayout;
    for (const auto& [title, symbol] :
         {std::pair{"Total Requests", "arrow.down.circle.fill"}, std::pair{"Tool Calls", "wrench.and.screwdriver"},
          std::pair{"Success Rate", "checkmark.circle.fill"}, std::pair{"Avg Response", "speedometer"}}) {
        auto* card = new StatusCard(QString::fromUtf8(title), QString::fromUtf8(symbol), content);
        m_cards.append(card);
        cards->addWidget(card);
    }
    layout->addLayout(cards);
    auto* uptime = new QHBoxLayout;
    m_uptime = new StatusCard(QStringLiteral("Total Uptime"), QStringLiteral("clock"), content);
    m_sessionStarted = new StatusCard(QStringLiteral("Session Started"), QStringLiteral("clock"), content);
    uptime->addWidget(m_uptime);
    uptime->addWidget(m_sessionStarted);
    layout->addLayout(uptime);

    auto* usageView = listView(QStringLiteral("Most Used Tools"), content);
    usageView->setItemDelegateForColumn(ToolUsageModel::ShareColumn, new ToolUsageBarDelegate(usageView));
    layout->addWidget(addList(QStringLiteral("Most Used Tools"), m_toolUsage, usageView,
                              new EmptyState(QStringLiteral("wrench.and.screwdriver"), QStringLiteral("No tools used yet"),
                                             QStringLiteral("Tool usage will appear here"), content)));
    // The figures take the width they need, whatever the font ("100.0% success" is cut in a
    // column of fixed width under a larger one); the bar has the rest. The list holds at most
    // ToolUsageModel::kLimit rows, quick to measure.
    usageView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    usageView->header()->setSectionResizeMode(ToolUsageModel::ShareColumn, QHeaderView::Stretch);
    usageView->header()->setStretchLastSection(true);

    // One above the other: side by side at the window's smallest width, a tool's name and the
    // time of its call do not both fit.
    auto* lists = new QVBoxLayout;
    auto* callsView = listView(QStringLiteral("Recent Tool Calls"), content);
    lists->addWidget(addList(QStringLiteral("Recent Tool Calls"), m_recentCalls, callsView,
                             new EmptyState(QStringLiteral("clock"), QStringLiteral("No recent calls"),
                                            QStringLiteral("Recent tool calls will appear here"), content)));
    auto* connectionsView = listView(QStringLiteral("Connection History"), content);
    lists->addWidget(addList(QStringLiteral("Connection History"), m_connections, connectionsView,
                             new EmptyState(QStringLiteral("network"), QStringLiteral("No connections yet"),
                                            QStringLiteral("Connection history will appear here"), content)));
    layout->addLayout(lists);
    for (QTreeView* view : {callsView, connectionsView}) {
        view->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        view->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        view->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        view->header()->setStretchLastSection(false);
    }
    layout->addStretch();

    connect(&m_statistics, &StatisticsManager::statisticsChanged, this, &StatisticsPage::refresh);
    refresh();
}

QWidget* StatisticsPage::addList(const QString& heading, QAbstractItemModel* model, QWidget* view, EmptyState* empty)
{
    auto* box = new QWidget(view->parentWidget());
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(heading, box);
    PageHeader::makeSectionHeading(label);
    layout->addWidget(label);
    auto* stack = new QStackedWidget(box);
    static_cast<QAbstractItemView*>(view)->setModel(model);
    stack->addWidget(view);
    stack->addWidget(empty);
    stack->setMinimumHeight(150);
    layout->addWidget(stack);
    m_lists.append(List{model, stack, empty});
    return box;
}

void StatisticsPage::refresh()
{
    const ServerStatistics& figures = m_statistics.statistics();
    const SessionFigures session = m_session ? *m_session : m_statistics.session(RecentCallsModel::kLimit);
    m_cards[0]->setValue(QString::number(figures.totalRequests));
    m_cards[0]->setSubtitle(QStringLiteral("Session: %1").arg(session.requests));
    m_cards[1]->setValue(QString::number(figures.totalToolCalls));
    m_cards[1]->setSubtitle(QStringLiteral("Session: %1").arg(session.toolCalls));
    m_cards[2]->setValue(ServerActions::percentText(m_statistics.successRate()));
    m_cards[2]->setSubtitle(countText(figures.totalErrors, QStringLiteral("error"), QStringLiteral("errors")));
    m_cards[3]->setValue(StatisticsText::seconds(m_statistics.averageResponseTime()));
    m_cards[3]->setSubtitle(QStringLiteral("Per tool call"));
    m_uptime->setValue(ServerActions::uptimeText(figures.totalUptime));
    // Processes too old to tell their session leave only this process's start.
    m_sessionStarted->setValue(StatisticsText::dateTime(session.startTime.isValid() ? session.startTime : figures.sessionStartTime));

    m_toolUsage->setRecords(m_statistics.topTools());
    m_recentCalls->setRecords(session.recentCalls);
    m_connections->setRecords(figures.connectionHistory);
    for (const List& list : m_lists)
        list.stack->setCurrentIndex(list.model->rowCount() == 0 ? 1 : 0);
}

void StatisticsPage::setSession(const std::optional<SessionFigures>& session)
{
    m_session = session;
    refresh();
}

StatusCard* StatisticsPage::card(const QString& title) const
{
    for (StatusCard* card : m_cards + QList<StatusCard*>{m_uptime, m_sessionStarted}) {
        if (card->title() == title)
            return card;
    }
    return nullptr;
}

QString StatisticsPage::emptyTitle(const QAbstractItemModel& model) const
{
    for (const List& list : m_lists) {
        if (list.model == &model)
            return list.stack->currentIndex() == 1 ? list.empty->title() : QString();
    }
    return {};
}

bool StatisticsPage::requestReset()
{
    if (!Dialogs::confirm(this, QStringLiteral("Reset Statistics"),
                          QStringLiteral("This will permanently delete all statistics and usage data. This action cannot be undone."),
                          QStringLiteral("Reset")))
        return false;
    Q_EMIT resetRequested();
    return true;
}

ExportSheet* StatisticsPage::showExport()
{
    const std::optional<QString> text = m_statistics.exportStatistics();
    std::string seconds;
    JsonWriter::appendDouble(seconds, static_cast<double>(m_clock.now().toMSecsSinceEpoch()) / 1000.0);
    auto* sheet = new ExportSheet({QStringLiteral("Export Statistics"), QStringLiteral("Export your server statistics as JSON"),
                                   text.value_or(QStringLiteral("Failed to generate export")),
                                   QStringLiteral("zarnel-statistics-%1.json").arg(QString::fromStdString(seconds)), text.has_value()},
                                  m_clipboard, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setObjectName(QStringLiteral("exportSheet"));
    sheet->open();
    return sheet;
}
