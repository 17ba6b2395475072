#include "control/DisplayCommands.h"
#include "control/DesktopInstanceClipboard.h"
#include "control/DesktopInstanceEnvironment.h"
#include "control/DesktopInstanceFinder.h"
#include "control/DesktopInstanceScreenGrabber.h"
#include "control/TransferFile.h"
#include "support/ControlledProcess.h"
#include "support/FakeClipboard.h"
#include "support/FakeScreenGrabber.h"

#include <gtest/gtest.h>

#include <QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

using namespace std::chrono_literals;
using ControlProtocol::Reply;

// A desktop instance doing display work with fakes, and a client's process asking it.
class DisplayWork : public ::testing::Test, protected ControlledProcess {
protected:
    void SetUp() override
    {
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        commands.registerWith(control);
    }

    // The files left in the control folder besides the socket.
    QStringList leftovers() const { return QDir(folder.path()).entryList({QStringLiteral("transfer-*")}, QDir::Files); }

    template <typename T> static T await(QCoro::Task<T> task) { return QCoro::waitFor(std::move(task)); }

    std::shared_ptr<FakeClipboard> desktopClipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<FakeScreenGrabber> desktopScreen = std::make_shared<FakeScreenGrabber>();
    DisplayCommands commands{desktopClipboard, desktopScreen, folder};

    int fallbacksMade = 0;
    std::shared_ptr<FakeClipboard> localClipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<DesktopInstanceFinder> finder = std::make_shared<DesktopInstanceFinder>(folder, true, 0ms);
    DesktopInstanceClipboard clipboard{finder, [this] {
                                           ++fallbacksMade;
                                           return localClipboard;
                                       }};
};

TEST_F(DisplayWork, TheClipboardIsTheDesktopInstancesWhateverItHolds)
{
    EXPECT_TRUE(await(clipboard.setText(QStringLiteral("kept\nafter we end"))).copied);
    EXPECT_EQ(desktopClipboard->storedText, QStringLiteral("kept\nafter we end"));
    EXPECT_EQ(await(clipboard.text()), QStringLiteral("kept\nafter we end"));
    EXPECT_EQ(await(clipboard.unavailableReason()), std::nullopt);

    // Larger than a control line: it travels in a file, which is gone afterwards.
    const QString longText(ControlProtocol::kMaxLineBytes + 10, QLatin1Char('x'));
    EXPECT_TRUE(await(clipboard.setText(longText)).copied);
    EXPECT_EQ(desktopClipboard->storedText, longText);
    EXPECT_EQ(await(clipboard.text()), longText);
    desktopClipboard->storedPng = QByteArray(ControlProtocol::kMaxLineBytes + 10, 'p');
    EXPECT_EQ(await(clipboard.imagePng()), desktopClipboard->storedPng);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();

    desktopClipboard->storedPaths = QStringList{QStringLiteral("/tmp/a b"), QStringLiteral("/home/c")};
    EXPECT_EQ(await(clipboard.filePaths()), desktopClipboard->storedPaths);
    desktopClipboard->storedPaths = QStringList{};
    EXPECT_EQ(await(clipboard.filePaths()), QStringList{});

    desktopClipboard->available = false;
    EXPECT_EQ(await(clipboard.unavailableReason()), QStringLiteral("no display"));
    const ClipboardWrite refused = await(clipboard.setText(QStringLiteral("x")));
    EXPECT_FALSE(refused.copied);
    EXPECT_EQ(refused.failure, QStringLiteral("no display"));
    EXPECT_EQ(fallbacksMade, 0);
}

TEST_F(DisplayWork, TheScreenIsCapturedByTheDesktopInstanceAndWrittenByTheAsker)
{
    DesktopInstanceScreenGrabber screen(finder, [] { return std::shared_ptr<ScreenGrabber>(); });
    ASSERT_TRUE(screen.hasScreen());
    const QString target = dir.filePath(QStringLiteral("shot.png"));
    const ScreenCapture capture = await(screen.captureToFile(target));
    EXPECT_EQ(capture.status, ScreenCapture::Status::Saved) << capture.error.toStdString();
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), desktopScreen->png);
    // The desktop instance wrote only into a transfer file of its folder, which is gone.
    EXPECT_TRUE(desktopScreen->lastPath.startsWith(folder.path() + QStringLiteral("/transfer-")));
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(DisplayWork, NoCommandReadsOrRemovesAFileOutsideItsTransferFiles)
{
    const QString precious = dir.filePath(QStringLiteral("precious.txt"));
    QFile file(precious);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mine");
    file.close();
    // Also under the transfer files' name, reached through a path that leaves the folder.
    const QString lookalike = dir.filePath(QStringLiteral("transfer-lookalike.txt"));
    ASSERT_TRUE(QFile::copy(precious, lookalike));

    for (const QString& path : {precious, folder.path() + QStringLiteral("/../transfer-lookalike.txt"), lookalike}) {
        const Reply reply = await(commands.clipboard(Json{{"action", "set"}, {"file", path.toStdString()}}));
        EXPECT_FALSE(reply.ok) << path.toStdString();
        EXPECT_EQ(reply.code, "badArguments");
    }
    EXPECT_TRUE(QFile::exists(precious));
    EXPECT_TRUE(QFile::exists(lookalike));
    EXPECT_EQ(desktopClipboard->storedText, std::nullopt);
    EXPECT_EQ(await(commands.clipboard(Json{{"action", "empty the disk"}})).code, "badArguments");
}

