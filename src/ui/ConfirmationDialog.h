#pragma once

#include <QDialog>
#include <QTimer>

#include <chrono>

class QLabel;
class QPushButton;

// The desktop instance's question before a tool call that changes things: the call's text with
// "Allow" and "Deny" buttons. "Deny" is the default, "Allow" has no mnemonic, and the dialog
// denies by itself when the time runs out.
class ConfirmationDialog : public QDialog {
    Q_OBJECT

public:
    enum class Outcome { Allowed, Denied, TimedOut, Withdrawn };

    ConfirmationDialog(const QString& message, const QString& client, std::chrono::milliseconds timeLimit, QWidget* parent = nullptr);

    // Closes the dialog without an answer: the question was taken back.
    void withdraw();

    QPushButton* allowButton() const { return m_allow; }
    QPushButton* denyButton() const { return m_deny; }
    QString remainingText() const;
    // The call's text as shown, its line breaks and other hidden characters as visible marks.
    QString messageText() const { return m_message; }

Q_SIGNALS:
    // Emitted once, when the dialog closes for whatever reason.
    void settled(ConfirmationDialog::Outcome outcome);

public Q_SLOTS:
    void reject() override;

private:
    void settle(Outcome outcome);
    void showRemaining();

    QString m_message;
    QLabel* m_remaining = nullptr;
    QPushButton* m_allow = nullptr;
    QPushButton* m_deny = nullptr;
    QTimer m_limit;
    QTimer m_tick;
    bool m_settled = false;
};
