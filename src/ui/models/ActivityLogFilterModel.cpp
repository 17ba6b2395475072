#include "ui/models/ActivityLogFilterModel.h"

#include "ui/models/ActivityLogModel.h"

#include <QLocale>

ActivityLogFilterModel::ActivityLogFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void ActivityLogFilterModel::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    m_foldedSearch = QLocale().toLower(text);
    invalidateRowsFilter();
}

ActivityLogFilterModel::EmptyState ActivityLogFilterModel::emptyState() const
{
    if (!sourceModel() || sourceModel()->rowCount() == 0)
        return EmptyState::NoActivity;
    return rowCount() == 0 ? EmptyState::NoMatch : EmptyState::None;
}

bool ActivityLogFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (m_foldedSearch.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return index.data(ActivityLogModel::FoldedMessageRole).toString().contains(m_foldedSearch);
}
