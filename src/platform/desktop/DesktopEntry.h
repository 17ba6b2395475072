#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// One application of the freedesktop.org desktop-entry catalogue: the [Desktop Entry] group of
// a ".desktop" file whose Type is Application.
struct DesktopEntry {
    QString id; // the desktop-file id without ".desktop": "org.example.Editor"
    QString path;
    QString name; // Name in the user's language when the file translates it
    QString untranslatedName;
    QString icon;
    QString exec;             // Exec with the escapes of a string value resolved
    QString workingDirectory; // Path
    bool noDisplay = false;

    // What the file at `path` holds: an application, or nothing for any other file (a link,
    // a directory entry, an entry marked Hidden, an unreadable file). `locale` is a POSIX
    // locale name such as "de_DE.UTF-8@euro".
    static std::optional<DesktopEntry> read(const QString& path, const QString& id, const QString& locale);

    // The Exec command line split into arguments, with its field codes expanded for a start
    // without files or URLs. Nothing (and the reason in `error`) for a command line that breaks
    // the quoting or field-code rules.
    std::optional<QStringList> commandLine(QString* error = nullptr) const;
};
