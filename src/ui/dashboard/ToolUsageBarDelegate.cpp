#include "ui/dashboard/ToolUsageBarDelegate.h"

#include "ui/models/StatisticsModels.h"

#include <QPainter>

void ToolUsageBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, QModelIndex()); // background and selection only
    const double share = std::clamp(index.data(ToolUsageModel::ShareRole).toDouble(), 0.0, 1.0);
    const QRect track = option.rect.adjusted(4, option.rect.height() / 2 - 4, -4, -(option.rect.height() / 2 - 4));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    QColor trackColor = option.palette.color(QPalette::Mid);
    trackColor.setAlpha(70);
    painter->setBrush(trackColor);
    painter->drawRoundedRect(track, 4, 4);
    QRect bar = track;
    bar.setWidth(std::max(share > 0 ? 8 : 0, static_cast<int>(track.width() * share)));
    painter->setBrush(option.palette.color(QPalette::Highlight));
    painter->drawRoundedRect(bar, 4, 4);
    painter->restore();
}

QSize ToolUsageBarDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return QStyledItemDelegate::sizeHint(option, index).expandedTo(QSize(120, 20));
}
