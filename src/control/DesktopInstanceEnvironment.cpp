#include "control/DesktopInstanceEnvironment.h"

#include "control/ControlClient.h"
#include "control/DisplayCommands.h"
#include "platform/session/DisplayEnvironment.h"

#include <QFile>

#include <algorithm>

namespace DesktopInstanceEnvironment {

namespace {

// A value that could not have come from an environment is not taken.
bool isPlausible(const std::string& value)
{
    return !value.empty() && value.find('\0') == std::string::npos && value.find('\n') == std::string::npos;
}

} // namespace

QHash<QString, QString> ask(const ControlFolder& folder)
{
    QHash<QString, QString> found;
    if (!folder.isUsable())
        return found;
    for (const qint64 pid : folder.socketProcessIds()) {
        const auto reply = ControlClient::askBlocking(folder.socketPath(pid), DisplayCommands::kDisplayEnvironmentCommand);
        if (!reply || !reply->ok || !reply->result.is_object())
            continue;
        const Json variables = reply->result.value("variables", Json::object());
        if (!variables.is_object())
            continue;
        for (const QString& name : DisplayCommands::displayVariables()) {
            const auto value = variables.find(name.toStdString());
            if (value != variables.end() && value->is_string() && isPlausible(value->get<std::string>()))
                found.insert(name, QString::fromStdString(value->get<std::string>()));
        }
        return found;
    }
    return found;
}

QList<SessionEnvironment::Variable> missingFrom(const QProcessEnvironment& environment, const QHash<QString, QString>& offered)
{
    QList<SessionEnvironment::Variable> missing;
    for (const QString& name : DisplayCommands::displayVariables()) {
        if (offered.contains(name) && environment.value(name).isEmpty())
            missing.append({name, offered.value(name), QStringLiteral("the desktop instance")});
    }
    return missing;
}

QList<SessionEnvironment::Variable> adoptIntoProcess(const ControlFolder& folder)
{
    if (DisplayEnvironment::hasDisplaySession())
        return {};
    const QList<SessionEnvironment::Variable> missing = missingFrom(QProcessEnvironment::systemEnvironment(), ask(folder));
    for (const SessionEnvironment::Variable& variable : missing)
        qputenv(variable.name.toLocal8Bit().constData(), QFile::encodeName(variable.value));
    return missing;
}

} // namespace DesktopInstanceEnvironment
