#include "ui/dashboard/StatusCard.h"

#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

StatusCard::StatusCard(const QString& title, const QString& symbol, QWidget* parent)
    : QFrame(parent)
    , m_title(new QLabel(title, this))
    , m_value(new QLabel(this))
    , m_subtitle(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setObjectName(title);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QHBoxLayout;
    if (!symbol.isEmpty()) {
        heading->addWidget(new SymbolLabel(symbol, 16, this));
    }
    heading->addWidget(m_title, 1);
    layout->addLayout(heading);
    m_title->setForegroundRole(QPalette::PlaceholderText);
    QFont valueFont = m_value->font();
    valueFont.setBold(true);
    valueFont.setPointSizeF(valueFont.pointSizeF() * 1.6);
    m_value->setFont(valueFont);
    m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_value);
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    m_subtitle->hide();
    layout->addWidget(m_subtitle);
    setAccessibleName(title);
}

void StatusCard::setValue(const QString& value)
{
    m_value->setText(value);
    setAccessibleDescription(value + (m_subtitle->text().isEmpty() ? QString() : QStringLiteral(", ") + m_subtitle->text()));
}

void StatusCard::setSubtitle(const QString& subtitle)
{
    m_subtitle->setText(subtitle);
    m_subtitle->setVisible(!subtitle.isEmpty());
    setValue(m_value->text());
}

QString StatusCard::title() const
{
    return m_title->text();
}

QString StatusCard::value() const
{
    return m_value->text();
}

QString StatusCard::subtitle() const
{
    return m_subtitle->text();
}
