#include "ui/dashboard/ActivityLogPage.h"

#include "platform/processes/Clock.h"
#include "state/ActivityLog.h"
#include "state/CountText.h"
#include "ui/Symbols.h"
#include "ui/dashboard/ActivityTable.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/EmptyState.h"
#include "ui/dashboard/ExportSheet.h"
#include "ui/dashboard/HistoryView.h"
#include "ui/dashboard/PageHeader.h"
#include "ui/models/ActivityLogFilterModel.h"
#include "ui/models/ActivityLogModel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

ActivityLogPage::ActivityLogPage(ActivityLogModel& log, std::shared_ptr<Clipboard> clipboard, const Clock& clock,
                                 const QString& historyPath, std::function<qint64()> historyDays, QWidget* parent)
    : QWidget(parent)
    , m_log(log)
    , m_historyPath(historyPath)
    , m_historyDays(std::move(historyDays))
    , m_views(new QStackedWidget(this))
    , m_liveControls(new QWidget(this))
    , m_clipboard(std::move(clipboard))
    , m_clock(clock)
    , m_filter(new ActivityLogFilterModel(this))
    , m_search(new QLineEdit(this))
    , m_stack(new QStackedWidget(this))
    , m_table(new ActivityTable(this))
    , m_detail(new QPlainTextEdit(this))
    , m_empty(new EmptyState(QStringLiteral("tray"), {}, {}, this))
{
    setObjectName(QStringLiteral("ActivityLogPage"));
    m_filter->setSourceModel(&m_log);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(PageHeader::title(QStringLiteral("Activity Log"), this));
    auto* liveButton = new QPushButton(QStringLiteral("Live"), this);
    auto* historyButton = new QPushButton(QStringLiteral("History"), this);
    liveButton->setObjectName(QStringLiteral("showLive"));
    historyButton->setObjectName(QStringLiteral("showHistory"));
    historyButton->setToolTip(QStringLiteral("Every tool call kept across restarts, of every Zarnel process"));
    auto* views = new QButtonGroup(this);
    for (QPushButton* button : {liveButton, historyButton}) {
        button->setCheckable(true);
        button->setVisible(!m_historyPath.isEmpty());
        views->addButton(button);
        top->addWidget(button);
    }
    liveButton->setChecked(true);
    top->addStretch();
    auto* liveTop = new QHBoxLayout(m_liveControls);
    liveTop->setContentsMargins(0, 0, 0, 0);
    m_search->setPlaceholderText(QStringLiteral("Search logs..."));
    m_search->setAccessibleName(QStringLiteral("Search logs"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass")), QLineEdit::LeadingPosition);
    m_search->setMinimumWidth(240);
    liveTop->addWidget(m_search);
    auto* clear = new QPushButton(Symbols::icon(QStringLiteral("trash")), QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("clear"));
    clear->setAccessibleName(QStringLiteral("Clear"));
    clear->setToolTip(QStringLiteral("Clear the activity log of every Zarnel process"));
    liveTop->addWidget(clear);
    auto* exportButton = new QPushButton(Symbols::icon(QStringLiteral("square.and.arrow.up")), QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("export"));
    exportButton->setAccessibleName(QStringLiteral("Export"));
    liveTop->addWidget(exportButton);
    top->addWidget(m_liveControls);
    layout->addLayout(top);

    m_table->setModel(m_filter);
    m_table->setAccessibleName(QStringLiteral("Activity Log"));
    // A row shows the start of its message; the pane below shows the selected one whole, the
    // reason of a failure included, selectable for copying.
    m_detail->setObjectName(QStringLiteral("entryDetail"));
    m_detail->setAccessibleName(QStringLiteral("Selected entry"));
    m_detail->setReadOnly(true);
    m_detail->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_detail->setMaximumHeight(m_detail->fontMetrics().lineSpacing() * 6);
    m_detail->setVisible(false);
    auto* rows = new QWidget(this);
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(0, 0, 0, 0);
    rowsLayout->addWidget(m_table, 1);
    rowsLayout->addWidget(m_detail);
    m_stack->addWidget(rows);
    m_stack->addWidget(m_empty);
    m_views->addWidget(m_stack);
    layout->addWidget(m_views, 1);
    connect(historyButton, &QPushButton::toggled, this, &ActivityLogPage::showHistory);

    connect(m_search, &QLineEdit::textChanged, this, &ActivityLogPage::setSearchText);
    connect(clear, &QPushButton::clicked, this, &ActivityLogPage::requestClear);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ActivityLogPage::updateDetail);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &ActivityLogPage::updateDetail);
    connect(exportButton, &QPushButton::clicked, this, &ActivityLogPage::showExport);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &ActivityLogPage::updateEmptyState);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &ActivityLogPage::updateEmptyState);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &ActivityLogPage::updateEmptyState);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &ActivityLogPage::updateEmptyState);
    updateEmptyState();
}

