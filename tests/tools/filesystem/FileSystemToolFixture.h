#pragma once

#include "platform/LinuxFileManager.h"
#include "support/ToolCalls.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

// A temporary tree for the file tools to work on, and the real file manager.
class FileSystemToolTest : public ::testing::Test {
protected:
    // QTemporaryDir cannot remove names that are not UTF-8; the file manager can.
    void TearDown() override { m_files.removeItem(FilePath(path())); }

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
    bool exists(const QString& relative) const { return QFileInfo::exists(path(relative)) || QFileInfo(path(relative)).isSymLink(); }

    LinuxFileManager m_files;
    QTemporaryDir m_dir;
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
