#pragma once

#include <QObject>

// Whether the desktop has a tray (the panel area that holds status items), and when one comes:
// started at login, the program may be up before the panel is.
class TrayHostWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether a tray is there now. Qt decides once per run whether the desktop has a tray, the
    // first time it is asked: ask this first, and Qt only when a tray is there.
    virtual bool isPresent() const = 0;

Q_SIGNALS:
    // A tray came that was not there before.
    void appeared();
};
