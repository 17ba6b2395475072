#include "ui/tray/TrayMenu.h"

#include <QTextDocument>

TrayMenu::TrayMenu(const TrayMenuModel& model, QWidget* parent)
    : QMenu(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("trayMenu"));
    // Shortened entries carry their whole text as a tooltip.
    setToolTipsVisible(true);
    connect(&model, &TrayMenuModel::itemsChanged, this, &TrayMenu::follow);
    follow();
}

QString TrayMenu::displayText(const QString& text)
{
    QString shown = text;
    // A tab would split the item into a text and a shortcut column; line breaks make it tall.
    for (QChar& c : shown) {
        if (c == u'\n' || c == u'\r' || c == u'\t')
            c = u' ';
    }
    return shown.replace(u'&', QStringLiteral("&&"));
}

QAction* TrayMenu::createAction(const TrayMenuItem& item)
{
    auto* action = new QAction(this);
    action->setSeparator(item.separator);
    connect(action, &QAction::triggered, this, [this, action] { Q_EMIT actionChosen(static_cast<TrayAction>(action->data().toInt())); });
    return action;
}

bool TrayMenu::stands(const QAction* action, const TrayMenuItem& item)
{
    return action->isSeparator() == item.separator && (item.separator || action->data().toInt() == static_cast<int>(item.action));
}

void TrayMenu::follow()
{
    // An action keeps the command it was made for: a shown menu whose lines move (a new activity
    // line above them) must not turn a click on one command into another. A line that no longer
    // stands where its action is gets an action of its own, and one action gone is dropped.
    const QList<TrayMenuItem>& items = m_model.items();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const TrayMenuItem& item = items[i];
        if (i < m_actions.size() && !stands(m_actions[i], item) && i + 1 < m_actions.size() && stands(m_actions[i + 1], item)) {
            QAction* gone = m_actions.takeAt(i);
            removeAction(gone);
            gone->deleteLater();
        }
        if (i == m_actions.size() || !stands(m_actions[i], item)) {
            QAction* action = createAction(item);
            action->setData(static_cast<int>(item.action));
            insertAction(i < m_actions.size() ? m_actions[i] : nullptr, action);
            m_actions.insert(i, action);
        }
        QAction* action = m_actions[i];
        if (item.separator)
            continue;
        const QString text = displayText(item.text);
        if (action->text() != text)
            action->setText(text);
        // As plain text: a log message may hold anything that looks like markup.
        action->setToolTip(item.toolTip.isEmpty() ? QString() : Qt::convertFromPlainText(item.toolTip));
        if (action->isEnabled() != item.enabled)
            action->setEnabled(item.enabled);
    }
    while (m_actions.size() > items.size()) {
        QAction* surplus = m_actions.takeLast();
        removeAction(surplus);
        surplus->deleteLater();
    }
}
