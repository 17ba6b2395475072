#pragma once

#include <QSortFilterProxyModel>

// The log rows whose message contains the search text, compared case-insensitively by the
// user's locale. Expects an ActivityLogModel as its source.
class ActivityLogFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    // What the page shows instead of the rows when there are none.
    enum class EmptyState { None, NoActivity, NoMatch };

    explicit ActivityLogFilterModel(QObject* parent = nullptr);

    void setSearchText(const QString& text);
    QString searchText() const { return m_searchText; }

    // An empty log is "no activity" whatever the search; a search without a match is "no match".
    EmptyState emptyState() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_searchText;
    QString m_foldedSearch;
};
