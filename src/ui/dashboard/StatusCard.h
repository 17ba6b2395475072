#pragma once

#include <QFrame>

class QLabel;

// A small framed figure: a title, a large value and an optional subtitle and symbol.
class StatusCard : public QFrame {
    Q_OBJECT
public:
    StatusCard(const QString& title, const QString& symbol = {}, QWidget* parent = nullptr);

    void setValue(const QString& value);
    void setSubtitle(const QString& subtitle);
    QString title() const;
    QString value() const;
    QString subtitle() const;

private:
    QLabel* m_title;
    QLabel* m_value;
    QLabel* m_subtitle;
};
