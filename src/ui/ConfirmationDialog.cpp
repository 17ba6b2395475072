#include "ui/ConfirmationDialog.h"

#include "server/VisibleText.h"
#include "ui/CommandBlock.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

constexpr int kMinimumWidth = 480;
// Lines of the call's text shown before it scrolls.
constexpr int kVisibleLines = 10;
constexpr qsizetype kLongestClientName = 80;

} // namespace

ConfirmationDialog::ConfirmationDialog(const QString& message, const QString& client, std::chrono::milliseconds timeLimit, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Zarnel: allow a tool call?"));
    // It may appear while the user works in another program: it must be seen to be answered.
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* layout = new QVBoxLayout(this);
    // The dialog follows its content, the call's text taking its height once laid out.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Line breaks and the like are shown as marks, and the text scrolls within a bounded area:
    // however long it is, nothing of it hides below a first harmless line, and the buttons stay
    // on the screen.
    m_message = VisibleText::escaped(message);
    // "Allow <tool> to <action>?": the action holds the command or the paths, shown as typed.
    static const QRegularExpression question(QStringLiteral("^(Allow \\S+ to) (.+)\\?$"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch parts = question.match(m_message);
    if (parts.hasMatch()) {
        auto* heading = new QLabel(parts.captured(1), this);
        heading->setObjectName(QStringLiteral("heading"));
        heading->setTextFormat(Qt::PlainText);
        layout->addWidget(heading);
    }
    auto* text = new CommandBlock(parts.hasMatch() ? parts.captured(2) : m_message, this);
    text->setObjectName(QStringLiteral("call"));
    text->setAccessibleName(QStringLiteral("Tool call"));
    text->setMinimumWidth(kMinimumWidth);
    text->setVisibleLines(kVisibleLines);
    layout->addWidget(text);
    auto* extent = new QLabel(VisibleText::extent(message), this);
    extent->setObjectName(QStringLiteral("extent"));
    layout->addWidget(extent);
    if (!client.isEmpty()) {
        const QString name = VisibleText::escaped(client);
        auto* from = new QLabel(
            QStringLiteral("Asked by ") + (name.size() > kLongestClientName ? name.left(kLongestClientName) + QChar(0x2026) : name), this);
        from->setTextFormat(Qt::PlainText);
        layout->addWidget(from);
    }
    m_remaining = new QLabel(this);
    m_remaining->setObjectName(QStringLiteral("remaining"));
    layout->addWidget(m_remaining);

    auto* buttons = new QDialogButtonBox(this);
    // No mnemonic: a key pressed for something else must not approve.
    m_allow = buttons->addButton(QStringLiteral("Allow"), QDialogButtonBox::AcceptRole);
    m_deny = buttons->addButton(QStringLiteral("&Deny"), QDialogButtonBox::RejectRole);
    m_allow->setAutoDefault(false);
    m_deny->setDefault(true);
    m_deny->setFocus();
    layout->addWidget(buttons);
    connect(m_allow, &QPushButton::clicked, this, [this] { settle(Outcome::Allowed); });
    connect(m_deny, &QPushButton::clicked, this, [this] { settle(Outcome::Denied); });

    m_limit.setSingleShot(true);
    // A coarse timer may run a few seconds late, and the countdown would start above the limit.
    m_limit.setTimerType(Qt::PreciseTimer);
    connect(&m_limit, &QTimer::timeout, this, [this] { settle(Outcome::TimedOut); });
    m_limit.start(timeLimit);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &ConfirmationDialog::showRemaining);
    m_tick.start();
    showRemaining();
}

QString ConfirmationDialog::remainingText() const
{
    const int seconds = (m_limit.remainingTime() + 999) / 1000;
    return QStringLiteral("Denies in %1 s").arg(std::max(seconds, 0));
}

void ConfirmationDialog::showRemaining()
{
    m_remaining->setText(remainingText());
}

void ConfirmationDialog::withdraw()
{
    settle(Outcome::Withdrawn);
}

// Escape, the window's close button and "Deny" all answer no.
void ConfirmationDialog::reject()
{
    settle(Outcome::Denied);
}

void ConfirmationDialog::settle(Outcome outcome)
{
    if (m_settled)
        return;
    m_settled = true;
    m_limit.stop();
    m_tick.stop();
    Q_EMIT settled(outcome);
    done(outcome == Outcome::Allowed ? QDialog::Accepted : QDialog::Rejected);
}
