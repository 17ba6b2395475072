#include "ui/dashboard/PageHeader.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace PageHeader {

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QStringLiteral("pageTitle"));
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.8);
    label->setFont(font);
    label->setAccessibleName(text);
    return label;
}

QWidget* create(const QString& text, const QString& subtitle, QWidget* parent)
{
    auto* header = new QWidget(parent);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(title(text, header));
    if (!subtitle.isEmpty()) {
        auto* line = new QLabel(subtitle, header);
        line->setObjectName(QStringLiteral("pageSubtitle"));
        line->setForegroundRole(QPalette::PlaceholderText);
        line->setWordWrap(true);
        layout->addWidget(line);
    }
    return header;
}

void makeSectionHeading(QLabel* label)
{
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label->setFont(font);
    label->setContentsMargins(0, 8, 0, 2);
}

QVBoxLayout* scrollingLayout(QWidget* page)
{
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    return new QVBoxLayout(content);
}

} // namespace PageHeader
