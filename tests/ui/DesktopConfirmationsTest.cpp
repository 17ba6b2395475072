#include "ui/DesktopConfirmations.h"
#include "control/ControlServer.h"
#include "control/DesktopConfirmationAsker.h"
#include "control/ServerComponents.h"
#include "platform/SystemServices.h"
#include "platform/store/QSettingsPreferencesStore.h"
#include "support/ControlledProcess.h"
#include "support/FakeClock.h"
#include "support/FakeStandardStreams.h"
#include "support/PendingConfirmation.h"
#include "ui/CommandBlock.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <optional>

namespace {

using namespace std::chrono_literals;

const QString kQuestion = QStringLiteral("Allow delete_file to delete /tmp/x?");

// A desktop instance's control socket with its dialogs, and a process asking it a question.
class DesktopConfirmationsTest : public ::testing::Test, protected ControlledProcess {
protected:
    void SetUp() override
    {
        control.setDesktop(true);
        ASSERT_TRUE(control.listen()) << control.problem().toStdString();
        confirmations.registerWith(control);
    }

    DesktopConfirmations confirmations;

    ConfirmationDialog* shownDialog()
    {
        return waitUntil([&] { return confirmations.openDialogs().size() == 1; }) ? confirmations.openDialogs().front() : nullptr;
    }
};

TEST_F(DesktopConfirmationsTest, ShowsTheQuestionWithDenyAsTheDefaultAndAnswersWhatIsPressed)
{
    DesktopConfirmationAsker asker(folder, 60s, [] { return QStringLiteral("Claude Code 1.0.3"); });
    ASSERT_TRUE(asker.canAsk());
    const auto allowed = PendingConfirmation::start(asker, kQuestion);
    ConfirmationDialog* dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->messageText(), QStringLiteral("Allow delete_file to delete /tmp/x?"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("remaining"))->text(), QStringLiteral("Denies in 60 s"));
    EXPECT_TRUE(dialog->denyButton()->isDefault());
    EXPECT_FALSE(dialog->allowButton()->isDefault());
    EXPECT_FALSE(allowed->answer.has_value());
    dialog->allowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return allowed->answer.has_value(); }));
    EXPECT_EQ(*allowed->answer, ConfirmationAnswer::Allowed);

    const auto denied = PendingConfirmation::start(asker, kQuestion);
    dialog = shownDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->reject(); // Escape or the window's close button
    ASSERT_TRUE(waitUntil([&] { return denied->answer.has_value(); }));
    EXPECT_EQ(*denied->answer, ConfirmationAnswer::Declined);
}

TEST_F(DesktopConfirmationsTest, DeniesByItselfWhenTheTimeRunsOutAndClosesWhenWithdrawn)
{
    DesktopConfirmationAsker hurried(folder, 50ms, {});
    const auto unanswered = PendingConfirmation::start(hurried, kQuestion);
    ASSERT_TRUE(waitUntil([&] { return unanswered->answer.has_value(); }));
    EXPECT_EQ(*unanswered->answer, ConfirmationAnswer::NotAnswered);
    EXPECT_TRUE(confirmations.openDialogs().isEmpty());

    DesktopConfirmationAsker patient(folder, 60s, {});
    const auto first = PendingConfirmation::start(patient, QStringLiteral("first?"));
    const auto second = PendingConfirmation::start(patient, QStringLiteral("second?"));
    ASSERT_TRUE(waitUntil([&] { return confirmations.openDialogs().size() == 2; }));
    first->withdrawn.cancel();
    ASSERT_TRUE(waitUntil([&] { return first->answer.has_value(); }));
    EXPECT_EQ(*first->answer, ConfirmationAnswer::Cancelled);
    ASSERT_EQ(confirmations.openDialogs().size(), 1);
    EXPECT_EQ(confirmations.openDialogs().front()->messageText(), QStringLiteral("second?"));
    EXPECT_FALSE(second->answer.has_value());
    confirmations.openDialogs().front()->allowButton()->click();
    ASSERT_TRUE(waitUntil([&] { return second->answer.has_value(); }));
    EXPECT_EQ(*second->answer, ConfirmationAnswer::Allowed);
}

TEST_F(DesktopConfirmationsTest, FindsNoOneToAskWithoutADesktopInstance)
{
    control.setDesktop(false);
    DesktopConfirmationAsker asker(folder, 60s, {});
    const auto asking = PendingConfirmation::start(asker, kQuestion);
    ASSERT_TRUE(waitUntil([&] { return asking->answer.has_value(); }));
    EXPECT_EQ(*asking->answer, ConfirmationAnswer::Unreachable);
    EXPECT_TRUE(confirmations.openDialogs().isEmpty());
}

