#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class QFileSystemWatcher;

// The resources a client has subscribed to, and the coalescing of their change reports: a
// change starts the interval, and one update at its end stands for every change within it, so
// a burst of changes gives one update and no resource gives more than one per interval. Files
// are watched on disk while subscribed.
class ResourceSubscriptions : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalMs = 500;
    // Subscriptions of the whole process, over every instance: each file costs a watch from the
    // user's inotify budget, which other programs of the user need too.
    static constexpr int kMaxSubscriptions = 1024;
    static constexpr const char* kTooManyText = "Too many subscriptions";

    explicit ResourceSubscriptions(QObject* parent = nullptr);
    ~ResourceSubscriptions() override;

    // False when the process holds kMaxSubscriptions already (a repeated one succeeds).
    bool subscribe(const QString& uri, const QString& filePath = {});
    void unsubscribe(const QString& uri);
    void clear();
    bool isSubscribed(const QString& uri) const { return m_subscriptions.contains(uri); }
    bool isEmpty() const { return m_subscriptions.isEmpty(); }

    void setInterval(int milliseconds) { m_intervalMs = milliseconds; }

    // Reports that the content behind `uri` changed; ignored unless subscribed.
    void resourceChanged(const QString& uri);

Q_SIGNALS:
    void updated(const QString& uri);

private:
    struct Subscription {
        QString filePath;
        QDateTime fileModified; // what the file looked like when last reported
        qint64 fileSize = -1;
        QTimer* pending = nullptr; // a later update waiting for the interval to pass
    };

    void send(const QString& uri);
    void fileChanged(const QString& path);
    void folderChanged(const QString& folder);
    QFileSystemWatcher& watcher();
    void watch(const QString& path);
    void unwatch(const QString& path);

    int m_intervalMs = kDefaultIntervalMs;
    QHash<QString, Subscription> m_subscriptions;
    // Made with the first watch: most clients subscribe to nothing, and the watcher's code is
    // then never touched.
    QFileSystemWatcher* m_watcher = nullptr;
    // How many subscriptions need each watched file and folder, so that ending one costs the
    // same however many there are.
    QHash<QString, int> m_watchCounts;
};
