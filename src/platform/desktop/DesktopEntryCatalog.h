#pragma once

#include "platform/desktop/DesktopEntry.h"

#include <QString>
#include <QStringList>

#include <vector>

// The installed applications: the ".desktop" files under the "applications" folders of the
// XDG data directories. Where two folders hold the same desktop-file id, the earlier folder's
// file is the one that counts (even when it hides the application). Read afresh on each call,
// so applications installed meanwhile appear.
class DesktopEntryCatalog {
public:
    // `applicationDirectories` in order of precedence; `locale` picks the translated names.
    DesktopEntryCatalog(QStringList applicationDirectories, QString locale);

    // $XDG_DATA_HOME/applications, then each $XDG_DATA_DIRS entry's, with the defaults of the
    // base-directory rules when a variable is unset or empty; relative paths do not count.
    static QStringList applicationDirectoriesFromEnvironment();
    // The language of messages: LC_ALL, else LC_MESSAGES, else LANG.
    static QString localeFromEnvironment();

    // The applications, by folder precedence and within one folder by id.
    std::vector<DesktopEntry> applications() const;

private:
    QStringList m_directories;
    QString m_locale;
};
