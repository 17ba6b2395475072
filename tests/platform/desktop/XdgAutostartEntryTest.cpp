#include "platform/desktop/XdgAutostartEntry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class Autostart : public ::testing::Test {
protected:
    QTemporaryDir configHome;
    XdgAutostartEntry entry{configHome.path(), {QStringLiteral("zarnel"), QStringLiteral("--hidden")}};

    QString path() const { return configHome.filePath(QStringLiteral("autostart/com.tarvonic.zarnel.desktop")); }
    QByteArray read() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }
    void write(const QByteArray& text) const
    {
        QDir().mkpath(configHome.filePath(QStringLiteral("autostart")));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

TEST_F(Autostart, WritesAnEntryStartingTheHiddenDesktopInstanceAndRemovesIt)
{
    EXPECT_EQ(entry.state(), LoginItem::State::Absent);
    EXPECT_EQ(entry.location(), path());
    ASSERT_TRUE(entry.enable());
    EXPECT_EQ(read(),
              "[Desktop Entry]\nType=Application\nName=Zarnel\nComment=Starts Zarnel in the panel's tray when you log in\n"
              "Exec=zarnel --hidden\nTerminal=false\nX-GNOME-Autostart-enabled=true\nX-Tarvonic-Zarnel-Managed=true\n");
    EXPECT_EQ(entry.state(), LoginItem::State::Ours);
    EXPECT_TRUE(entry.enable());

    ASSERT_TRUE(entry.disable());
    EXPECT_EQ(entry.state(), LoginItem::State::Absent);
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(entry.disable());
}

TEST_F(Autostart, RewritesAnEditedEntryOfOursButNeverTouchesSomeoneElses)
{
    // The session's own editor turned ours off: it is still ours, and enabling writes it anew.
    write("[Desktop Entry]\nExec=zarnel --hidden\nX-GNOME-Autostart-enabled=false\nX-Tarvonic-Zarnel-Managed=true\n");
    EXPECT_EQ(entry.state(), LoginItem::State::Ours);
    ASSERT_TRUE(entry.enable());
    EXPECT_EQ(read(), entry.contents());

    // The key must be in the entry's own group, and true.
    for (const QByteArray& foreign : {QByteArray("[Desktop Entry]\nExec=zarnel --hidden --extra\n"),
                                      QByteArray("[Desktop Entry]\nExec=zarnel\n[Other]\nX-Tarvonic-Zarnel-Managed=true\n"),
                                      QByteArray("[Desktop Entry]\nX-Tarvonic-Zarnel-Managed=false\n")}) {
        write(foreign);
        EXPECT_EQ(entry.state(), LoginItem::State::Foreign) << foreign.constData();
        EXPECT_FALSE(entry.enable());
        EXPECT_TRUE(entry.disable());
        EXPECT_EQ(read(), foreign);
    }
}

TEST_F(Autostart, TreatsALinkAsSomeoneElses)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("mine.desktop"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(entry.contents());
    }
    QDir().mkpath(configHome.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(QFile::link(target, path()));
    EXPECT_EQ(entry.state(), LoginItem::State::Foreign);
    EXPECT_TRUE(entry.disable());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
}

TEST_F(Autostart, QuotesAProgramPathWithReservedCharacters)
{
    XdgAutostartEntry odd(configHome.path(),
                          {QStringLiteral("/opt/my apps/zarnel$1\"x\\"), QStringLiteral("--hidden"), QStringLiteral("100%")});
    EXPECT_TRUE(odd.contents().contains("\nExec=\"/opt/my apps/zarnel\\\\$1\\\\\"x\\\\\\\\\" --hidden 100%%\n"))
        << odd.contents().constData();
}

// Finding the command looks along the PATH: every start looks at the entry, few write it.
TEST_F(Autostart, AsksForTheCommandOnlyToWriteTheEntry)
{
    int asked = 0;
    XdgAutostartEntry counted(configHome.path(), std::function<QStringList()>([&asked] {
                                  ++asked;
                                  return QStringList{QStringLiteral("zarnel"), QStringLiteral("--hidden")};
                              }));
    EXPECT_EQ(counted.state(), LoginItem::State::Absent);
    ASSERT_TRUE(counted.disable());
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(counted.enable());
    EXPECT_GT(asked, 0);
    EXPECT_EQ(read(), entry.contents());
}

TEST_F(Autostart, ReportsAFolderThatCannotBeCreated)
{
    write("");
    QFile::remove(path());
    QDir(configHome.path()).rmdir(QStringLiteral("autostart"));
    QFile blocker(configHome.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(entry.enable());
}

} // namespace
