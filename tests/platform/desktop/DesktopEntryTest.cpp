#include "platform/desktop/DesktopEntry.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

DesktopEntry entryRunning(const QString& exec)
{
    DesktopEntry entry;
    entry.id = QStringLiteral("org.test.App");
    entry.path = QStringLiteral("/apps/org.test.App.desktop");
    entry.name = QStringLiteral("Test App");
    entry.icon = QStringLiteral("test-icon");
    entry.exec = exec;
    return entry;
}

QString whyRejected(const QString& exec)
{
    QString why;
    EXPECT_FALSE(entryRunning(exec).commandLine(&why)) << exec.toStdString();
    return why;
}

TEST(DesktopEntryCommandLine, DropsFileAndUrlCodesExpandsTheOthersAndKeepsQuotedArgumentsWhole)
{
    const auto command = entryRunning(QStringLiteral("app %f %F %u %U %i --title=%c %k 100%% --file=%f %d %m")).commandLine();
    ASSERT_TRUE(command);
    EXPECT_EQ(*command,
              (QStringList{QStringLiteral("app"), QStringLiteral("--icon"), QStringLiteral("test-icon"), QStringLiteral("--title=Test App"),
                           QStringLiteral("/apps/org.test.App.desktop"), QStringLiteral("100%"), QStringLiteral("--file=")}));

    DesktopEntry iconless = entryRunning(QStringLiteral("app %i"));
    iconless.icon.clear();
    EXPECT_EQ(iconless.commandLine(), QStringList{QStringLiteral("app")});

    const auto quoted = entryRunning(QStringLiteral(R"("/opt/my app/run" "say \"hi\" for \$5" "a\\b" "" plain)")).commandLine();
    ASSERT_TRUE(quoted);
    EXPECT_EQ(*quoted,
              (QStringList{QStringLiteral("/opt/my app/run"), QStringLiteral(R"(say "hi" for $5)"), QStringLiteral(R"(a\b)"), QString(),
                           QStringLiteral("plain")}));
}

TEST(DesktopEntryCommandLine, RejectsBrokenQuotingUnknownCodesAndNoCommand)
{
    EXPECT_EQ(whyRejected(QStringLiteral("app \"open")), QStringLiteral("unterminated quote"));
    EXPECT_EQ(whyRejected(QStringLiteral("app %z")), QStringLiteral("unknown field code %z"));
    EXPECT_EQ(whyRejected(QStringLiteral("app 50%")), QStringLiteral("a lone % at the end"));
    EXPECT_EQ(whyRejected(QStringLiteral("  ")), QStringLiteral("no command"));
    EXPECT_EQ(whyRejected(QStringLiteral("%U")), QStringLiteral("no command"));
}

TEST(DesktopEntryFile, ReadsItsOwnGroupWithEscapesAndTheBestTranslationOfTheName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("entry.desktop"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# Files\n[Desktop Entry]\nType = Application\nName=Files\nName[de]=Dateien\nName[de_AT]=Dateien (AT)\n"
               "Name[sr@latin]=Datoteke\nExec=files\\s--x \"a\\\\\\\\b\" \nPath=/work\nNoDisplay=true\n\n"
               "[Desktop Action new]\nName=New Window\nExec=other\n");
    file.close();
    const auto nameIn = [&](const char* locale) {
        const auto entry = DesktopEntry::read(path, QStringLiteral("org.test.Files"), QString::fromLatin1(locale));
        return entry ? entry->name : QStringLiteral("<none>");
    };
    EXPECT_EQ(nameIn("de_AT.UTF-8"), QStringLiteral("Dateien (AT)"));
    EXPECT_EQ(nameIn("de_CH.UTF-8"), QStringLiteral("Dateien"));
    EXPECT_EQ(nameIn("sr_RS@latin"), QStringLiteral("Datoteke"));
    EXPECT_EQ(nameIn("C"), QStringLiteral("Files"));

    const auto entry = DesktopEntry::read(path, QStringLiteral("org.test.Files"), QStringLiteral("de"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->untranslatedName, QStringLiteral("Files"));
    EXPECT_EQ(entry->workingDirectory, QStringLiteral("/work"));
    EXPECT_TRUE(entry->noDisplay);
    EXPECT_EQ(entry->commandLine(), (QStringList{QStringLiteral("files"), QStringLiteral("--x"), QStringLiteral(R"(a\b)")}));
}

} // namespace
