#include "platform/display/XcbClipboard.h"

#include "platform/display/Xcb.h"

#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <QCoroProcess>
#include <QCoroTask>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <memory>

namespace {

QProcessEnvironment environmentOn(const XvfbServer& x)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    return environment;
}

// What xclip pastes, as another application would. The event loop runs meanwhile: that is where
// the clipboard under test answers.
QByteArray pasteWithXclip(const XvfbServer& x, const QStringList& extraArguments = {})
{
    QProcess xclip;
    xclip.setProcessEnvironment(environmentOn(x));
    xclip.setStandardInputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"),
                QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")} + extraArguments);
    QCoro::waitFor(qCoro(xclip).waitForFinished(std::chrono::seconds(20)));
    EXPECT_EQ(xclip.state(), QProcess::NotRunning) << "xclip did not finish";
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished(5000);
    }
    return xclip.readAllStandardOutput();
}

// Another application that copied `bytes` as `type`, offering them until it ends.
class XclipCopy {
public:
    XclipCopy(const XvfbServer& x, const QByteArray& bytes, const QString& type = QStringLiteral("UTF8_STRING"))
    {
        m_input.open();
        m_input.write(bytes);
        m_input.flush();
        m_xclip.setProcessEnvironment(environmentOn(x));
        m_xclip.setStandardInputFile(m_input.fileName());
        m_xclip.setStandardOutputFile(QProcess::nullDevice());
        m_xclip.setStandardErrorFile(QProcess::nullDevice());
        // In the foreground, so that it stays our child and ends with the test.
        m_xclip.start(QStringLiteral("xclip"),
                      {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i"), QStringLiteral("-quiet"),
                       QStringLiteral("-t"), type});
        EXPECT_TRUE(m_xclip.waitForStarted(10000));
    }
    ~XclipCopy()
    {
        m_xclip.kill();
        m_xclip.waitForFinished(5000);
    }

private:
    QTemporaryFile m_input;
    QProcess m_xclip;
};

// xclip owns the clipboard only once it has read all its input: asks until something is there.
template <typename Read> auto readOnceOffered(Read read)
{
    auto value = read();
    for (int attempt = 0; attempt < 200 && !value; ++attempt) {
        QThread::msleep(50);
        value = read();
    }
    return value;
}

// Lines that are numbered, so that a part lost, doubled or reordered shows.
QString largeText(qsizetype bytes)
{
    QString text;
    for (int line = 0; text.size() < bytes; ++line)
        text += QStringLiteral("Zeile %1: grüne Äpfel ✓\n").arg(line);
    return text;
}

const QString kUnicodeText = QStringLiteral("Grüße, 世界 ✓ 🎉 — done");

} // namespace

TEST(XcbClipboard, TextWeCopyIsPastedByOtherApplications)
{
    const XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    XcbClipboard clipboard(x.display());
    ASSERT_EQ(QCoro::waitFor(clipboard.unavailableReason()), std::nullopt);

    const ClipboardWrite plain = QCoro::waitFor(clipboard.setText(QStringLiteral("hello from zarnel")));
    ASSERT_TRUE(plain.copied) << plain.failure.toStdString();
    EXPECT_EQ(pasteWithXclip(x), QByteArray("hello from zarnel"));
    EXPECT_EQ(QCoro::waitFor(clipboard.text()), QStringLiteral("hello from zarnel"));

    ASSERT_TRUE(QCoro::waitFor(clipboard.setText(kUnicodeText)).copied);
    EXPECT_EQ(QString::fromUtf8(pasteWithXclip(x)), kUnicodeText);
    // Applications that only know Latin-1 get what Latin-1 can say.
    EXPECT_EQ(pasteWithXclip(x, {QStringLiteral("-t"), QStringLiteral("STRING")}), QString(kUnicodeText).toLatin1());
    const QByteArray targets = pasteWithXclip(x, {QStringLiteral("-t"), QStringLiteral("TARGETS")});
    for (const char* target : {"UTF8_STRING", "STRING", "TEXT", "TARGETS"})
        EXPECT_TRUE(targets.split('\n').contains(target)) << target << " missing from " << targets.toStdString();

    // Larger than one request may carry: handed over in parts.
    const QString large = largeText(3 << 20);
    ASSERT_TRUE(QCoro::waitFor(clipboard.setText(large)).copied);
    EXPECT_TRUE(QString::fromUtf8(pasteWithXclip(x)) == large);
    // Still offered after the transfer, and to the next application too.
    EXPECT_EQ(pasteWithXclip(x).size(), large.toUtf8().size());
}

