#include "ui/dashboard/FunctionsPage.h"

#include "ui/Symbols.h"
#include "ui/dashboard/FeatureCardWidget.h"
#include "ui/dashboard/PageHeader.h"
#include "ui/models/FeatureFilterModel.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

FunctionsPage::FunctionsPage(QList<FeatureCard> tools, QList<FeatureCard> resources, QList<FeatureCard> prompts, QWidget* parent)
    : QWidget(parent)
    , m_sources{std::move(tools), std::move(resources), std::move(prompts)}
    , m_model(new FeatureCardModel(this))
    , m_filter(new FeatureFilterModel(this))
    , m_segments(new QButtonGroup(this))
    , m_search(new QLineEdit(this))
    , m_category(new QComboBox(this))
{
    setObjectName(QStringLiteral("FunctionsPage"));
    m_filter->setSourceModel(m_model);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageHeader::title(QStringLiteral("MCP Features"), this));

    auto* controls = new QHBoxLayout;
    const QStringList names{QStringLiteral("Tools"), QStringLiteral("Resources"), QStringLiteral("Prompts")};
    for (int i = 0; i < names.size(); ++i) {
        auto* button = new QPushButton(names.at(i), this);
        button->setCheckable(true);
        button->setAccessibleName(names.at(i));
        button->setObjectName(names.at(i));
        m_segments->addButton(button, i);
        controls->addWidget(button);
    }
    m_segments->button(0)->setChecked(true);
    controls->addSpacing(12);
    m_search->setPlaceholderText(QStringLiteral("Search..."));
    m_search->setAccessibleName(QStringLiteral("Search features"));
    m_search->setClearButtonEnabled(true);
    m_search->addAction(Symbols::icon(QStringLiteral("magnifyingglass")), QLineEdit::LeadingPosition);
    controls->addWidget(m_search, 1);
    m_category->setAccessibleName(QStringLiteral("Category"));
    controls->addWidget(m_category);
    layout->addLayout(controls);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* list = new QWidget(scroll);
    m_cardLayout = new QVBoxLayout(list);
    m_noMatch = new QLabel(QStringLiteral("No matching features found"), list);
    m_noMatch->setAlignment(Qt::AlignCenter);
    m_noMatch->setForegroundRole(QPalette::PlaceholderText);
    m_cardLayout->addWidget(m_noMatch);
    m_cardLayout->addStretch();
    scroll->setWidget(list);
    layout->addWidget(scroll, 1);

    connect(m_segments, &QButtonGroup::idClicked, this, [this](int id) { setSegment(static_cast<Segment>(id)); });
    connect(m_search, &QLineEdit::textChanged, this, &FunctionsPage::setSearchText);
    connect(m_category, &QComboBox::currentTextChanged, this, &FunctionsPage::setCategory);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &FunctionsPage::rebuildCards);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &FunctionsPage::rebuildCards);
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &FunctionsPage::rebuildCards);
    connect(m_filter, &QAbstractItemModel::layoutChanged, this, &FunctionsPage::rebuildCards);

    m_segment = Segment::Resources; // differs, so that the next line fills everything
    setSegment(Segment::Tools);
}

QStringList FunctionsPage::categoryChoices() const
{
    QStringList choices;
    for (int i = 0; i < m_category->count(); ++i)
        choices << m_category->itemText(i);
    return choices;
}

void FunctionsPage::setSegment(Segment segment)
{
    if (segment == m_segment)
        return;
    m_segment = segment;
    m_segments->button(static_cast<int>(segment))->setChecked(true);
    const QStringList categories = segment == Segment::Tools ? FeatureCards::toolCategories()
        : segment == Segment::Prompts                        ? FeatureCards::promptCategories()
                                                             : QStringList();
    {
        const QSignalBlocker quiet(m_category);
        m_category->clear();
        if (!categories.isEmpty())
            m_category->addItems(QStringList{FeatureCards::kAllCategories} + categories);
    }
    m_category->setVisible(!categories.isEmpty());
    m_filter->setCategory(FeatureCards::kAllCategories);
    m_model->setCards(m_sources[static_cast<int>(segment)]);
}

void FunctionsPage::setSearchText(const QString& text)
{
    if (m_search->text() != text)
        m_search->setText(text);
    m_filter->setSearchText(text);
}

void FunctionsPage::setCategory(const QString& category)
{
    if (m_category->currentText() != category) {
        const QSignalBlocker quiet(m_category);
        m_category->setCurrentText(category);
    }
    m_filter->setCategory(category);
}

void FunctionsPage::rebuildCards()
{
    qDeleteAll(m_cardWidgets);
    m_cardWidgets.clear();
    auto* list = m_noMatch->parentWidget();
    for (int row = 0; row < m_filter->rowCount(); ++row) {
        const QModelIndex index = m_filter->mapToSource(m_filter->index(row, 0));
        auto* card = new FeatureCardWidget(m_model->cardAt(index.row()), QPersistentModelIndex(index), list);
        m_cardLayout->insertWidget(row, card);
        m_cardWidgets.append(card);
    }
    m_noMatch->setVisible(m_cardWidgets.isEmpty());
}
