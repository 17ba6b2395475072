#include "platform/display/DesktopScreenGrabber.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A folder standing in for the PATH, holding a stand-in grim that runs `script`.
class StandInGrim {
public:
    explicit StandInGrim(const QByteArray& script)
    {
        QFile file(m_directory.filePath(QStringLiteral("grim")));
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    std::optional<ScreenCapture> capture() const
    {
        return QCoro::waitFor(DesktopScreenGrabber::captureWithCommand(
            {m_directory.path()}, m_directory.filePath(QStringLiteral("shot.png")), std::chrono::seconds(30)));
    }

private:
    QTemporaryDir m_directory;
};

} // namespace

TEST(DesktopScreenGrabber, SaysWhatTheGrabbingCommandSaidWhenItFailed)
{
    const auto unsupported = StandInGrim("echo \"compositor doesn't support wlr-screencopy-unstable-v1\" >&2\nexit 1\n").capture();
    ASSERT_TRUE(unsupported.has_value());
    EXPECT_EQ(unsupported->status, ScreenCapture::Status::Failed);
    EXPECT_EQ(unsupported->error, QStringLiteral("grim: compositor doesn't support wlr-screencopy-unstable-v1"));

    const auto namedItself = StandInGrim("echo 'grim: failed to create display' >&2\nexit 1\n").capture();
    ASSERT_TRUE(namedItself.has_value());
    EXPECT_EQ(namedItself->error, QStringLiteral("grim: failed to create display"));

    const auto silent = StandInGrim("exit 0\n").capture();
    ASSERT_TRUE(silent.has_value());
    EXPECT_EQ(silent->status, ScreenCapture::Status::Failed);
    EXPECT_EQ(silent->error, QStringLiteral("grim wrote no image"));

    const auto saved = StandInGrim("printf png > \"$1\"\n").capture();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->status, ScreenCapture::Status::Saved);
}
