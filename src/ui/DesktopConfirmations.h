#pragma once

#include "control/ControlProtocol.h"
#include "ui/ConfirmationDialog.h"

#include <QCoroTask>
#include <QHash>
#include <QObject>
#include <QPointer>

class ControlServer;

// The desktop instance's side of confirmation: answers the "confirm" and
// "withdraw-confirmation" commands of its control socket (see DesktopConfirmationAsker) with one
// dialog per question.
class DesktopConfirmations : public QObject {
    Q_OBJECT

public:
    explicit DesktopConfirmations(QObject* parent = nullptr);

    void registerWith(ControlServer& server);

    QCoro::Task<ControlProtocol::Reply> confirm(Json args);
    ControlProtocol::Reply withdraw(const Json& args);

    // The dialogs waiting for an answer.
    QList<ConfirmationDialog*> openDialogs() const;

Q_SIGNALS:
    void dialogShown(ConfirmationDialog* dialog);

private:
    QHash<QString, QPointer<ConfirmationDialog>> m_open;
};
