#include "ui/dashboard/HistoryView.h"

#include "ui/Symbols.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/models/HistoryModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A date edit at its minimum reads "Any": no bound on that side.
const QDate kNoBound(2000, 1, 1);

QDateEdit* boundEdit(const QString& name, QWidget* parent)
{
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    edit->setCalendarPopup(true);
    edit->setMinimumDate(kNoBound);
    edit->setSpecialValueText(QStringLiteral("Any"));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setDate(kNoBound);
    return edit;
}

} // namespace

HistoryView::HistoryView(const QString& databasePath, const QDateTime& now, qint64 keepDays, QWidget* parent)
    : QWidget(parent)
    , m_model(new HistoryModel(databasePath, now, keepDays, this))
    , m_from(boundEdit(QStringLiteral("from"), this))
    , m_to(boundEdit(QStringLiteral("to"), this))
    , m_tool(new QComboBox(this))
    , m_client(new QComboBox(this))
    , m_errors(new QCheckBox(QStringLiteral("Errors only"), this))
    , m_table(new QTableView(this))
    , m_detail(new QPlainTextEdit(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("HistoryView"));
    m_tool->setObjectName(QStringLiteral("tool"));
    m_tool->setAccessibleName(QStringLiteral("Tool"));
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setAccessibleName(QStringLiteral("Client"));
    m_errors->setObjectName(QStringLiteral("errorsOnly"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("From"), this));
    filters->addWidget(m_from);
    filters->addWidget(new QLabel(QStringLiteral("To"), this));
    filters->addWidget(m_to);
    filters->addWidget(m_tool);
    filters->addWidget(m_client);
    filters->addWidget(m_errors);
    filters->addStretch();
    auto* refreshButton = new QPushButton(Symbols::icon(QStringLiteral("arrow.clockwise")), QStringLiteral("Refresh"), this);
    refreshButton->setObjectName(QStringLiteral("refresh"));
    filters->addWidget(refreshButton);
    auto* exportButton = new QPushButton(Symbols::icon(QStringLiteral("square.and.arrow.up")), QStringLiteral("Export"), this);
    exportButton->setObjectName(QStringLiteral("exportHistory"));
    exportButton->setToolTip(QStringLiteral("Save the calls that match to a JSON Lines file"));
    filters->addWidget(exportButton);
    layout->addLayout(filters);

    m_table->setModel(m_model);
    m_table->setAccessibleName(QStringLiteral("History"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->horizontalHeader()->setSectionResizeMode(HistoryModel::Arguments, QHeaderView::Stretch);
    m_table->setWordWrap(false);
    m_table->setColumnWidth(HistoryModel::Time, 150);
    m_table->setColumnWidth(HistoryModel::Client, 170);
    m_table->setColumnWidth(HistoryModel::Tool, 140);
    m_detail->setObjectName(QStringLiteral("detail"));
    m_detail->setReadOnly(true);
    m_detail->setPlaceholderText(QStringLiteral("Select a call to see it in full"));
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_table);
    splitter->addWidget(m_detail);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    m_status->setObjectName(QStringLiteral("historyStatus"));
    layout->addWidget(m_status);

    fillChoices(m_tool, QStringLiteral("All tools"), m_model->tools());
    fillChoices(m_client, QStringLiteral("All clients"), m_model->clients());
    connect(m_from, &QDateEdit::dateChanged, this, &HistoryView::applyFilter);
    connect(m_to, &QDateEdit::dateChanged, this, &HistoryView::applyFilter);
    connect(m_tool, &QComboBox::currentIndexChanged, this, &HistoryView::applyFilter);
    connect(m_client, &QComboBox::currentIndexChanged, this, &HistoryView::applyFilter);
    connect(m_errors, &QCheckBox::toggled, this, &HistoryView::applyFilter);
    connect(refreshButton, &QPushButton::clicked, this, &HistoryView::refresh);
    connect(exportButton, &QPushButton::clicked, this, &HistoryView::exportMatching);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &HistoryView::showSelected);
    connect(m_model, &QAbstractItemModel::modelReset, this, &HistoryView::showSelected);
    applyFilter();
}

void HistoryView::fillChoices(QComboBox* box, const QString& all, const QStringList& names)
{
    const QString current = box->currentIndex() > 0 ? box->currentText() : QString();
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItem(all);
    box->addItems(names);
    box->setCurrentIndex(std::max(0, static_cast<int>(names.indexOf(current)) + 1));
}

void HistoryView::applyFilter()
{
    HistoryFilter filter;
    // The dates are the person's days, from the start of the first to the end of the last.
    if (m_from->date() != kNoBound)
        filter.since = m_from->date().startOfDay(Qt::LocalTime).toUTC();
    if (m_to->date() != kNoBound)
        filter.until = m_to->date().addDays(1).startOfDay(Qt::LocalTime).toUTC();
    if (m_tool->currentIndex() > 0)
        filter.tool = m_tool->currentText();
    if (m_client->currentIndex() > 0)
        filter.client = m_client->currentText();
    filter.errorsOnly = m_errors->isChecked();
    m_model->setFilter(filter);
    const qint64 count = m_model->matchingCount();
    m_status->setText(m_model->isAvailable() ? QStringLiteral("%1 calls").arg(count)
                                             : QStringLiteral("The history cannot be read: ") + m_model->problem());
}

void HistoryView::refresh()
{
    fillChoices(m_tool, QStringLiteral("All tools"), m_model->tools());
    fillChoices(m_client, QStringLiteral("All clients"), m_model->clients());
    applyFilter();
}

void HistoryView::showSelected()
{
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount()) {
        m_detail->clear();
        return;
    }
    m_detail->setPlainText(QString::fromStdString(m_model->recordAt(current.row()).toJson().dump(2)));
}

QString HistoryView::detailText() const
{
    return m_detail->toPlainText();
}

QString HistoryView::statusText() const
{
    return m_status->text();
}

qint64 HistoryView::exportMatching()
{
    const QString path = Dialogs::saveFileName(this, QStringLiteral("Export History"), QStringLiteral("zarnel-history.jsonl"));
    if (path.isEmpty())
        return -1;
    const qint64 written = m_model->exportJsonLines(path);
    m_status->setText(written < 0 ? QStringLiteral("Could not write %1").arg(path)
                                  : QStringLiteral("Exported %1 calls to %2").arg(written).arg(path));
    return written;
}
