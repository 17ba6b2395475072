#pragma once

#include <QStyledItemDelegate>

// Draws a tool's share of the calls as a bar, so that the ranking reads at a glance.
class ToolUsageBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