void ActivityLogPage::showHistory(bool history)
{
    if (history && !m_history && !m_historyPath.isEmpty()) {
        m_history = new HistoryView(m_historyPath, m_clock.now(), m_historyDays ? m_historyDays() : 0, this);
        m_views->addWidget(m_history);
    }
    if (history && m_history) {
        m_history->refresh();
        m_views->setCurrentWidget(m_history);
    } else {
        m_views->setCurrentWidget(m_stack);
    }
    m_liveControls->setVisible(m_views->currentWidget() == m_stack);
    if (auto* button = findChild<QPushButton*>(history ? QStringLiteral("showHistory") : QStringLiteral("showLive")))
        button->setChecked(true);
}

void ActivityLogPage::setSearchText(const QString& text)
{
    if (m_search->text() != text)
        m_search->setText(text); // comes back through textChanged
    m_filter->setSearchText(text);
    updateEmptyState();
}

QString ActivityLogPage::emptyTitle() const
{
    return m_stack->currentWidget() == m_empty ? m_empty->title() : QString();
}

void ActivityLogPage::updateEmptyState()
{
    switch (m_filter->emptyState()) {
    case ActivityLogFilterModel::EmptyState::None: m_stack->setCurrentIndex(0); return;
    case ActivityLogFilterModel::EmptyState::NoActivity:
        m_empty->show(QStringLiteral("tray"), QStringLiteral("No Activity Yet"),
                      QStringLiteral("Activity will appear here once the server receives requests"));
        break;
    case ActivityLogFilterModel::EmptyState::NoMatch:
        m_empty->show(QStringLiteral("magnifyingglass"), QStringLiteral("No matching logs found"), {});
        break;
    }
    m_stack->setCurrentWidget(m_empty);
}

bool ActivityLogPage::requestClear()
{
    if (!Dialogs::confirm(this, QStringLiteral("Clear Activity Log"), QStringLiteral("Clear the activity log of every Zarnel process?"),
                          QStringLiteral("Clear")))
        return false;
    Q_EMIT clearRequested();
    return true;
}

QString ActivityLogPage::detailText() const
{
    return m_detail->isVisibleTo(this) ? m_detail->toPlainText() : QString();
}

void ActivityLogPage::updateDetail()
{
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        m_detail->setVisible(false);
        m_detail->clear();
        return;
    }
    const QModelIndex source = m_filter->mapToSource(selected.first());
    m_detail->setPlainText(ActivityLogModel::detailText(m_log.rowAt(source.row())));
    m_detail->setVisible(true);
}

ExportSheet* ActivityLogPage::showExport()
{
    QList<ActivityLogEntry> entries;
    entries.reserve(m_log.rowCount());
    for (int row = 0; row < m_log.rowCount(); ++row)
        entries.append(m_log.rowAt(row).entry);
    const ActivityLogDocument document = ActivityLog::exportText(entries, m_clock.now());
    auto* sheet =
        new ExportSheet({QStringLiteral("Export Activity Log"),
                         QStringLiteral("Export ") + countText(entries.size(), QStringLiteral("log entry"), QStringLiteral("log entries")),
                         QString::fromUtf8(document.contents), document.suggestedFileName},
                        m_clipboard, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setObjectName(QStringLiteral("exportSheet"));
    sheet->open();
    return sheet;
}
