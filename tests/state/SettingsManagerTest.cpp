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

    QTemporaryDir m_dir;
};

TEST_F(Settings, HandEditedValuesLoadAndMistypedOnesFallBackToTheDefaults)
{
    writeFile("[General]\nautoStartServer=true\nshowNotifications=maybe\nlogLevel=loud\nmaxLogEntries=250\n"
              "commandTimeout=soon\n");
    QSettingsPreferencesStore store(path());
    SettingsManager settings(store);
    EXPECT_TRUE(settings.autoStartServer());
    EXPECT_TRUE(settings.showNotifications());
    EXPECT_EQ(settings.logLevel(), LogLevel::Info);
    EXPECT_EQ(settings.maxLogEntries(), 250);
    EXPECT_EQ(settings.commandTimeout(), 30);
    EXPECT_TRUE(settings.enableToolLogging());

    // Neither the defaults nor the user's unknown level are written back.
    store.sync();
    QSettings file(path(), QSettings::IniFormat);
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

TEST_F(Settings, ADamagedFileKeepsItsReadableValuesAndIsWrittenSoundAgain)
{
    writeFile("[General]\nmaxLogEntries=400\n\x01\x02 this line is noise\n[broken section\nlogLevel=error\ngarbage without equals\n");
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

} // namespace
