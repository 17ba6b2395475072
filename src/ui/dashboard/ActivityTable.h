#pragma once

#include <QTreeView>

// The rows of an activity log: symbol and time, message, client. Tuned for long logs: rows of
// one height, columns sized once rather than measured over every row.
class ActivityTable : public QTreeView {
    Q_OBJECT
public:
    explicit ActivityTable(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
};
