#include "server/ConfirmationGate.h"

#include "platform/processes/Log.h"
#include "state/ActivityLog.h"
#include "state/SettingsManager.h"
#include "tools/BaseTool.h"

#include <QPointer>
#include <QTimer>

#include <array>

ZARNEL_LOGGING_CATEGORY(lcGate, "ConfirmationGate")

namespace {

QString argumentText(const Arguments& arguments, const char* key)
{
    const auto found = arguments.find(key);
    if (found == arguments.end() || !found->second.is_string())
        return {};
    return QString::fromStdString(found->second.get<std::string>());
}

// What the call will do, in words that finish "Allow <tool> to ...?".
QString actionOf(const std::string& tool, const Arguments& arguments)
{
    const auto text = [&](const char* key) { return argumentText(arguments, key); };
    if (tool == "execute_command") {
        QString action = QStringLiteral("run the command: ") + text("command");
        if (const QString folder = text("working_directory"); !folder.isEmpty())
            action += QStringLiteral(" (in ") + folder + QLatin1Char(')');
        return action;
    }
    if (tool == "delete_file")
        return QStringLiteral("delete ") + text("path");
    if (tool == "write_file")
        return QStringLiteral("write to ") + text("path");
    if (tool == "create_directory")
        return QStringLiteral("create the folder ") + text("path");
    if (tool == "move_file")
        return QStringLiteral("move ") + text("source") + QStringLiteral(" to ") + text("destination");
    if (tool == "copy_file")
        return QStringLiteral("copy ") + text("source") + QStringLiteral(" to ") + text("destination");
    if (tool == "launch_app") {
        QString action = QStringLiteral("launch ") + text("app");
        if (const QString extra = text("arguments"); !extra.isEmpty())
            action += QStringLiteral(" with the arguments ") + extra;
        return action;
    }
    if (tool == "quit_app")
        return QStringLiteral("quit ") + text("app");
    if (tool == "set_clipboard")
        return QStringLiteral("replace the clipboard with %1 characters of text").arg(text("content").size());
    if (tool == "send_notification")
        return QStringLiteral("post the notification \"") + text("title") + QLatin1Char('"');
    if (tool == "capture_screenshot") {
        const QString path = text("save_path");
        return path.isEmpty() ? QStringLiteral("capture the screen") : QStringLiteral("capture the screen to ") + path;
    }
    if (tool == "execute_applescript")
        return QStringLiteral("run a script");
    // A tool this list does not know: its arguments say what it will do.
    return QStringLiteral("run with the arguments ") + QString::fromStdString(Json(arguments).dump());
}

QString answerWord(ConfirmationAnswer answer)
{
    switch (answer) {
    case ConfirmationAnswer::Allowed: return QStringLiteral("allowed");
    case ConfirmationAnswer::Declined: return QStringLiteral("declined");
    case ConfirmationAnswer::Cancelled: return QStringLiteral("cancelled");
    case ConfirmationAnswer::NotAnswered:
    case ConfirmationAnswer::InputRequired:
    case ConfirmationAnswer::Unreachable: break;
    }
    return QStringLiteral("not answered");
}

Admission refused(const QString& text)
{
    return Admission{Admission::Verdict::Refused, BaseTool::errorResult(text)};
}

} // namespace