TEST_F(DisplayWork, AFileItsReceiverAbandonedIsRemovedLaterButNoOtherFile)
{
    QString error;
    const std::optional<QString> abandoned = TransferFile::createWith(folder, QStringLiteral(".png"), "old", &error);
    ASSERT_TRUE(abandoned) << error.toStdString();
    QFile old(*abandoned);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-TransferFile::kAbandonedAfterSeconds - 60),
                                QFileDevice::FileModificationTime));
    old.close();
    const QString recent = *TransferFile::createWith(folder, QStringLiteral(".png"), "new", &error);
    const QString other = folder.path() + QStringLiteral("/notes.txt");
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    TransferFile::create(folder, QStringLiteral(".png"), &error);
    EXPECT_FALSE(QFile::exists(*abandoned));
    EXPECT_TRUE(QFile::exists(recent));
    EXPECT_TRUE(QFile::exists(other));
}

TEST_F(DisplayWork, FallsBackOnlyWithoutADesktopInstanceAndSaysWhyWithoutEither)
{
    control.setDesktop(false);
    EXPECT_TRUE(await(clipboard.setText(QStringLiteral("local"))).copied);
    EXPECT_EQ(localClipboard->storedText, QStringLiteral("local"));
    EXPECT_EQ(await(clipboard.text()), QStringLiteral("local"));
    EXPECT_EQ(fallbacksMade, 1);

    // When no in-process clipboard can be had either, the refusal says which is missing.
    DesktopInstanceClipboard onADisplay(finder, [] { return std::shared_ptr<Clipboard>(); });
    EXPECT_EQ(await(onADisplay.unavailableReason()), QStringLiteral("the desktop instance did not start"));
    EXPECT_EQ(await(onADisplay.setText(QStringLiteral("x"))).failure, QStringLiteral("the desktop instance did not start"));
    DesktopInstanceClipboard withoutDisplay(std::make_shared<DesktopInstanceFinder>(folder, false, 0ms),
                                            [] { return std::shared_ptr<Clipboard>(); });
    EXPECT_EQ(await(withoutDisplay.unavailableReason()), QStringLiteral("no display"));
    DesktopInstanceScreenGrabber screen(finder, [] { return std::shared_ptr<ScreenGrabber>(); });
    const ScreenCapture capture = await(screen.captureToFile(dir.filePath(QStringLiteral("shot.png"))));
    EXPECT_EQ(capture.status, ScreenCapture::Status::CouldNotCapture);
    EXPECT_EQ(capture.error, QStringLiteral("the desktop instance did not start"));
}

TEST_F(DisplayWork, ADesktopInstanceStillStartingIsWaitedFor)
{
    control.setDesktop(false);
    auto patient = std::make_shared<DesktopInstanceFinder>(folder, true, 60s);
    // It becomes the desktop instance only once the asker looks.
    QTimer::singleShot(300, &control, [this] { control.setDesktop(true); });
    EXPECT_EQ(await(patient->find()), QCoreApplication::applicationPid());
    EXPECT_FALSE(std::make_shared<DesktopInstanceFinder>(ControlFolder(dir.filePath(QStringLiteral("none"))), false, 0ms)->mayFind());
}

TEST_F(DisplayWork, AClientWithoutDisplayTakesOnlyTheDisplayVariablesItLacks)
{
    const QHash<QString, QString> offered = DesktopInstanceEnvironment::ask(folder);
    // What the desktop instance has of them, and nothing else of its environment.
    for (auto each = offered.cbegin(); each != offered.cend(); ++each) {
        EXPECT_TRUE(DisplayCommands::displayVariables().contains(each.key())) << each.key().toStdString();
        EXPECT_EQ(each.value(), qEnvironmentVariable(each.key().toLocal8Bit().constData()));
    }

    QProcessEnvironment stripped;
    stripped.insert(QStringLiteral("XAUTHORITY"), QStringLiteral("/home/u/.Xauthority-own"));
    const QList<SessionEnvironment::Variable> taken =
        DesktopInstanceEnvironment::missingFrom(stripped,
                                                {{QStringLiteral("DISPLAY"), QStringLiteral(":7")},
                                                 {QStringLiteral("XAUTHORITY"), QStringLiteral("/run/user/1/xauth")},
                                                 {QStringLiteral("LD_PRELOAD"), QStringLiteral("/tmp/evil.so")}});
    ASSERT_EQ(taken.size(), 1);
    EXPECT_EQ(SessionEnvironment::describe(taken),
              QStringLiteral("zarnel: found this user's desktop session: DISPLAY=:7 (from the desktop instance)"));
}

} // namespace
