#include "ui/models/FeatureFilterModel.h"

#include "ui/models/FeatureCardModel.h"

FeatureFilterModel::FeatureFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

void FeatureFilterModel::setSearchText(const QString& text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    invalidateRowsFilter();
}

void FeatureFilterModel::setCategory(const QString& category)
{
    if (category == m_category)
        return;
    m_category = category;
    invalidateRowsFilter();
}

bool FeatureFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (!m_category.isEmpty() && m_category != FeatureCards::kAllCategories
        && !index.data(FeatureCardModel::CategoriesRole).toStringList().contains(m_category))
        return false;
    if (m_searchText.isEmpty())
        return true;
    return index.data(Qt::DisplayRole).toString().contains(m_searchText, Qt::CaseInsensitive)
        || index.data(FeatureCardModel::DescriptionRole).toString().contains(m_searchText, Qt::CaseInsensitive);
}
