#pragma once

#include "protocol/MCPPrompt.h"
#include "protocol/MCPResource.h"
#include "protocol/MCPTool.h"

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

#include <vector>

// One parameter of a tool or argument of a prompt, as its expanded card lists it.
struct FeatureDetail {
    QString name;
    QString type; // empty for prompt arguments
    QString description;
    bool required = false;
};

// One card of the Functions page: a tool, a resource or a prompt.
struct FeatureCard {
    QString name;
    QString description;
    QString symbol;
    QStringList categories; // the category-picker entries that select it
    QString detailsHeading; // "Parameters:", "Arguments:", or empty
    QList<FeatureDetail> details;
    QStringList facts; // further lines of the expanded card ("URI: ...", "Access via: ...")
};

// Cards from the three catalogues, and the categories each page segment offers.
namespace FeatureCards {

inline const QString kAllCategories = QStringLiteral("All");

QList<FeatureCard> fromTools(const std::vector<MCPTool>& tools);
QList<FeatureCard> fromResources(const std::vector<MCPResource>& resources);
QList<FeatureCard> fromPrompts(const std::vector<MCPPrompt>& prompts);

QStringList toolCategories();   // "File System", "System", "App Control"
QStringList promptCategories(); // "Analysis", "System", "Security"

} // namespace FeatureCards

// The cards of one segment, each with its expanded flag.
class FeatureCardModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        DescriptionRole = Qt::UserRole + 1,
        SymbolRole,
        CategoriesRole,
        ExpandedRole, // editable
    };

    explicit FeatureCardModel(QObject* parent = nullptr);

    void setCards(QList<FeatureCard> cards);
    const FeatureCard& cardAt(int row) const { return m_cards.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<FeatureCard> m_cards;
    QList<bool> m_expanded;
};
