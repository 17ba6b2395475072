#include "ui/models/FeatureCardModel.h"

#include "control/ToolActions.h"

namespace {

QString text(const std::string& value)
{
    return QString::fromStdString(value);
}

QString text(const std::optional<std::string>& value)
{
    return value ? QString::fromStdString(*value) : QString();
}

bool containsAny(const QString& name, std::initializer_list<const char*> parts)
{
    return std::any_of(parts.begin(), parts.end(), [&](const char* part) { return name.contains(QLatin1String(part)); });
}

} // namespace

namespace FeatureCards {

QStringList toolCategories()
{
    return {QStringLiteral("File System"), QStringLiteral("System"), QStringLiteral("App Control")};
}

QStringList promptCategories()
{
    return {QStringLiteral("Analysis"), QStringLiteral("System"), QStringLiteral("Security")};
}

QList<FeatureCard> fromTools(const std::vector<MCPTool>& tools)
{
    QList<FeatureCard> cards;
    for (const MCPTool& tool : ToolActions::inListingOrder(tools)) {
        FeatureCard card;
        card.name = text(tool.name);
        card.description = text(tool.description);
        if (ToolActions::isUnavailableHere(tool.name))
            card.description += QStringLiteral(" (%1)").arg(ToolActions::kUnavailableMark);
        card.symbol = QStringLiteral("wrench.and.screwdriver");
        // Selected by parts of the name, case-sensitively, as the tool shortcuts select them.
        if (containsAny(card.name, {"file", "directory"}))
            card.categories << QStringLiteral("File System");
        if (containsAny(card.name, {"command", "clipboard", "screenshot", "system", "notification"}))
            card.categories << QStringLiteral("System");
        if (containsAny(card.name, {"app", "applescript"}))
            card.categories << QStringLiteral("App Control");
        card.detailsHeading = QStringLiteral("Parameters:");
        const std::vector<std::string> required = tool.inputSchema.required.value_or(std::vector<std::string>{});
        if (tool.inputSchema.properties) {
            for (const auto& [name, property] : *tool.inputSchema.properties) {
                const bool isRequired = std::find(required.begin(), required.end(), name) != required.end();
                card.details.append(FeatureDetail{text(name), text(property.type), text(property.description), isRequired});
            }
        }
        cards.append(card);
    }
    return cards;
}

QList<FeatureCard> fromResources(const std::vector<MCPResource>& resources)
{
    QList<FeatureCard> cards;
    for (const MCPResource& resource : resources) {
        FeatureCard card;
        card.name = text(resource.name);
        card.description = text(resource.description);
        card.symbol = resource.uri.starts_with("system://") ? QStringLiteral("desktopcomputer") : QStringLiteral("server.rack");
        card.facts << QStringLiteral("URI: ") + text(resource.uri) << QStringLiteral("Type: ") + text(resource.mimeType)
                   << QStringLiteral("Access via: resources/read");
        cards.append(card);
    }
    return cards;
}

QList<FeatureCard> fromPrompts(const std::vector<MCPPrompt>& prompts)
{
    QList<FeatureCard> cards;
    for (const MCPPrompt& prompt : prompts) {
        FeatureCard card;
        card.name = text(prompt.name);
        card.description = text(prompt.description);
        card.symbol = QStringLiteral("text.bubble");
        if (containsAny(card.name, {"analyze", "review"}))
            card.categories << QStringLiteral("Analysis");
        if (containsAny(card.name, {"system", "optimize", "backup"}))
            card.categories << QStringLiteral("System");
        if (containsAny(card.name, {"security", "audit", "remote"}))
            card.categories << QStringLiteral("Security");
        const std::vector<PromptArgument> arguments = prompt.arguments.value_or(std::vector<PromptArgument>{});
        if (arguments.empty()) {
            card.facts << QStringLiteral("No arguments required");
        } else {
            card.detailsHeading = QStringLiteral("Arguments:");
            for (const PromptArgument& argument : arguments)
                card.details.append(FeatureDetail{text(argument.name), {}, text(argument.description), argument.required.value_or(false)});
        }
        card.facts << QStringLiteral("Access via: prompts/get");
        cards.append(card);
    }
    return cards;
}

} // namespace FeatureCards

FeatureCardModel::FeatureCardModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void FeatureCardModel::setCards(QList<FeatureCard> cards)
{
    beginResetModel();
    m_cards = std::move(cards);
    m_expanded = QList<bool>(m_cards.size(), false);
    endResetModel();
}

int FeatureCardModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_cards.size());
}

QVariant FeatureCardModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FeatureCard& card = m_cards.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return card.name;
    case DescriptionRole:
    case Qt::ToolTipRole: return card.description;
    case SymbolRole: return card.symbol;
    case CategoriesRole: return card.categories;
    case ExpandedRole: return m_expanded.at(index.row());
    default: return {};
    }
}

bool FeatureCardModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != ExpandedRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    if (m_expanded[index.row()] == value.toBool())
        return true;
    m_expanded[index.row()] = value.toBool();
    Q_EMIT dataChanged(index, index, {ExpandedRole});
    return true;
}

Qt::ItemFlags FeatureCardModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? QAbstractListModel::flags(index) | Qt::ItemIsEditable : QAbstractListModel::flags(index);
}