TEST(XcbClipboard, ReadsTextImagesAndFilesOtherApplicationsCopied)
{
    const XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    XcbClipboard clipboard(x.display());
    EXPECT_EQ(QCoro::waitFor(clipboard.text()), std::nullopt);
    EXPECT_EQ(QCoro::waitFor(clipboard.unavailableReason()), std::nullopt) << "an empty clipboard is still a clipboard";

    // What we copied gives way to what another application copies after us.
    ASSERT_TRUE(QCoro::waitFor(clipboard.setText(QStringLiteral("ours"))).copied);
    {
        const XclipCopy theirs(x, kUnicodeText.toUtf8());
        const auto theirsOnceOffered = readOnceOffered([&] {
            const auto text = QCoro::waitFor(clipboard.text());
            return text == QStringLiteral("ours") ? std::nullopt : text;
        });
        EXPECT_EQ(theirsOnceOffered, kUnicodeText);
        EXPECT_EQ(QCoro::waitFor(clipboard.imagePng()), std::nullopt);
    }
    {
        const QString large = largeText(3 << 20);
        const XclipCopy theirs(x, large.toUtf8());
        const auto pasted = readOnceOffered([&] { return QCoro::waitFor(clipboard.text()); });
        ASSERT_TRUE(pasted.has_value());
        EXPECT_TRUE(*pasted == large) << "read " << pasted->size() << " of " << large.size() << " characters";
    }
    {
        const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(5000, '\x7f');
        const XclipCopy theirs(x, png, QStringLiteral("image/png"));
        EXPECT_EQ(readOnceOffered([&] { return QCoro::waitFor(clipboard.imagePng()); }), png);
        EXPECT_EQ(QCoro::waitFor(clipboard.text()), std::nullopt);
    }
    {
        const XclipCopy theirs(x,
                               "# copied by a file manager\r\nfile:///tmp/two%20words.txt\r\nfile:///etc/hosts\r\nhttps://example.org/\r\n",
                               QStringLiteral("text/uri-list"));
        EXPECT_EQ(readOnceOffered([&] { return QCoro::waitFor(clipboard.filePaths()); }),
                  QStringList({QStringLiteral("/tmp/two words.txt"), QStringLiteral("/etc/hosts")}));
    }
}

TEST(XcbClipboard, GivesUpOnAnOwnerThatNeverAnswers)
{
    const XvfbServer x;
    ASSERT_TRUE(x.isRunning());
    // An owner that reads none of its events, as a hung application would.
    const Xcb::Connection hung(xcb_connect(x.display().toLocal8Bit().constData(), nullptr));
    ASSERT_FALSE(xcb_connection_has_error(hung.get()));
    const xcb_window_t window = xcb_generate_id(hung.get());
    xcb_create_window(hung.get(), XCB_COPY_FROM_PARENT, window, xcb_setup_roots_iterator(xcb_get_setup(hung.get())).data->root, 0, 0, 1, 1,
                      0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const Xcb::Reply<xcb_intern_atom_reply_t> clipboardAtom(
        xcb_intern_atom_reply(hung.get(), xcb_intern_atom(hung.get(), 0, 9, "CLIPBOARD"), nullptr));
    ASSERT_TRUE(clipboardAtom);
    xcb_set_selection_owner(hung.get(), window, clipboardAtom->atom, XCB_CURRENT_TIME);
    const Xcb::Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(hung.get(), xcb_get_selection_owner(hung.get(), clipboardAtom->atom), nullptr));
    ASSERT_TRUE(owner && owner->owner == window);

    XcbClipboard clipboard(x.display(), std::chrono::milliseconds(200));
    EXPECT_EQ(QCoro::waitFor(clipboard.text()), std::nullopt);
    EXPECT_EQ(QCoro::waitFor(clipboard.imagePng()), std::nullopt);
    EXPECT_EQ(QCoro::waitFor(clipboard.unavailableReason()), std::nullopt);
    // Copying does not depend on the old owner.
    EXPECT_TRUE(QCoro::waitFor(clipboard.setText(QStringLiteral("mine now"))).copied);
    EXPECT_EQ(QCoro::waitFor(clipboard.text()), QStringLiteral("mine now"));
}

TEST(XcbClipboard, WithoutADisplaySaysSo)
{
    for (const QString& display : {QString(), QStringLiteral(":4093")}) {
        SCOPED_TRACE(display.toStdString());
        XcbClipboard clipboard(display);
        EXPECT_EQ(QCoro::waitFor(clipboard.unavailableReason()), QStringLiteral("no display"));
        EXPECT_EQ(QCoro::waitFor(clipboard.text()), std::nullopt);
        EXPECT_EQ(QCoro::waitFor(clipboard.filePaths()), std::nullopt);
        const ClipboardWrite write = QCoro::waitFor(clipboard.setText(QStringLiteral("lost")));
        EXPECT_FALSE(write.copied);
        EXPECT_EQ(write.failure, QStringLiteral("no display"));
    }
}
