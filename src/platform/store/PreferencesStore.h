#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

// The per-user preferences store. Each read is by kind: a key without a value of its own reads
// as its registered default; a stored value that does not read as the asked kind is absent.
class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;

    virtual std::optional<bool> readBool(const QString& key) const = 0;
    virtual std::optional<qint64> readInteger(const QString& key) const = 0;
    virtual std::optional<double> readDouble(const QString& key) const = 0;
    virtual std::optional<QString> readString(const QString& key) const = 0;
    virtual std::optional<QByteArray> readData(const QString& key) const = 0;
    virtual std::optional<QVariant> readValue(const QString& key) const = 0;
    virtual bool contains(const QString& key) const = 0;

    virtual void writeBool(const QString& key, bool value) = 0;
    virtual void writeInteger(const QString& key, qint64 value) = 0;
    virtual void writeDouble(const QString& key, double value) = 0;
    virtual void writeString(const QString& key, const QString& value) = 0;
    virtual void writeData(const QString& key, const QByteArray& value) = 0;
    virtual void remove(const QString& key) = 0;

    // Kept in memory only; never written to the store.
    virtual void registerDefaults(const QVariantMap& defaults) = 0;

    // Writes pending changes and picks up what other processes wrote. False when the changes
    // could not be written now (they stay pending and are written by a later sync).
    virtual bool sync() = 0;

    // Runs a read-modify-write of several keys as one step with respect to other processes
    // sharing the store: `update` reads what they last wrote, and what it writes is written
    // out before another process's update can begin. False, without running `update`, when
    // the store cannot be locked now: the caller tries again later.
    virtual bool updateExclusively(const std::function<void()>& update) = 0;

    // Convenience forms with a fallback.
    bool boolValue(const QString& key, bool fallback = false) const { return readBool(key).value_or(fallback); }
    qint64 integerValue(const QString& key, qint64 fallback = 0) const { return readInteger(key).value_or(fallback); }
    double doubleValue(const QString& key, double fallback = 0.0) const { return readDouble(key).value_or(fallback); }
};
