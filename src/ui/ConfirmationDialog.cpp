#include "ui/ConfirmationDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ConfirmationDialog::ConfirmationDialog(const QString& message, const QString& client, std::chrono::milliseconds timeLimit, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Zarnel: allow a tool call?"));
    // It may appear while the user works in another program: it must be seen to be answered.
    setWindowFlag(Qt::WindowStaysOnTopHint);

    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("message"));
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    if (!client.isEmpty()) {
        auto* from = new QLabel(QStringLiteral("Asked by ") + client, this);
        from->setTextFormat(Qt::PlainText);
        layout->addWidget(from);
    }
    m_remaining = new QLabel(this);
    m_remaining->setObjectName(QStringLiteral("remaining"));
    layout->addWidget(m_remaining);

    auto* buttons = new QDialogButtonBox(this);
    m_allow = buttons->addButton(QStringLiteral("&Allow"), QDialogButtonBox::AcceptRole);
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
    return QStringLiteral("Denied by itself in %1 s").arg(std::max(seconds, 0));
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
