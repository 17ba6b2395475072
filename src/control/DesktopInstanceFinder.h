#pragma once

#include "control/ControlFolder.h"
#include "control/ControlProtocol.h"

#include <QCoroTask>
#include <QString>

#include <chrono>
#include <optional>
#include <string>

// Finds the person's desktop instance among the processes of the control folder, for a process
// that hands display work (clipboard, screenshots, dialogs) to it. A client's process starts the
// desktop instance at launch without waiting for it, so its first request may come before the
// instance listens: on a display it is waited for, once, up to the start wait.
class DesktopInstanceFinder {
public:
    static constexpr std::chrono::milliseconds kStartWait{10'000};

    // `displayPresent`: whether a desktop instance can run in this session (a display), so that
    // one is worth waiting for.
    DesktopInstanceFinder(ControlFolder folder, bool displayPresent, std::chrono::milliseconds startWait = startWaitFromEnvironment());

    const ControlFolder& folder() const { return m_folder; }
    bool displayPresent() const { return m_displayPresent; }

    // Whether asking may find one: there is a display, or some process listens.
    bool mayFind() const;

    // The desktop instance's process id; 0 when there is none (after the wait, on a display).
    // Once a wait has ended without one, later calls only look.
    QCoro::Task<qint64> find();

    // The desktop instance's answer to one request, found as find() does; nothing when there is
    // none to ask (then the caller falls back to doing the work itself).
    QCoro::Task<std::optional<ControlProtocol::Reply>> ask(std::string command, Json args, int timeoutMs);

    // Why find() found none: "no display" when there is none, else "the desktop instance did not
    // start".
    QString absenceReason() const;

    // kStartWait, or ZARNEL_TEST_DESKTOP_INSTANCE_WAIT_MS for tests that cannot wait that long.
    static std::chrono::milliseconds startWaitFromEnvironment();

private:
    QCoro::Task<qint64> lookOnce();

    ControlFolder m_folder;
    bool m_displayPresent;
    std::chrono::milliseconds m_startWait;
    bool m_waited = false;
    qint64 m_found = 0; // asked again only when its socket is gone
};
