#include "state/LaunchAtLoginSync.h"
#include "platform/desktop/XdgAutostartEntry.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class LaunchAtLogin : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath(QStringLiteral("zarnel.conf"))};
    XdgAutostartEntry entry{dir.filePath(QStringLiteral("config")), {QStringLiteral("zarnel"), QStringLiteral("--hidden")}};

    QString path() const { return entry.location(); }
    void writeEntry(const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(path()).path());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(LaunchAtLogin, FollowsTheSettingWhenItChanges)
{
    SettingsManager settings(store);
    LaunchAtLoginSync sync(settings, entry);
    EXPECT_FALSE(QFile::exists(path()));
    settings.setLaunchAtLogin(true);
    EXPECT_EQ(entry.state(), LoginItem::State::Ours);
    settings.setLaunchAtLogin(false);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(LaunchAtLogin, RepairsTheFileAtStartBecauseTheSettingWins)
{
    store.writeBool(QStringLiteral("launchAtLogin"), true);
    {
        SettingsManager settings(store);
        LaunchAtLoginSync sync(settings, entry); // the file was deleted behind our back
        EXPECT_EQ(entry.state(), LoginItem::State::Ours);
    }
    store.writeBool(QStringLiteral("launchAtLogin"), false);
    SettingsManager settings(store);
    LaunchAtLoginSync sync(settings, entry); // switched off while no process ran
    EXPECT_EQ(entry.state(), LoginItem::State::Absent);
}

TEST_F(LaunchAtLogin, LeavesSomeoneElsesEntryAloneEitherWay)
{
    const QByteArray theirs = "[Desktop Entry]\nType=Application\nExec=my-wrapper zarnel\n";
    writeEntry(theirs);
    SettingsManager settings(store);
    LaunchAtLoginSync sync(settings, entry);
    settings.setLaunchAtLogin(true);
    EXPECT_FALSE(sync.apply());
    settings.setLaunchAtLogin(false);
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), theirs);
}

} // namespace
