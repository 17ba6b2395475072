#pragma once

#include "platform/store/PreferencesStore.h"

#include <QSettings>

#include <memory>

class SettingsWriteRequests;

// The preferences store over QSettings: $XDG_CONFIG_HOME/tarvonic/zarnel.conf for the user, or
// any INI file (tests give a temporary one).
class QSettingsPreferencesStore final : public PreferencesStore {
public:
    QSettingsPreferencesStore(); // the user's store: organization "tarvonic", application "zarnel"
    explicit QSettingsPreferencesStore(const QString& iniFilePath);
    ~QSettingsPreferencesStore() override;

    QString fileName() const;
    // Why the last write could not be made, while it still cannot.
    const QString& writeProblem() const { return m_lastFailure; }

    std::optional<bool> readBool(const QString& key) const override;
    std::optional<qint64> readInteger(const QString& key) const override;
    std::optional<double> readDouble(const QString& key) const override;
    std::optional<QString> readString(const QString& key) const override;
    std::optional<QByteArray> readData(const QString& key) const override;
    std::optional<QVariant> readValue(const QString& key) const override;
    bool contains(const QString& key) const override;

    void writeBool(const QString& key, bool value) override;
    void writeInteger(const QString& key, qint64 value) override;
    void writeDouble(const QString& key, double value) override;
    void writeString(const QString& key, const QString& value) override;
    void writeData(const QString& key, const QByteArray& value) override;
    void remove(const QString& key) override;

    void registerDefaults(const QVariantMap& defaults) override;
    bool sync() override;
    bool updateExclusively(const std::function<void()>& update) override;

    // The user's store file, for messages that tell people where settings live.
    static QString userStorePath();

private:
    std::optional<QVariant> lookUp(const QString& key) const;
    // Clears the way for QSettings' lock and the update lock after a process died holding one.
    void removeAbandonedLocks() const;
    // QSettings waits for its lock file for as long as the file stays, even where no process
    // holds it (a folder or a FIFO of that name): the settings are written only by this, after
    // making sure that QSettings can take its lock at once.
    bool writePending();
    void markUnwritten();
    void sayWhyNotWritten(const QString& reason);

    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_defaults;
    SettingsWriteRequests* m_writeRequests = nullptr; // owned by m_settings
    bool m_unwritten = false;
    QString m_lastFailure; // said once in the log, not at every try
};
