#pragma once

#include <QFrame>
#include <QPersistentModelIndex>

class QLabel;
class QToolButton;
struct FeatureCard;

// One tool, resource or prompt: its symbol, name and description, and a chevron that expands
// it to its parameters, URI and type, or arguments. The expanded flag lives in the model.
class FeatureCardWidget : public QFrame {
    Q_OBJECT
public:
    FeatureCardWidget(const FeatureCard& card, const QPersistentModelIndex& index, QWidget* parent = nullptr);

    bool isExpanded() const;
    QString detailsText() const; // the expanded part as plain text
    QToolButton* chevron() const { return m_chevron; }

public Q_SLOTS:
    void setExpanded(bool expanded);

private:
    void showExpanded(bool expanded);

    QPersistentModelIndex m_index;
    QToolButton* m_chevron;
    QLabel* m_details;
    QString m_plainDetails;
};
