#include "platform/desktop/DesktopEntryCatalog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeEntry(const QString& path, const QByteArray& lines)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("[Desktop Entry]\n" + lines);
}

TEST(DesktopEntryCatalog, LetTheFirstFolderWithAnIdDecideEvenWhenItHidesTheApplication)
{
    QTemporaryDir dir;
    const QString user = dir.filePath(QStringLiteral("user"));
    const QString system = dir.filePath(QStringLiteral("system"));
    writeEntry(user + QStringLiteral("/org.test.A.desktop"), "Type=Application\nName=A of the user\nExec=a\n");
    writeEntry(user + QStringLiteral("/org.test.B.desktop"), "Type=Application\nName=B\nExec=b\nHidden=true\n");
    writeEntry(user + QStringLiteral("/kde/tool.desktop"), "Type=Application\nName=Tool\nExec=tool\n");
    writeEntry(system + QStringLiteral("/org.test.A.desktop"), "Type=Application\nName=A of the system\nExec=a\n");
    writeEntry(system + QStringLiteral("/org.test.B.desktop"), "Type=Application\nName=B\nExec=b\n");
    writeEntry(system + QStringLiteral("/org.test.C.desktop"), "Type=Application\nName=C\nExec=c\n");
    writeEntry(system + QStringLiteral("/org.test.Site.desktop"), "Type=Link\nName=Site\nURL=https://example.org\n");

    QStringList seen;
    for (const DesktopEntry& entry : DesktopEntryCatalog({user, system}, QStringLiteral("C")).applications())
        seen << entry.id + u'=' + entry.name;
    EXPECT_EQ(seen,
              (QStringList{QStringLiteral("kde-tool=Tool"), QStringLiteral("org.test.A=A of the user"), QStringLiteral("org.test.C=C")}));
}

} // namespace
