#include "platform/desktop/DesktopEntryCatalog.h"

#include <QDir>
#include <QDirIterator>
#include <QSet>

#include <algorithm>

DesktopEntryCatalog::DesktopEntryCatalog(QStringList applicationDirectories, QString locale)
    : m_directories(std::move(applicationDirectories))
    , m_locale(std::move(locale))
{
}

QStringList DesktopEntryCatalog::applicationDirectoriesFromEnvironment()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(u':', Qt::SkipEmptyParts);
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};

    QStringList directories;
    for (const QString& base : QStringList{dataHome} + dataDirs) {
        if (!QDir::isAbsolutePath(base))
            continue;
        const QString directory = QDir::cleanPath(base + QStringLiteral("/applications"));
        if (!directories.contains(directory))
            directories << directory;
    }
    return directories;
}

QString DesktopEntryCatalog::localeFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

std::vector<DesktopEntry> DesktopEntryCatalog::applications() const
{
    std::vector<DesktopEntry> entries;
    QSet<QString> seenIds;
    for (const QString& directory : m_directories) {
        const QDir root(directory);
        // The id of "applications/kde/konsole.desktop" is "kde-konsole".
        std::vector<std::pair<QString, QString>> files;
        QDirIterator it(directory, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QString id = root.relativeFilePath(path);
            id.chop(int(sizeof(".desktop") - 1));
            id.replace(u'/', u'-');
            files.emplace_back(std::move(id), path);
        }
        std::sort(files.begin(), files.end());
        for (const auto& [id, path] : files) {
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            if (auto entry = DesktopEntry::read(path, id, m_locale))
                entries.push_back(std::move(*entry));
        }
    }
    return entries;
}
