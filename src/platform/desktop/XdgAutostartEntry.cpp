#include "platform/desktop/XdgAutostartEntry.h"

#include "platform/processes/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

ZARNEL_LOGGING_CATEGORY(lcAutostart, "XdgAutostartEntry")

namespace {

// One argument of an Exec line: quoted when it holds a character the desktop-entry rules
// reserve, with the escapes a quoted argument needs, then with those of a string value.
QString execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = argument;
    text.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const bool needsQuotes = text.isEmpty() || std::any_of(text.begin(), text.end(), [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return text;
    QString quoted;
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Whether the [Desktop Entry] group of `text` sets our owner key to true.
bool markedAsOurs(const QByteArray& text)
{
    bool inEntryGroup = false;
    for (QByteArray line : text.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inEntryGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntryGroup)
            continue;
        const int equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == XdgAutostartEntry::kOwnerKey)
            return line.mid(equals + 1).trimmed() == "true";
    }
    return false;
}

} // namespace

XdgAutostartEntry::XdgAutostartEntry(QString configHome, QStringList command)
    : XdgAutostartEntry(std::move(configHome), [command = std::move(command)] { return command; })
{
}

XdgAutostartEntry::XdgAutostartEntry(QString configHome, std::function<QStringList()> command)
    : m_path(QDir(configHome).filePath(QStringLiteral("autostart/") + QLatin1String(kFileName)))
    , m_command(std::move(command))
{
}

QString XdgAutostartEntry::userConfigHome()
{
    // The base directory specification ignores a relative value.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QByteArray XdgAutostartEntry::contents() const
{
    QStringList exec;
    for (const QString& argument : m_command())
        exec << execArgument(argument);
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Zarnel\n"
                                        "Comment=Starts Zarnel in the panel's tray when you log in\n"
                                        "Exec=%1\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n"
                                        "%2=true\n")
                             .arg(exec.join(QLatin1Char(' ')), QLatin1String(kOwnerKey));
    return text.toUtf8();
}

LoginItem::State XdgAutostartEntry::state() const
{
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return State::Absent;
    // A link or anything but a plain file was put there by someone else.
    if (info.isSymLink() || !info.isFile())
        return State::Foreign;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return State::Foreign;
    return markedAsOurs(file.readAll()) ? State::Ours : State::Foreign;
}

bool XdgAutostartEntry::enable()
{
    switch (state()) {
    case State::Foreign: qCWarning(lcAutostart, "Not starting at login: %s belongs to someone else", qUtf8Printable(m_path)); return false;
    case State::Ours: {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == contents())
            return true;
        break;
    }
    case State::Absent: break;
    }
    if (!QDir().mkpath(QFileInfo(m_path).path())) {
        qCWarning(lcAutostart, "Could not create the folder of %s", qUtf8Printable(m_path));
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents()) < 0 || !file.commit()) {
        qCWarning(lcAutostart, "Could not write %s: %s", qUtf8Printable(m_path), qUtf8Printable(file.errorString()));
        return false;
    }
    qCInfo(lcAutostart, "Starting at login through %s", qUtf8Printable(m_path));
    return true;
}

bool XdgAutostartEntry::disable()
{
    if (state() != State::Ours)
        return true;
    if (!QFile::remove(m_path)) {
        qCWarning(lcAutostart, "Could not remove %s", qUtf8Printable(m_path));
        return false;
    }
    qCInfo(lcAutostart, "No longer starting at login: removed %s", qUtf8Printable(m_path));
    return true;
}
