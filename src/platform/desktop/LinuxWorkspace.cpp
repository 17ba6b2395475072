#include "platform/desktop/LinuxWorkspace.h"

#include "platform/DesktopLibrary.h"
#include "platform/processes/DetachedLauncher.h"
#include "platform/processes/ProcessTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <algorithm>
#include <numeric>

namespace {

QString resolveOnPath(const QString& program)
{
    if (program.contains(u'/'))
        return program;
    return QStandardPaths::findExecutable(program);
}

QString canonical(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// The program an Exec command runs: its first word, or the word after "env" and its settings.
QString programOf(const QStringList& command)
{
    qsizetype i = 0;
    if (QFileInfo(command.first()).fileName() == u"env") {
        ++i;
        while (i < command.size() && (command.at(i).contains(u'=') || command.at(i).startsWith(u'-')))
            ++i;
    }
    return i < command.size() ? command.at(i) : QString();
}

// A script's interpreter as the kernel runs it, from its "#!" line; "#!/usr/bin/env python3"
// runs python3 from the search path. Empty for anything that is not a script.
QString interpreterOf(const QString& program)
{
    QFile file(program);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(256);
    if (!head.startsWith("#!"))
        return {};
    const QList<QByteArray> words = head.mid(2, head.indexOf('\n') - 2).simplified().split(' ');
    QString interpreter = QFile::decodeName(words.value(0));
    if (QFileInfo(interpreter).fileName() == u"env" && words.size() > 1)
        interpreter = resolveOnPath(QFile::decodeName(words.at(1)));
    return canonical(interpreter);
}

// An entry that runs a shell command line would otherwise claim every shell of the user.
bool isShell(const QString& program)
{
    static const QStringList kShells = {QStringLiteral("sh"),   QStringLiteral("bash"), QStringLiteral("dash"),
                                        QStringLiteral("zsh"),  QStringLiteral("ksh"),  QStringLiteral("mksh"),
                                        QStringLiteral("fish"), QStringLiteral("csh"),  QStringLiteral("tcsh")};
    return kShells.contains(QFileInfo(program).fileName());
}

// Which installed application a process runs, by the program file of each entry.
class ProgramIndex {
public:
    explicit ProgramIndex(const std::vector<DesktopEntry>& entries)
    {
        // Where several entries run one program, a visible one names it before helpers
        // marked NoDisplay; otherwise the catalogue order decides.
        std::vector<int> order(entries.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_partition(order.begin(), order.end(), [&](int i) { return !entries[size_t(i)].noDisplay; });
        for (const int index : order) {
            const auto command = entries[size_t(index)].commandLine();
            if (!command)
                continue;
            const QString program = canonical(resolveOnPath(programOf(*command)));
            if (program.isEmpty() || isShell(program))
                continue;
            const QString interpreter = interpreterOf(program);
            if (interpreter.isEmpty()) {
                if (!m_programs.contains(program))
                    m_programs.insert(program, index);
            } else {
                m_scripts[interpreter].push_back({program, index});
            }
        }
    }

    // The entry's index, or -1.
    int entryOf(const ProcessInfo& process) const
    {
        if (const auto it = m_programs.constFind(process.executable); it != m_programs.constEnd())
            return *it;
        const auto scripts = m_scripts.constFind(process.executable);
        if (scripts == m_scripts.constEnd())
            return -1;
        // The kernel runs a script as "interpreter [option] script arguments...".
        for (qsizetype i = 1; i <= 2 && i < process.arguments.size(); ++i) {
            QString argument = process.arguments.at(i);
            if (argument.isEmpty())
                continue;
            if (QDir::isRelativePath(argument))
                argument = process.workingDirectory + u'/' + argument;
            const QString script = canonical(argument);
            for (const auto& [path, index] : *scripts) {
                if (path == script)
                    return index;
            }
        }
        return -1;
    }

private:
    QHash<QString, int> m_programs;
    QHash<QString, std::vector<std::pair<QString, int>>> m_scripts;
};

ApplicationLocation locationOf(const DesktopEntry& entry)
{
    return {entry.id + QStringLiteral(".desktop"), entry.path, entry.id};
}

} // namespace

LinuxWorkspace::Configuration LinuxWorkspace::Configuration::fromEnvironment()
{
    Configuration configuration;
    configuration.applicationDirectories = DesktopEntryCatalog::applicationDirectoriesFromEnvironment();
    configuration.locale = DesktopEntryCatalog::localeFromEnvironment();
    // Asked of the display library only when an application list wants it.
    configuration.activeWindow = DesktopLibrary::activeWindow();
    return configuration;
}

LinuxWorkspace::LinuxWorkspace(Configuration configuration)
    : m_configuration(std::move(configuration))
    , m_catalog(m_configuration.applicationDirectories, m_configuration.locale)
{
}

std::vector<RunningApplication> LinuxWorkspace::runningApplications() const
{
    const std::vector<DesktopEntry> entries = m_catalog.applications();
    const ProgramIndex index(entries);

    std::vector<ProcessInfo> processes;
    QHash<qint32, int> entryOfPid;
    QHash<qint32, qint32> parentOfPid;
    for (ProcessInfo& process : ProcessTable::processesOfCurrentUser()) {
        const int entry = index.entryOf(process);
        if (entry < 0)
            continue;
        entryOfPid.insert(process.pid, entry);
        parentOfPid.insert(process.pid, process.parentPid);
        processes.push_back(std::move(process));
    }
    const auto isHelper = [&](qint32 pid) {
        const qint32 parent = parentOfPid.value(pid);
        return entryOfPid.contains(parent) && entryOfPid.value(parent) == entryOfPid.value(pid);
    };

    // A helper's window makes its application the active one.
    std::optional<qint32> activePid;
    if (m_configuration.activeWindow) {
        if (const auto owner = m_configuration.activeWindow->owningProcess(); owner && entryOfPid.contains(qint32(*owner))) {
            qint32 pid = qint32(*owner);
            for (int depth = 0; depth < 64 && isHelper(pid); ++depth)
                pid = parentOfPid.value(pid);
            activePid = pid;
        }
    }

    std::vector<RunningApplication> applications;
    for (const ProcessInfo& process : processes) {
        if (isHelper(process.pid))
            continue;
        const DesktopEntry& entry = entries[size_t(entryOfPid.value(process.pid))];
        RunningApplication application;
        if (!entry.name.isEmpty())
            application.localizedName = entry.name;
        application.bundleIdentifier = entry.id;
        application.processIdentifier = process.pid;
        application.isActive = activePid == process.pid;
        applications.push_back(std::move(application));
    }
    return applications;
}

std::optional<ApplicationLocation> LinuxWorkspace::applicationWithIdentifier(const QString& identifier) const
{
    for (const DesktopEntry& entry : m_catalog.applications()) {
        if (entry.id == identifier)
            return locationOf(entry);
    }
    return std::nullopt;
}

std::optional<ApplicationLocation> LinuxWorkspace::applicationWithShortName(const QString& name) const
{
    if (name.isEmpty())
        return std::nullopt;
    const QString suffix = u'.' + name;
    for (const DesktopEntry& entry : m_catalog.applications()) {
        if (entry.id.endsWith(suffix) || entry.name.compare(name, Qt::CaseInsensitive) == 0
            || entry.untranslatedName.compare(name, Qt::CaseInsensitive) == 0)
            return locationOf(entry);
    }
    return std::nullopt;
}

std::optional<ApplicationLocation> LinuxWorkspace::executableNamed(const QString& name) const
{
    if (name.startsWith(u'/')) {
        const QFileInfo file(name);
        if (!file.isFile() || !file.isExecutable())
            return std::nullopt;
        return ApplicationLocation{file.fileName(), name, QString()};
    }
    if (name.isEmpty() || name.contains(u'/'))
        return std::nullopt;
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        return std::nullopt;
    return ApplicationLocation{name, path, QString()};
}

LaunchResult LinuxWorkspace::openApplication(const ApplicationLocation& location, const LaunchOptions& options) const
{
    // Desktop entries carry no way to start hidden or in the background, and focus is the
    // window manager's to give: `activate` and `hide` have no effect here.
    QStringList command;
    QString workingDirectory;
    if (location.identifier.isEmpty()) {
        command << location.path;
    } else {
        const auto entry = DesktopEntry::read(location.path, location.identifier, m_configuration.locale);
        if (!entry)
            return {false, QStringLiteral("%1 is no longer an application").arg(location.name)};
        QString why;
        const auto entryCommand = entry->commandLine(&why);
        if (!entryCommand)
            return {false, QStringLiteral("%1 has an invalid Exec command: %2").arg(location.name, why)};
        command = *entryCommand;
        workingDirectory = entry->workingDirectory;
    }
    if (options.arguments)
        command += *options.arguments;

    const DetachedLaunch launch = DetachedLauncher::start(command, workingDirectory, m_configuration.launchSettleTime);
    return {launch.succeeded(), launch.error};
}

bool LinuxWorkspace::terminate(const RunningApplication& application, bool force) const
{
    return ProcessTable::sendTermination(application.processIdentifier, force);
}