// Calls whose text would hide a line below a harmless first one, or push the buttons off the
// screen; each dialog is saved as build/screenshots/confirmation-<name>.png for people to see.
TEST(ConfirmationDialogText, ShowsEveryHiddenLineAndKeepsTheButtonsOnTheScreen)
{
    const QString prefix = QStringLiteral("Allow execute_command to run the command: ");
    QString chain;
    for (int i = 0; i < 300; ++i)
        chain += QStringLiteral("true;");
    const struct {
        const char* name;
        QString message;
        QString shown;
        QString extent;
    } cases[] = {
        {"line-feeds", prefix + QStringLiteral("ls -la ~/Documents") + QString(80, QLatin1Char('\n')) + QStringLiteral("rm -rf ~/?"),
         prefix + QStringLiteral("ls -la ~/Documents") + QString(80, QChar(0x23CE)) + QStringLiteral("rm -rf ~/?"),
         QStringLiteral("81 lines, 150 characters")},
        {"separators", prefix + QStringLiteral("echo hi") + QString(60, QChar(0x2028)) + QStringLiteral("rm -rf ~/?"),
         prefix + QStringLiteral("echo hi") + QStringLiteral("\\u2028").repeated(60) + QStringLiteral("rm -rf ~/?"),
         QStringLiteral("61 lines, 119 characters")},
        {"chain", prefix + chain + QStringLiteral(" rm -rf ~/?"), prefix + chain + QStringLiteral(" rm -rf ~/?"),
         QStringLiteral("1 line, 1553 characters")},
    };
    QDir().mkpath(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots"));
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        ConfirmationDialog dialog(each.message, QStringLiteral("Claude Code 1.0.3"), 60s);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const QRect screen = dialog.screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(dialog.frameGeometry())) << dialog.frameGeometry().height();
        for (const QPushButton* button : {dialog.allowButton(), dialog.denyButton()})
            EXPECT_TRUE(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()))) << button->text().toStdString();
        EXPECT_EQ(dialog.messageText().toStdString(), each.shown.toStdString());
        const auto* extent = dialog.findChild<QLabel*>(QStringLiteral("extent"));
        ASSERT_NE(extent, nullptr);
        EXPECT_EQ(extent->text().toStdString(), each.extent.toStdString());
        dialog.grab().save(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots/confirmation-%1.png").arg(QLatin1String(each.name)));
    }
}

// The lines of a block as laid out on the screen.
QStringList shownLines(const CommandBlock& block)
{
    QStringList lines;
    for (QTextBlock paragraph = block.document()->firstBlock(); paragraph.isValid(); paragraph = paragraph.next()) {
        const QTextLayout* layout = paragraph.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            QString line = paragraph.text().mid(layout->lineAt(i).textStart(), layout->lineAt(i).textLength());
            line.remove(QChar::LineSeparator);
            lines << line;
        }
    }
    return lines;
}

TEST(ConfirmationDialogText, ShowsTheCommandInAMonospaceBlockBrokenAtSpacesNeverAtAHyphen)
{
    const QString command = QStringLiteral("run the command: ")
        + QStringLiteral("git log --pretty=oneline --abbrev-commit -n 20 ~/src/zarnel-desktop ").repeated(4);
    ConfirmationDialog dialog(QStringLiteral("Allow execute_command to ") + command + QLatin1Char('?'), QString(), 60s);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_GE(dialog.width(), 480);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("heading"))->text(), "Allow execute_command to");
    auto* block = dialog.findChild<CommandBlock*>(QStringLiteral("call"));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->text(), command);
    EXPECT_TRUE(QFontInfo(block->font()).fixedPitch());
    // Words would break after "--" or "-", or after a slash: here every line ends at a space.
    const QStringList lines = shownLines(*block);
    ASSERT_GT(lines.size(), 2);
    for (qsizetype i = 0; i < lines.size() - 1; ++i)
        EXPECT_TRUE(lines[i].endsWith(QLatin1Char(' '))) << lines[i].toStdString();
    // Copied, it is the command as given.
    block->selectAll();
    block->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), command);

    // A path too long for a line breaks at the edge, but not right after a hyphen or a slash.
    for (int shift = 0; shift < 4; ++shift) {
        const QString path = QString(shift, QLatin1Char('x')) + QStringLiteral("/srv/a-b/c-d-e/").repeated(20);
        CommandBlock one(path);
        one.setMinimumWidth(480);
        one.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&one));
        const QStringList parts = shownLines(one);
        ASSERT_GT(parts.size(), 2);
        EXPECT_EQ(parts.join(QString()), path);
        for (qsizetype i = 0; i < parts.size() - 1; ++i)
            EXPECT_FALSE(parts[i].endsWith(QLatin1Char('-')) || parts[i].endsWith(QLatin1Char('/'))) << parts[i].toStdString();
    }
}

TEST(ConfirmationDialogText, NoKeyButAClickAllowsAndEnterDenies)
{
    ConfirmationDialog dialog(QStringLiteral("Allow delete_file to delete /tmp/x?"), QString(), 60s);
    std::optional<ConfirmationDialog::Outcome> outcome;
    QObject::connect(&dialog, &ConfirmationDialog::settled, [&](ConfirmationDialog::Outcome settled) { outcome = settled; });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(QKeySequence::mnemonic(dialog.allowButton()->text()).isEmpty());
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(&dialog, Qt::Key_A);
    EXPECT_FALSE(outcome);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(outcome, ConfirmationDialog::Outcome::Denied);
}

TEST_F(DesktopConfirmationsTest, RefusesMalformedQuestions)
{
    const auto reply = QCoro::waitFor(control.handle(ControlProtocol::Request{1, "confirm", Json{{"id", "x"}, {"message", "m"}}, {}}));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.code, "badArguments");
    EXPECT_TRUE(QCoro::waitFor(control.handle(ControlProtocol::Request{2, "withdraw-confirmation", Json{{"id", "unknown"}}, {}})).ok);
}

} // namespace
