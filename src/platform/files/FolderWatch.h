#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// Says when a folder's entries change (one is made, removed or renamed over, or the folder
// itself goes), much as QFileSystemWatcher's directoryChanged does, through inotify directly:
// every process watches its control folder from its start, and Qt's watcher would bring about
// 150 KiB of its code into each client's process.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(QObject* parent = nullptr);
    ~FolderWatch() override;

    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // False when the folder cannot be watched.
    bool watch(const QString& folder);

Q_SIGNALS:
    // One report for all the changes read at once.
    void changed();

private:
    void readEvents();

    int m_descriptor = -1;
    QSocketNotifier* m_notifier = nullptr;
};
