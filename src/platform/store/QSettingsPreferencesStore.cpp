#include "platform/store/QSettingsPreferencesStore.h"

#include "platform/processes/Log.h"
#include "platform/store/AbandonedLockFile.h"
#include "platform/store/LockFilePath.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

ZARNEL_LOGGING_CATEGORY(lcPreferences, "PreferencesStore")

// QSettings asks itself to write its changes at the next turn of the event loop, and would then
// wait for its lock without end: those requests come here instead, to the same bounded write
// as every other. It also brings back a write that could not be made.
class SettingsWriteRequests final : public QObject {
public:
    SettingsWriteRequests(std::function<void()> write, QSettings* settings)
        : QObject(settings)
        , m_write(std::move(write))
        , m_retry(new QTimer(this))
    {
        m_retry->setSingleShot(true);
        m_retry->setInterval(kRetryMs);
        connect(m_retry, &QTimer::timeout, this, [this] { writeNow(); });
        settings->installEventFilter(this);
    }

    void retryLater() { m_retry->start(); }
    void stopRetrying() { m_retry->stop(); }
    // For settings left behind by a store that has ended: nothing writes them any more.
    void forget()
    {
        m_retry->stop();
        m_write = nullptr;
    }

    static constexpr int kRetryMs = 5000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest)
            return QObject::eventFilter(watched, event);
        writeNow();
        return true;
    }

private:
    void writeNow()
    {
        if (m_write)
            m_write();
    }

    std::function<void()> m_write;
    QTimer* m_retry;
};

namespace {

// A save that cannot lock the store within this time is left for a later one. Another
// process's update takes milliseconds; a holder that died is detected sooner through its
// process id.
constexpr int kLockWaitMs = 1000;
// How often a process waiting for a lock looks again. QLockFile's own wait sleeps 100 ms and
// then twice as long each time: ten processes saving at once (every `zarnel status` asks them
// to) waited seconds for updates that take milliseconds.
constexpr int kLockPollMs = 2;

// Takes `lock` within kLockWaitMs; else says why not.
QString takeWithinLimit(QLockFile& lock, const QString& path)
{
    const QDeadlineTimer deadline(kLockWaitMs);
    for (;;) {
        if (const QString problem = LockFilePath::problem(path); !problem.isEmpty())
            return problem;
        if (lock.tryLock(0))
            return {};
        if (lock.error() != QLockFile::LockFailedError)
            return QStringLiteral("%1 cannot be created (QLockFile error %2)").arg(path).arg(static_cast<int>(lock.error()));
        if (deadline.hasExpired())
            return QStringLiteral("another process has held %1 for more than a second").arg(path);
        QThread::msleep(kLockPollMs);
    }
}

const QString kUpdateLockSuffix = QStringLiteral(".update-lock");
const QString kOrganization = QStringLiteral("tarvonic");
const QString kApplication = QStringLiteral("zarnel");

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

} // namespace

// The user's file is the whole store; system-wide files under /etc/xdg take no part.
QSettingsPreferencesStore::QSettingsPreferencesStore()
    : QSettingsPreferencesStore(userStorePath())
{
}

QSettingsPreferencesStore::QSettingsPreferencesStore(const QString& iniFilePath)
    : m_settings(std::make_unique<QSettings>(iniFilePath, QSettings::IniFormat))
{
    m_writeRequests = new SettingsWriteRequests([this] { writePending(); }, m_settings.get());
    removeAbandonedLocks();
}

QSettingsPreferencesStore::~QSettingsPreferencesStore()
{
    if (!m_unwritten || writePending())
        return;
    qCCritical(lcPreferences, "Ending without writing the last changes to %s", qPrintable(m_settings->fileName()));
    // QSettings writes what is pending when destroyed, waiting for its lock however long it
    // takes; a process that is ending cannot wait, so these settings are never destroyed.
    m_writeRequests->forget();
    static auto* const leftUnwritten = new std::vector<QSettings*>;
    leftUnwritten->push_back(m_settings.release());
}

void QSettingsPreferencesStore::markUnwritten()
{
    m_unwritten = true;
}

void QSettingsPreferencesStore::sayWhyNotWritten(const QString& reason)
{
    if (reason == m_lastFailure)
        return;
    m_lastFailure = reason;
    qCWarning(lcPreferences, "Not writing the settings now, trying again later: %s", qPrintable(reason));
}

bool QSettingsPreferencesStore::writePending()
{
    if (m_unwritten) {
        // QSettings makes the folder before it locks; the lock cannot be tried without it.
        QDir().mkpath(QFileInfo(m_settings->fileName()).absolutePath());
        const QString lockPath = m_settings->fileName() + QStringLiteral(".lock");
        QLockFile probe(lockPath);
        if (const QString problem = takeWithinLimit(probe, lockPath); !problem.isEmpty()) {
            sayWhyNotWritten(problem);
            m_writeRequests->retryLater();
            return false;
        }
        // Free an instant ago, so QSettings takes it at once.
        probe.unlock();
    }
    m_settings->sync();
    m_unwritten = false;
    m_writeRequests->stopRetrying();
    if (!m_lastFailure.isEmpty()) {
        qCInfo(lcPreferences, "Wrote the settings that were waiting");
        m_lastFailure.clear();
    }
    return true;
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
    // The file QSettings keeps for the organization and application, found as it finds it. Opened
    // by name, as INI (its native format here), QSettings sets up only that file: by organization
    // and application it also set up the system-wide ones, which took a tenth of a millisecond of
    // every start.
    return QFileInfo(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + kOrganization
                     + QLatin1Char('/') + kApplication + QStringLiteral(".conf"))
        .absoluteFilePath();
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
    markUnwritten();
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeInteger(const QString& key, qint64 value)
{
    markUnwritten();
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeDouble(const QString& key, double value)
{
    markUnwritten();
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeString(const QString& key, const QString& value)
{
    markUnwritten();
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::writeData(const QString& key, const QByteArray& value)
{
    markUnwritten();
    m_settings->setValue(key, value);
}

void QSettingsPreferencesStore::remove(const QString& key)
{
    markUnwritten();
    m_settings->remove(key);
}

void QSettingsPreferencesStore::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

bool QSettingsPreferencesStore::sync()
{
    removeAbandonedLocks();
    return writePending();
}

bool QSettingsPreferencesStore::updateExclusively(const std::function<void()>& update)
{
    // QSettings locks the file only while it writes; a read-modify-write needs its own lock,
    // under another name so that the sync inside does not wait for it.
    const QString path = m_settings->fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString lockPath = path + kUpdateLockSuffix;
    removeAbandonedLocks();
    QLockFile lock(lockPath);
    if (const QString problem = takeWithinLimit(lock, lockPath); !problem.isEmpty()) {
        sayWhyNotWritten(problem);
        return false;
    }
    if (!writePending())
        return false;
    update();
    // What could not be written now is in memory, read back by this process and written by
    // a later sync: the update itself is done.
    writePending();
    return true;
}
