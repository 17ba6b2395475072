#include "platform/files/FolderWatch.h"

#include <QFile>
#include <QSocketNotifier>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
{
}

FolderWatch::~FolderWatch()
{
    // The notifier goes before its descriptor is closed.
    delete m_notifier;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool FolderWatch::watch(const QString& folder)
{
    if (m_descriptor < 0) {
        m_descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_descriptor < 0)
            return false;
        m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatch::readEvents);
    }
    // Entries made, removed and renamed: a change inside a file is not one, nor is a change of
    // an entry's attributes. Asking for the latter makes the kernel mark every name the folder
    // has ever held, and a control folder keeps the names of every socket that came and went:
    // that took most of a millisecond of each client process's start.
    constexpr uint32_t kEntryChanges = IN_MOVE | IN_MOVE_SELF | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_ONLYDIR;
    return ::inotify_add_watch(m_descriptor, QFile::encodeName(folder).constData(), kEntryChanges) >= 0;
}

void FolderWatch::readEvents()
{
    alignas(inotify_event) char events[4096];
    bool changes = false;
    for (;;) {
        const ssize_t got = ::read(m_descriptor, events, sizeof events);
        if (got > 0) {
            changes = true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    if (changes)
        Q_EMIT changed();
}
