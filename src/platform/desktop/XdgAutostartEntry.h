#pragma once

#include "platform/desktop/LoginItem.h"

#include <QByteArray>
#include <QStringList>

#include <functional>

// Starting at login through the XDG autostart convention: a desktop entry in
// $XDG_CONFIG_HOME/autostart that the session starts when the user logs in. Our entry carries a
// key of its own, which is how it is told apart from an entry someone else put there.
class XdgAutostartEntry final : public LoginItem {
public:
    static constexpr const char* kFileName = "com.tarvonic.zarnel.desktop";
    static constexpr const char* kOwnerKey = "X-Tarvonic-Zarnel-Managed";

    // `configHome` is the XDG configuration folder; `command` the program and its arguments as
    // the session should start them.
    XdgAutostartEntry(QString configHome, QStringList command);
    // The command is asked for only when the entry is written: finding it may mean a look along
    // the PATH, which every start would pay for an entry that is rarely written.
    XdgAutostartEntry(QString configHome, std::function<QStringList()> command);

    // The user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    static QString userConfigHome();

    State state() const override;
    bool enable() override;
    bool disable() override;
    QString location() const override { return m_path; }

    // What our entry holds.
    QByteArray contents() const;

private:
    QString m_path;
    std::function<QStringList()> m_command;
};
