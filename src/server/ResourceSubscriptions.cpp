#include "server/ResourceSubscriptions.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace {

// Touched on the main thread only.
int processSubscriptions = 0;

} // namespace

ResourceSubscriptions::ResourceSubscriptions(QObject* parent)
    : QObject(parent)
{
}

ResourceSubscriptions::~ResourceSubscriptions()
{
    clear();
}

bool ResourceSubscriptions::subscribe(const QString& uri, const QString& filePath)
{
    if (m_subscriptions.contains(uri))
        return true;
    if (processSubscriptions >= kMaxSubscriptions)
        return false;
    ++processSubscriptions;
    Subscription subscription;
    subscription.filePath = filePath;
    if (!filePath.isEmpty()) {
        const QFileInfo info(filePath);
        subscription.fileModified = info.lastModified();
        subscription.fileSize = info.exists() ? info.size() : -1;
    }
    m_subscriptions.insert(uri, subscription);
    if (!filePath.isEmpty()) {
        watch(filePath);
        watch(QFileInfo(filePath).absolutePath());
    }
    return true;
}

QFileSystemWatcher& ResourceSubscriptions::watcher()
{
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &ResourceSubscriptions::fileChanged);
        // Editors often replace a file (write elsewhere, rename over it): the watch on the old
        // inode is gone, so the folder is watched too.
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &ResourceSubscriptions::folderChanged);
    }
    return *m_watcher;
}

void ResourceSubscriptions::watch(const QString& path)
{
    if (m_watchCounts[path]++ == 0)
        watcher().addPath(path);
}

void ResourceSubscriptions::unwatch(const QString& path)
{
    const auto it = m_watchCounts.find(path);
    if (it == m_watchCounts.end() || --*it > 0)
        return;
    m_watchCounts.erase(it);
    watcher().removePath(path);
}

void ResourceSubscriptions::unsubscribe(const QString& uri)
{
    const auto it = m_subscriptions.find(uri);
    if (it == m_subscriptions.end())
        return;
    delete it->pending;
    const QString filePath = it->filePath;
    m_subscriptions.erase(it);
    --processSubscriptions;
    if (filePath.isEmpty())
        return;
    unwatch(filePath);
    unwatch(QFileInfo(filePath).absolutePath());
}

void ResourceSubscriptions::clear()
{
    for (const auto& uri : m_subscriptions.keys())
        unsubscribe(uri);
}

void ResourceSubscriptions::resourceChanged(const QString& uri)
{
    const auto it = m_subscriptions.find(uri);
    if (it == m_subscriptions.end() || it->pending)
        return;
    it->pending = new QTimer(this);
    it->pending->setSingleShot(true);
    connect(it->pending, &QTimer::timeout, this, [this, uri] { send(uri); });
    it->pending->start(m_intervalMs);
}

void ResourceSubscriptions::send(const QString& uri)
{
    const auto it = m_subscriptions.find(uri);
    if (it == m_subscriptions.end())
        return;
    if (it->pending) {
        it->pending->deleteLater();
        it->pending = nullptr;
    }
    Q_EMIT updated(uri);
}

void ResourceSubscriptions::fileChanged(const QString& path)
{
    // A replaced file drops out of the watch list; put it back while it exists.
    if (QFileInfo::exists(path) && !watcher().files().contains(path))
        watcher().addPath(path);
    const QFileInfo info(path);
    for (auto it = m_subscriptions.begin(); it != m_subscriptions.end(); ++it) {
        if (it->filePath != path)
            continue;
        it->fileModified = info.lastModified();
        it->fileSize = info.exists() ? info.size() : -1;
        resourceChanged(it.key());
    }
}

void ResourceSubscriptions::folderChanged(const QString& folder)
{
    // Something in the folder changed; report only the subscribed files that look different.
    QStringList changed;
    for (auto it = m_subscriptions.cbegin(); it != m_subscriptions.cend(); ++it) {
        if (it->filePath.isEmpty() || QFileInfo(it->filePath).absolutePath() != folder)
            continue;
        const QFileInfo info(it->filePath);
        if (info.lastModified() != it->fileModified || (info.exists() ? info.size() : -1) != it->fileSize)
            changed.append(it->filePath);
    }
    changed.removeDuplicates();
    for (const QString& path : changed)
        fileChanged(path);
}
