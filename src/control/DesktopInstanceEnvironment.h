#pragma once

#include "control/ControlFolder.h"
#include "platform/session/SessionEnvironment.h"

#include <QHash>

// The display variables of the person's running desktop instance, for a process whose client
// stripped its environment where no user manager keeps them: the desktop instance runs on the
// person's display, so its DISPLAY, WAYLAND_DISPLAY, XAUTHORITY and session variables are the
// ones to use. Plain blocking calls: this runs before the application object exists, and a
// local socket answers at once or not at all.
namespace DesktopInstanceEnvironment {

// What the first process of the folder that answers "display-environment" runs with (only the
// desktop instance does), among DisplayCommands::displayVariables(); empty when none answers.
QHash<QString, QString> ask(const ControlFolder& folder);

// Of `offered`, what `environment` lacks, as variables found "from the desktop instance".
QList<SessionEnvironment::Variable> missingFrom(const QProcessEnvironment& environment, const QHash<QString, QString>& offered);

// Asks when this process has no display in its environment, and sets what it lacks. Call
// before any library reads the variables.
QList<SessionEnvironment::Variable> adoptIntoProcess(const ControlFolder& folder);

} // namespace DesktopInstanceEnvironment
