#include "platform/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

class Settings : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("zarnel.conf")); }

    // The file as a person would edit it.
    void writeFile(const QByteArray& text) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray fileText() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(Settings, FreshStoreYieldsTheDefaultsAndWritesNothing)
{
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_FALSE(settings.autoStartServer());
    EXPECT_TRUE(settings.showNotifications());
    EXPECT_EQ(settings.logLevel(), LogLevel::Info);
    EXPECT_EQ(settings.maxLogEntries(), 1000);
    EXPECT_TRUE(settings.enableToolLogging());
    EXPECT_FALSE(settings.requireConfirmation());
    EXPECT_EQ(settings.commandTimeout(), 30);
    EXPECT_FALSE(settings.launchAtLogin());

    // Registered defaults answer reads but never reach the file.
    EXPECT_EQ(store.readInteger(QStringLiteral("commandTimeout")), 30);
    store.sync();
    EXPECT_FALSE(fileText().contains("commandTimeout"));
}

TEST_F(Settings, HandEditedValuesLoadAndMistypedOnesCountAsAbsent)
{
    writeFile("[General]\n"
              "autoStartServer=true\n"
              "showNotifications=maybe\n"
              "logLevel=loud\n"
              "maxLogEntries=250\n"
              "enableToolLogging=false\n"
              "requireConfirmation=true\n"
              "commandTimeout=soon\n"
              "launchAtLogin=true\n");
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_TRUE(settings.autoStartServer());
    EXPECT_TRUE(settings.showNotifications());
    EXPECT_EQ(settings.logLevel(), LogLevel::Info);
    EXPECT_EQ(settings.maxLogEntries(), 250);
    EXPECT_FALSE(settings.enableToolLogging());
    EXPECT_TRUE(settings.requireConfirmation());
    EXPECT_EQ(settings.commandTimeout(), 30);
    EXPECT_TRUE(settings.launchAtLogin());

    // An unknown level stays stored until the user picks one.
    store.sync();
    EXPECT_EQ(store.readString(QStringLiteral("logLevel")), QStringLiteral("loud"));
}

TEST_F(Settings, EveryAssignmentNotifiesAndIsReadBackByTheNextProcess)
{
    {
        QSettingsPreferencesStore store(path());
        SettingsManager settings(store);
        int levelChanged = 0;
        int anyChanged = 0;
        QObject::connect(&settings, &SettingsManager::logLevelChanged, [&] { ++levelChanged; });
        QObject::connect(&settings, &SettingsManager::settingsChanged, [&] { ++anyChanged; });
        settings.setLogLevel(LogLevel::Warning);
        settings.setLogLevel(LogLevel::Warning);
        settings.setMaxLogEntries(300);
        settings.setCommandTimeout(120);
        settings.setAutoStartServer(true);
        settings.setShowNotifications(false);
        settings.setEnableToolLogging(false);
        settings.setRequireConfirmation(true);
        settings.setLaunchAtLogin(true);
        EXPECT_EQ(levelChanged, 2);
        EXPECT_EQ(anyChanged, 9);
        EXPECT_EQ(settings.property("logLevel").toString(), QStringLiteral("warning"));
    }
    EXPECT_TRUE(fileText().contains("logLevel=warning"));

    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_EQ(settings.logLevel(), LogLevel::Warning);
    EXPECT_EQ(settings.maxLogEntries(), 300);
    EXPECT_EQ(settings.commandTimeout(), 120);
    EXPECT_TRUE(settings.autoStartServer());
    EXPECT_FALSE(settings.showNotifications());
    EXPECT_FALSE(settings.enableToolLogging());
    EXPECT_TRUE(settings.requireConfirmation());
    EXPECT_TRUE(settings.launchAtLogin());
}

TEST_F(Settings, ADamagedFileKeepsItsReadableValuesAndIsWrittenSoundAgain)
{
    writeFile("[General]\n"
              "maxLogEntries=400\n"
              "\x01\x02 this line is noise\n"
              "[broken section\n"
              "logLevel=error\n"
              "garbage without equals\n");
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_EQ(settings.maxLogEntries(), 400);

    settings.setCommandTimeout(60);
    store.sync();
    QSettings reread(path(), QSettings::IniFormat);
    EXPECT_EQ(reread.status(), QSettings::NoError);
    EXPECT_EQ(reread.value(QStringLiteral("commandTimeout")).toInt(), 60);
    EXPECT_EQ(reread.value(QStringLiteral("maxLogEntries")).toInt(), 400);
}

TEST(LogLevels, ListTheirCasesWithRawValuesAndDisplayNames)
{
    QStringList described;
    for (const LogLevel level : LogLevels::allCases()) {
        described << LogLevels::rawValue(level) + QLatin1Char('=') + LogLevels::displayName(level);
        EXPECT_EQ(LogLevels::fromRawValue(LogLevels::rawValue(level)), level);
    }
    EXPECT_EQ(described.join(QLatin1Char('|')),
              QStringLiteral("debug=Debug (Verbose)|info=Info (Normal)|warning=Warning (Important)|"
                             "error=Error (Critical Only)"));
    EXPECT_EQ(LogLevels::fromRawValue(QStringLiteral("Warning")), std::nullopt);
    EXPECT_EQ(LogLevels::fromRawValue(QString()), std::nullopt);
}

} // namespace
