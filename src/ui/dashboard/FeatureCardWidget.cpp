#include "ui/dashboard/FeatureCardWidget.h"

#include "ui/Symbols.h"
#include "ui/models/FeatureCardModel.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

namespace {

QString detailsHtml(const FeatureCard& card)
{
    QString html;
    if (!card.detailsHeading.isEmpty()) {
        html += QStringLiteral("<p><b>%1</b></p><ul>").arg(card.detailsHeading.toHtmlEscaped());
        for (const FeatureDetail& detail : card.details) {
            html += QStringLiteral("<li><code>%1</code>").arg(detail.name.toHtmlEscaped());
            if (!detail.type.isEmpty())
                html += QStringLiteral(" <i>(%1)</i>").arg(detail.type.toHtmlEscaped());
            if (detail.required)
                html += QStringLiteral(" <b style=\"color:#e0352b\">required</b>");
            if (!detail.description.isEmpty())
                html += QStringLiteral("<br/>%1").arg(detail.description.toHtmlEscaped());
            html += QStringLiteral("</li>");
        }
        html += QStringLiteral("</ul>");
    }
    for (const QString& fact : card.facts)
        html += QStringLiteral("<p>%1</p>").arg(fact.toHtmlEscaped());
    return html;
}

QString detailsPlain(const FeatureCard& card)
{
    QStringList lines;
    if (!card.detailsHeading.isEmpty()) {
        lines << card.detailsHeading;
        for (const FeatureDetail& detail : card.details) {
            QString line = detail.name;
            if (!detail.type.isEmpty())
                line += QStringLiteral(" (") + detail.type + QLatin1Char(')');
            if (detail.required)
                line += QStringLiteral(" required");
            if (!detail.description.isEmpty())
                line += QStringLiteral(": ") + detail.description;
            lines << line;
        }
    }
    lines << card.facts;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

FeatureCardWidget::FeatureCardWidget(const FeatureCard& card, const QPersistentModelIndex& index, QWidget* parent)
    : QFrame(parent)
    , m_index(index)
    , m_chevron(new QToolButton(this))
    , m_details(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setObjectName(card.name);
    setAccessibleName(card.name);
    setAccessibleDescription(card.description);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new SymbolLabel(card.symbol, 24, this), 0, 0, 2, 1, Qt::AlignTop);
    auto* name = new QLabel(card.name, this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(name, 0, 1);
    auto* description = new QLabel(card.description, this);
    description->setWordWrap(true);
    description->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(description, 1, 1);
    m_chevron->setAutoRaise(true);
    m_chevron->setAccessibleName(QStringLiteral("Show details of ") + card.name);
    layout->addWidget(m_chevron, 0, 2, 2, 1, Qt::AlignTop);
    m_details->setTextFormat(Qt::RichText);
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setText(detailsHtml(card));
    m_plainDetails = detailsPlain(card);
    layout->addWidget(m_details, 2, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    connect(m_chevron, &QToolButton::clicked, this, [this] { setExpanded(!isExpanded()); });
    showExpanded(isExpanded());
}

bool FeatureCardWidget::isExpanded() const
{
    return m_index.data(FeatureCardModel::ExpandedRole).toBool();
}

QString FeatureCardWidget::detailsText() const
{
    return m_plainDetails;
}

void FeatureCardWidget::setExpanded(bool expanded)
{
    if (m_index.isValid())
        const_cast<QAbstractItemModel*>(m_index.model())->setData(m_index, expanded, FeatureCardModel::ExpandedRole);
    showExpanded(expanded);
}

void FeatureCardWidget::showExpanded(bool expanded)
{
    m_details->setVisible(expanded);
    m_chevron->setIcon(Symbols::icon(expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down")));
    m_chevron->setToolTip(expanded ? QStringLiteral("Hide details") : QStringLiteral("Show details"));
}
