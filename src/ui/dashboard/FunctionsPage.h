#pragma once

#include "ui/models/FeatureCardModel.h"

#include <QWidget>

class FeatureCardWidget;
class FeatureFilterModel;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QVBoxLayout;
class QLabel;

// "MCP Features": the tools, resources and prompts this server offers, searchable, by
// category, each card expandable to what a client passes and gets.
class FunctionsPage : public QWidget {
    Q_OBJECT
public:
    enum class Segment { Tools, Resources, Prompts };

    FunctionsPage(QList<FeatureCard> tools, QList<FeatureCard> resources, QList<FeatureCard> prompts, QWidget* parent = nullptr);

    Segment segment() const { return m_segment; }
    FeatureFilterModel& filter() const { return *m_filter; }
    QList<FeatureCardWidget*> cards() const { return m_cardWidgets; }
    QStringList categoryChoices() const;

public Q_SLOTS:
    void setSegment(FunctionsPage::Segment segment);
    void setSearchText(const QString& text);
    void setCategory(const QString& category);

private:
    void rebuildCards();

    QList<FeatureCard> m_sources[3];
    Segment m_segment = Segment::Tools;
    FeatureCardModel* m_model;
    FeatureFilterModel* m_filter;
    QButtonGroup* m_segments;
    QLineEdit* m_search;
    QComboBox* m_category;
    QVBoxLayout* m_cardLayout;
    QLabel* m_noMatch;
    QList<FeatureCardWidget*> m_cardWidgets;
};
