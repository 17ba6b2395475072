#pragma once

#include "ui/tray/TrayMenuModel.h"

#include <QMenu>

// The tray's menu, a mirror of a TrayMenuModel. It follows the model in place: the same actions
// get new texts and flags, so a menu the user holds open neither closes nor jumps.
class TrayMenu : public QMenu {
    Q_OBJECT
public:
    explicit TrayMenu(const TrayMenuModel& model, QWidget* parent = nullptr);

    // The text a menu item shows for a model text: one line, and "&" is not a mnemonic.
    static QString displayText(const QString& text);

Q_SIGNALS:
    void actionChosen(TrayAction action);

private:
    void follow();
    QAction* createAction(const TrayMenuItem& item);
    // Whether the action can show the item: the same kind, and for a command the same command.
    static bool stands(const QAction* action, const TrayMenuItem& item);

    const TrayMenuModel& m_model;
    QList<QAction*> m_actions;
};
