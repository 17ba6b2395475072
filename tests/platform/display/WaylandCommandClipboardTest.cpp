#include "platform/display/WaylandCommandClipboard.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Stand-ins for wl-copy and wl-paste that keep the clipboard in files of a folder.
class FakeWaylandClipboard {
public:
    FakeWaylandClipboard()
    {
        write(QStringLiteral("wl-copy"),
              "[ \"$1 $2\" = '--type text/plain;charset=utf-8' ] || exit 2\n"
              "cat > \"$(dirname \"$0\")/text\"\n"
              "echo 'text/plain;charset=utf-8' > \"$(dirname \"$0\")/types\"\n");
        write(QStringLiteral("wl-paste"),
              "d=$(dirname \"$0\")\n"
              "[ -f \"$d/types\" ] || { echo 'Nothing is copied' >&2; exit 1; }\n"
              "if [ \"$1\" = --list-types ]; then cat \"$d/types\"; exit 0; fi\n"
              "case \"$3\" in text/plain*) cat \"$d/text\";; text/uri-list) cat \"$d/uris\";; *) exit 1;; esac\n");
    }

    WaylandCommandClipboard clipboard() const
    {
        return WaylandCommandClipboard(path(QStringLiteral("wl-copy")), path(QStringLiteral("wl-paste")));
    }

    QString path(const QString& name) const { return m_directory.filePath(name); }

    // Replaces a stand-in with one running `contents`.
    void write(const QString& name, const QByteArray& contents) const
    {
        QFile file(m_directory.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + contents);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QTemporaryDir m_directory;
};

} // namespace

TEST(WaylandCommandClipboard, CopiesAndReadsTextThroughTheCommands)
{
    FakeWaylandClipboard fake;
    WaylandCommandClipboard clipboard = fake.clipboard();
    EXPECT_FALSE(QCoro::waitFor(clipboard.text()).has_value());

    EXPECT_TRUE(QCoro::waitFor(clipboard.setText(QStringLiteral("héllo\nworld"))).copied);
    EXPECT_EQ(QCoro::waitFor(clipboard.text()), QStringLiteral("héllo\nworld"));
    EXPECT_FALSE(QCoro::waitFor(clipboard.filePaths()).has_value());
}

TEST(WaylandCommandClipboard, SaysWhyACopyFailed)
{
    const ClipboardWrite missing =
        QCoro::waitFor(WaylandCommandClipboard(QStringLiteral("/nonexistent/wl-copy")).setText(QStringLiteral("x")));
    EXPECT_FALSE(missing.copied);
    EXPECT_EQ(missing.failure, QStringLiteral("/nonexistent/wl-copy is not installed"));
}

TEST(WaylandCommandClipboard, PassesOnWhatTheCommandsSaidWhenTheyFailed)
{
    FakeWaylandClipboard fake;
    fake.write(QStringLiteral("wl-copy"), "cat >/dev/null\nprintf '\\n  Missing a seat\\r\\nsecond line\\n' >&2\nexit 1\n");
    EXPECT_EQ(QCoro::waitFor(fake.clipboard().setText(QStringLiteral("x"))).failure,
              fake.path(QStringLiteral("wl-copy")) + QStringLiteral(": Missing a seat"));

    fake.write(QStringLiteral("wl-copy"), "cat >/dev/null\nexit 3\n");
    EXPECT_EQ(QCoro::waitFor(fake.clipboard().setText(QStringLiteral("x"))).failure,
              fake.path(QStringLiteral("wl-copy")) + QStringLiteral(" failed with status 3"));

    fake.write(QStringLiteral("wl-paste"), "echo 'Failed to connect to a Wayland server' >&2\nexit 1\n");
    EXPECT_EQ(QCoro::waitFor(fake.clipboard().unavailableReason()),
              fake.path(QStringLiteral("wl-paste")) + QStringLiteral(": Failed to connect to a Wayland server"));
}

TEST(WaylandCommandClipboard, TellsAMissingPasteCommandFromAnEmptyClipboard)
{
    FakeWaylandClipboard fake;
    EXPECT_EQ(QCoro::waitFor(fake.clipboard().unavailableReason()), std::nullopt);

    EXPECT_EQ(
        QCoro::waitFor(
            WaylandCommandClipboard(fake.path(QStringLiteral("wl-copy")), QStringLiteral("/nonexistent/wl-paste")).unavailableReason()),
        QStringLiteral("/nonexistent/wl-paste is not installed"));
}