ConfirmationGate::ConfirmationGate(SettingsManager& settings, ActivityLog& log, std::function<bool(const std::string&)> needsConfirmation,
                                   QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_log(log)
    , m_needsConfirmation(std::move(needsConfirmation))
{
}

void ConfirmationGate::setTimeLimits(std::chrono::milliseconds client, std::chrono::milliseconds desktop)
{
    m_clientLimit = client;
    m_desktopLimit = desktop;
}

ConfirmationQuestion ConfirmationGate::questionFor(const std::string& tool, const Arguments& arguments)
{
    const QString name = QString::fromStdString(tool);
    return {name, QStringLiteral("Allow ") + name + QStringLiteral(" to ") + actionOf(tool, arguments) + QLatin1Char('?')};
}

bool ConfirmationGate::applies(const std::string& tool) const
{
    // Applications started for the person run outside the folders the assistant is confined to:
    // while folders are set, the person decides each start.
    if (tool == "launch_app" && !m_settings.allowedFolders().isEmpty())
        return true;
    return m_settings.requireConfirmation() && m_needsConfirmation(tool);
}

QCoro::Task<Admission> ConfirmationGate::admit(std::string tool, Arguments arguments, CancellationToken cancellation)
{
    if (!applies(tool))
        co_return Admission{};

    QPointer<ConfirmationGate> self(this);
    const ConfirmationQuestion question = questionFor(tool, arguments);
    // The client first: its user is the one who asked for the call.
    struct Way {
        ConfirmationAsker* asker;
        std::chrono::milliseconds limit;
        const char* through;
    };
    const std::array<Way, 2> ways{Way{m_clientAsker, m_clientLimit, "the client"}, Way{m_desktopAsker, m_desktopLimit, "a dialog"}};
    ConfirmationAnswer answer = ConfirmationAnswer::Unreachable;
    for (const Way& way : ways) {
        if (!way.asker || !way.asker->canAsk())
            continue;
        const QString asked = QStringLiteral("Confirmation asked through %1: %2").arg(QLatin1String(way.through), question.message);
        // A stateless client is asked by the result of the first call, and its retry brings the
        // answer without anything being asked: the question is logged once, when it goes out.
        const bool answersWithRetry = way.asker->answersWithRetry();
        if (!answersWithRetry)
            m_log.add(asked, LogType::Request);
        QCoro::Task<ConfirmationAnswer> asking = put(way.asker, way.limit, question, cancellation);
        answer = co_await asking;
        if (!self)
            co_return refused(QStringLiteral("Not approved: ") + question.tool + QStringLiteral(" was not answered"));
        if (answersWithRetry && answer == ConfirmationAnswer::InputRequired)
            m_log.add(asked, LogType::Request);
        if (answer != ConfirmationAnswer::Unreachable)
            break;
        m_log.add(QStringLiteral("Confirmation could not be asked through %1: %2").arg(QLatin1String(way.through), question.tool),
                  LogType::Error);
    }

    if (answer == ConfirmationAnswer::Allowed) {
        m_log.add(QStringLiteral("Confirmation allowed: ") + question.tool, LogType::Success);
        co_return Admission{};
    }
    if (answer == ConfirmationAnswer::InputRequired)
        co_return Admission{Admission::Verdict::AwaitingAnswer, {}};
    QString text;
    if (answer == ConfirmationAnswer::Unreachable) {
        // A display with no desktop instance on it is not "no display": the person would look
        // for the fault in the wrong place.
        QString why = m_desktopAsker ? m_desktopAsker->unreachableReason() : QString();
        if (why.isEmpty())
            why = QStringLiteral("there is no display");
        text = QStringLiteral("Not approved: ") + question.tool + QStringLiteral(" needs confirmation, and ") + why
            + QStringLiteral(" and the client cannot ask its user");
    } else if (answer == ConfirmationAnswer::Declined)
        text = ToolFailure::declinedReason(question.tool);
    else
        text = QStringLiteral("Not approved: ") + question.tool + QStringLiteral(" was ") + answerWord(answer);
    qCInfo(lcGate, "%s", qUtf8Printable(text));
    m_log.add(text, LogType::Error);
    co_return refused(text);
}

QCoro::Task<ConfirmationAnswer> ConfirmationGate::put(ConfirmationAsker* asker, std::chrono::milliseconds limit,
                                                      ConfirmationQuestion question, CancellationToken cancellation)
{
    // The question is taken back when the request is cancelled or its time runs out; the
    // context ends both watches when the question is settled.
    CancellationToken withdrawn;
    auto timedOut = std::make_shared<bool>(false);
    QObject context;
    QTimer limitTimer;
    limitTimer.setSingleShot(true);
    QObject::connect(&limitTimer, &QTimer::timeout, &context, [withdrawn, timedOut]() mutable {
        *timedOut = true;
        withdrawn.cancel();
    });
    limitTimer.start(limit);
    cancellation.onCancelled(&context, [withdrawn]() mutable { withdrawn.cancel(); });

    question.timeLimit = limit;
    QCoro::Task<ConfirmationAnswer> asking = asker->ask(std::move(question), withdrawn);
    const ConfirmationAnswer answer = co_await asking;
    if (cancellation.isCancelled())
        co_return ConfirmationAnswer::Cancelled;
    if (*timedOut)
        co_return ConfirmationAnswer::NotAnswered;
    co_return answer;
}
