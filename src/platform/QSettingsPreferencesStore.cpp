#include "platform/QSettingsPreferencesStore.h"

#include "platform/AbandonedLockFile.h"
#include "platform/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

ZARNEL_LOGGING_CATEGORY(lcPreferences, "PreferencesStore")

namespace {

// Long enough for any other process's update to finish; a holder that died is detected sooner
// through its process id.
constexpr int kUpdateLockWaitMs = 10000;
// How often a process waiting for the update lock looks again. QLockFile's own wait sleeps
// 100 ms and then twice as long each time: ten processes saving at once (every `zarnel status`
// asks them to) waited seconds for updates that take milliseconds.
constexpr int kUpdateLockPollMs = 2;

bool lockWithin(QLockFile& lock, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            return false;
        QThread::msleep(kUpdateLockPollMs);
    }
    return true;
}

const QString kUpdateLockSuffix = QStringLiteral(".update-lock");
const QString kOrganization = QStringLiteral("tarvonic");
const QString kApplication = QStringLiteral("zarnel");

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

} // namespace

QSettingsPreferencesStore::QSettingsPreferencesStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication))
{
    // The user's file is the whole store; system-wide files under /etc/xdg take no part.
    m_settings->setFallbacksEnabled(false);
    removeAbandonedLocks();
}

QSettingsPreferencesStore::QSettingsPreferencesStore(const QString& iniFilePath)
    : m_settings(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat))
{
    removeAbandonedLocks();
}

void QSettingsPreferencesStore::removeAbandonedLocks() const
{
    const QString path = m_settings->fileName();
    AbandonedLockFile::remove(path + QStringLiteral(".lock")); // the one QSettings takes while it writes
    AbandonedLockFile::remove(path + kUpdateLockSuffix);
}

QString QSettingsPreferencesStore::fileName() const
{
    return m_settings->fileName();
}

QString QSettingsPreferencesStore::userStorePath()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication).fileName();
}

std::optional<QVariant> QSettingsPreferencesStore::lookUp(const QString& key) const
{
    if (m_settings->contains(key))
        return m_settings->value(key);
    const auto it = m_defaults.constFind(key);
    if (it != m_defaults.constEnd())
        return *it;
    return std::nullopt;
}

// Values written in this process come back with their own type; values read from the file come
// back as text (INI stores everything as text), so every kind is read from either form.
std::optional<bool> QSettingsPreferencesStore::readBool(const QString& key) const
{
    const auto value = lookUp(key);
    if (!value)
        return std::nullopt;
    if (value->typeId() == QMetaType::Bool)
        return value->toBool();
    if (isText(*value)) {
        const QString text = value->toString().trimmed().toLower();
        if (text == QLatin1String("true"))
            return true;
        if (text == QLatin1String("false"))
            return false;
    }
    return std::nullopt;
}

std::optional<qint64> QSettingsPreferencesStore::readInteger(const QString& key) const
{
    const auto value = lookUp(key);
    if (!value)
        return std::nullopt;
    switch (value->typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return value->toLongLong();
    case QMetaType::QString: {
        bool ok = false;
        const qint64 number = value->toString().trimmed().toLongLong(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<double> QSettingsPreferencesStore::readDouble(const QString& key) const
{
    const auto value = lookUp(key);
    if (!value)
        return std::nullopt;
    switch (value->typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: return value->toDouble();
    case QMetaType::QString: {
        bool ok = false;
        const double number = value->toString().trimmed().toDouble(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    default: return std::nullopt;
    }
}

std::optional<QString> QSettingsPreferencesStore::readString(const QString& key) const
{
    const auto value = lookUp(key);
    if (!value)
        return std::nullopt;
    switch (value->typeId()) {
    case QMetaType::QString:
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double: return value->toString();
    default: return std::nullopt;
    }
}

std::optional<QByteArray> QSettingsPreferencesStore::readData(const QString& key) const
{
    const auto value = lookUp(key);
    if (!value)
        return std::nullopt;
    // Text is what a hand-edited file holds where this process would have written bytes.
    if (value->typeId() == QMetaType::QString)
        return value->toString().toUtf8();
    if (value->typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value->toByteArray();
}

std::optional<QVariant> QSettingsPreferencesStore::readValue(const QString& key) const
{
    return lookUp(key);
}

bool QSettingsPreferencesStore::contains(const QString& key) const
{
    return m_settings->contains(key);
}

void QSettingsPreferencesStore::writeBool(const QString& key, bool value)
{
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeInteger(const QString& key, qint64 value)
{
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeDouble(const QString& key, double value)
{
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeString(const QString& key, const QString& value)
{
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeData(const QString& key, const QByteArray& value)
{
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::remove(const QString& key)
{
    m_settings->remove(key);
}

void QSettingsPreferencesStore::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void QSettingsPreferencesStore::sync()
{
    removeAbandonedLocks();
    m_settings->sync();
}

void QSettingsPreferencesStore::updateExclusively(const std::function<void()>& update)
{
    // QSettings locks the file only while it writes; a read-modify-write needs its own lock,
    // under another name so that the sync inside does not wait for it.
    const QString path = m_settings->fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString lockPath = path + kUpdateLockSuffix;
    removeAbandonedLocks();
    QLockFile lock(lockPath);
    if (!lockWithin(lock, kUpdateLockWaitMs)) {
        // Saving without the lock risks another process's last few counts; not saving loses ours.
        qCCritical(lcPreferences, "Could not lock %s (error %d); updating without the lock", qPrintable(lockPath),
                   static_cast<int>(lock.error()));
    }
    m_settings->sync();
    update();
    m_settings->sync();
}
