#pragma once

#include <QWidget>

class QLabel;
class SymbolLabel;

// A centred panel that stands in for an empty list: a symbol, a title and a line of text.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    EmptyState(const QString& symbol, const QString& title, const QString& text, QWidget* parent = nullptr);

    void show(const QString& symbol, const QString& title, const QString& text);
    QString title() const;
    QString text() const;

private:
    SymbolLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_text;
};
