#pragma once

#include "platform/files/LinuxFileManager.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// A temporary tree for the file tools to work on, and the real file manager.
class FileSystemToolTest : public ::testing::Test {
protected:
    // QTemporaryDir cannot remove names that are not UTF-8; the file manager can (once nothing
    // is mounted inside).
    void TearDown() override
    {
        for (auto mountPoint = m_mounts.rbegin(); mountPoint != m_mounts.rend(); ++mountPoint)
            ::umount2(mountPoint->constData(), MNT_DETACH);
        m_files.removeItem(FilePath(path()), true);
    }

    // Mounts a file system at `relative` (a small tmpfs, or with `bindFrom` a bind mount of that
    // folder of the tree). Only in the suite's run in a private mount namespace
    // (zarnel_tests_private_mounts), which leaves the system's own mounts and /dev alone;
    // elsewhere the caller skips.
    bool mountAt(const QString& relative, const char* tmpfsOptions, const QString& bindFrom = QString())
    {
        if (qEnvironmentVariableIsEmpty("ZARNEL_TEST_PRIVATE_MOUNTS") || !inPrivateMountNamespace())
            return false;
        if (!QDir().mkpath(path(relative)))
            return false;
        const QByteArray target = path(relative).toUtf8();
        const bool mounted = bindFrom.isEmpty()
            ? ::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID, tmpfsOptions) == 0
            : ::mount(path(bindFrom).toUtf8().constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0;
        if (mounted)
            m_mounts.push_back(target);
        return mounted;
    }
    static bool inPrivateMountNamespace()
    {
        return QFile::symLinkTarget(QStringLiteral("/proc/self/ns/mnt")) != QFile::symLinkTarget(QStringLiteral("/proc/1/ns/mnt"))
            || QFile::symLinkTarget(QStringLiteral("/proc/1/ns/mnt")).isEmpty();
    }

    QString path(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.path() + QLatin1Char('/') + relative;
    }
    std::string pathText(const QString& relative = QString()) const { return path(relative).toStdString(); }

    void writeBytes(const QString& relative, const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readBytes(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    void makeDirectory(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    void makeLink(const QString& target, const QString& relative) const { ASSERT_TRUE(QFile::link(target, path(relative))); }
    // A listening socket's name, left behind when the socket is closed.
    void makeSocket(const QString& relative) const
    {
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path(relative).toUtf8();
        ASSERT_LT(name.size(), static_cast<qsizetype>(sizeof address.sun_path));
        std::copy(name.begin(), name.end(), address.sun_path);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(listener);
    }
    void makeFifo(const QString& relative) const { ASSERT_EQ(::mkfifo(path(relative).toUtf8().constData(), 0600), 0); }
    bool exists(const QString& relative) const { return QFileInfo::exists(path(relative)) || QFileInfo(path(relative)).isSymLink(); }

    LinuxFileManager m_files;
    QTemporaryDir m_dir;
    std::vector<QByteArray> m_mounts;
};

// Makes the process's current directory the given one for the life of the guard.
class CurrentDirectoryGuard {
public:
    explicit CurrentDirectoryGuard(const QString& directory)
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(directory);
    }
    ~CurrentDirectoryGuard() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};
