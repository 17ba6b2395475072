#include "platform/DesktopScreenGrabber.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

TEST(DesktopScreenGrabber, FallsBackToAnInstalledGrabberAndReadsItsStatus)
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("shot.png"));
    const auto withCommand = [&] {
        return QCoro::waitFor(DesktopScreenGrabber::captureWithCommand({directory.path()}, path, std::chrono::seconds(10)));
    };
    EXPECT_FALSE(withCommand().has_value());

    writeScript(directory.filePath(QStringLiteral("gnome-screenshot")), "[ \"$1\" = -f ] && printf PNG > \"$2\"\n");
    const auto saved = withCommand();
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->status, ScreenCapture::Status::Saved);
    QFile shot(path);
    ASSERT_TRUE(shot.open(QIODevice::ReadOnly));
    EXPECT_EQ(shot.readAll(), "PNG");

    // grim comes first; one that fails is a failed capture, not a reason to try the next.
    writeScript(directory.filePath(QStringLiteral("grim")), "exit 1\n");
    EXPECT_EQ(withCommand()->status, ScreenCapture::Status::Failed);
}
