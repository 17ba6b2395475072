#pragma once

#include <QSortFilterProxyModel>

// The cards whose name or description contains the search text (case-insensitively) and that
// belong to the chosen category. Expects a FeatureCardModel as its source.
class FeatureFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FeatureFilterModel(QObject* parent = nullptr);

    void setSearchText(const QString& text);
    QString searchText() const { return m_searchText; }
    // FeatureCards::kAllCategories (or empty) keeps every card.
    void setCategory(const QString& category);
    QString category() const { return m_category; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_searchText;
    QString m_category;
};
