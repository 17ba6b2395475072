#include "ui/dashboard/EmptyState.h"

#include "ui/Symbols.h"

#include <QLabel>
#include <QVBoxLayout>

EmptyState::EmptyState(const QString& symbol, const QString& title, const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_symbol(new SymbolLabel(this))
    , m_title(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    for (QLabel* label : std::initializer_list<QLabel*>{m_symbol, m_title, m_text}) {
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    layout->addStretch();
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_title->setFont(titleFont);
    m_text->setWordWrap(true);
    m_text->setForegroundRole(QPalette::PlaceholderText);
    show(symbol, title, text);
}

void EmptyState::show(const QString& symbol, const QString& title, const QString& text)
{
    m_symbol->setSymbol(Symbols::icon(symbol), 48);
    m_title->setText(title);
    m_text->setText(text);
    m_text->setVisible(!text.isEmpty());
    setAccessibleName(title);
    setAccessibleDescription(text);
}

QString EmptyState::title() const
{
    return m_title->text();
}

QString EmptyState::text() const
{
    return m_text->text();
}
