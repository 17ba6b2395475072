#include "control/TransferFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace TransferFile {

namespace {

const QString kPrefix = QStringLiteral("transfer-");

// A receiver takes its file within moments of the answer; one that gave up waiting never does,
// and the folder is in memory until the person logs out.
void removeAbandoned(const ControlFolder& folder)
{
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-kAbandonedAfterSeconds);
    const QFileInfoList files = QDir(folder.path()).entryInfoList({kPrefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : files) {
        if (!file.isSymLink() && file.lastModified().toUTC() < cutoff)
            QFile::remove(file.filePath());
    }
}

} // namespace

std::optional<QString> create(const ControlFolder& folder, const QString& suffix, QString* error)
{
    removeAbandoned(folder);
    QTemporaryFile file(folder.path() + QLatin1Char('/') + kPrefix + QStringLiteral("XXXXXX") + suffix);
    file.setAutoRemove(false);
    if (!file.open()) {
        *error = file.errorString();
        return std::nullopt;
    }
    return file.fileName();
}

std::optional<QString> createWith(const ControlFolder& folder, const QString& suffix, const QByteArray& bytes, QString* error)
{
    const std::optional<QString> path = create(folder, suffix, error);
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.remove();
        return std::nullopt;
    }
    return path;
}

std::optional<QString> localPath(const ControlFolder& folder, const QString& path)
{
    // Only the name counts: the two processes may reach the same folder by different paths.
    const QString name = QFileInfo(path).fileName();
    if (!name.startsWith(kPrefix))
        return std::nullopt;
    const QFileInfo local(folder.path() + QLatin1Char('/') + name);
    if (local.isSymLink() || !local.isFile())
        return std::nullopt;
    return local.filePath();
}

std::optional<QByteArray> take(const ControlFolder& folder, const QString& path, QString* error)
{
    const std::optional<QString> local = localPath(folder, path);
    if (!local) {
        *error = QStringLiteral("no transfer file of that name is in the control folder");
        return std::nullopt;
    }
    QFile file(*local);
    const bool opened = file.open(QIODevice::ReadOnly);
    const QByteArray bytes = opened ? file.readAll() : QByteArray();
    const QString problem = file.error() != QFileDevice::NoError ? file.errorString() : QString();
    file.close();
    QFile::remove(*local);
    if (!opened || !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return bytes;
}

} // namespace TransferFile
