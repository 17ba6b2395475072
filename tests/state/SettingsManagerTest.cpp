#include "state/SettingsManager.h"
#include "platform/store/QSettingsPreferencesStore.h"

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

    QTemporaryDir m_dir;
};

TEST_F(Settings, HandEditedValuesLoadAndMistypedOrDamagedOnesFallBackToTheDefaults)
{
    writeFile("[General]\nautoStartServer=true\nshowNotifications=maybe\nlogLevel=loud\nmaxLogEntries=250\n"
              "commandTimeout=soon\n\x01\x02 this line is noise\ngarbage without equals\n[broken section\nlogLevel=error\n");
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_TRUE(settings.autoStartServer());
    EXPECT_TRUE(settings.showNotifications());
    EXPECT_EQ(settings.logLevel(), LogLevel::Info);
    EXPECT_EQ(settings.maxLogEntries(), 250);
    EXPECT_EQ(settings.commandTimeout(), 30);

    // The next write leaves a sound file; neither the defaults nor the user's unknown level are written back.
    settings.setLaunchAtLogin(true);
    store.sync();
    QSettings file(path(), QSettings::IniFormat);
    EXPECT_EQ(file.status(), QSettings::NoError);
    EXPECT_EQ(file.value(QStringLiteral("launchAtLogin")).toBool(), true);
    EXPECT_EQ(file.value(QStringLiteral("maxLogEntries")).toInt(), 250);
    EXPECT_EQ(file.value(QStringLiteral("logLevel")).toString(), QStringLiteral("loud"));
    EXPECT_FALSE(file.contains(QStringLiteral("enableToolLogging")));
}

TEST_F(Settings, AssignmentsNotifyAndAreReadBackByTheNextProcess)
{
    {
        QSettingsPreferencesStore store(path());
        SettingsManager settings(store);
        int levelChanged = 0;
        QObject::connect(&settings, &SettingsManager::logLevelChanged, [&] { ++levelChanged; });
        settings.setLogLevel(LogLevel::Warning);
        settings.setCommandTimeout(120);
        settings.setEnableToolLogging(false);
        EXPECT_EQ(levelChanged, 1);
    }
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_EQ(settings.logLevel(), LogLevel::Warning);
    EXPECT_EQ(settings.commandTimeout(), 120);
    EXPECT_FALSE(settings.enableToolLogging());
}

} // namespace
