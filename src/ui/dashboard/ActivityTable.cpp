#include "ui/dashboard/ActivityTable.h"

#include "ui/models/ActivityLogModel.h"

#include <QHeaderView>

ActivityTable::ActivityTable(QWidget* parent)
    : QTreeView(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
}

void ActivityTable::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    // Fixed modes: ResizeToContents would measure every row of a 10,000-entry log on each change.
    QHeaderView* columns = header();
    columns->setSectionResizeMode(ActivityLogModel::TimeColumn, QHeaderView::Fixed);
    columns->setSectionResizeMode(ActivityLogModel::MessageColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(ActivityLogModel::ClientColumn, QHeaderView::Interactive);
    const int digitWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00"));
    columns->resizeSection(ActivityLogModel::TimeColumn, digitWidth + iconSize().width() + 48);
    columns->resizeSection(ActivityLogModel::ClientColumn, fontMetrics().averageCharWidth() * 22);
}
