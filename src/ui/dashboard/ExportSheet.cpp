#include "ui/dashboard/ExportSheet.h"

#include "platform/files/FileReplacement.h"
#include "platform/session/Clipboard.h"
#include "ui/Symbols.h"
#include "ui/dashboard/Dialogs.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

ExportSheet::ExportSheet(Document document, std::shared_ptr<Clipboard> clipboard, QWidget* parent)
    : QDialog(parent)
    , m_document(std::move(document))
    , m_clipboard(std::move(clipboard))
    , m_text(new QPlainTextEdit(this))
    , m_status(new QLabel(this))
{
    setWindowTitle(m_document.title);
    setAccessibleName(m_document.title);
    resize(640, 480);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(m_document.title, this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title->setFont(titleFont);
    layout->addWidget(title);
    auto* subtitle = new QLabel(m_document.subtitle, this);
    subtitle->setObjectName(QStringLiteral("subtitle"));
    subtitle->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(subtitle);

    m_text->setReadOnly(true);
    m_text->setPlainText(m_document.text);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setAccessibleName(QStringLiteral("Export text"));
    layout->addWidget(m_text, 1);
    m_status->setObjectName(QStringLiteral("status"));
    layout->addWidget(m_status);

    auto* buttons = new QDialogButtonBox(this);
    m_copy = buttons->addButton(QStringLiteral("Copy to Clipboard"), QDialogButtonBox::ActionRole);
    m_copy->setIcon(Symbols::icon(QStringLiteral("doc.on.doc")));
    m_save = buttons->addButton(QStringLiteral("Save to File"), QDialogButtonBox::ActionRole);
    m_save->setIcon(Symbols::icon(QStringLiteral("square.and.arrow.up")));
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {m_copy, m_save, close})
        button->setAccessibleName(button->text());
    m_copy->setEnabled(m_document.available);
    m_save->setEnabled(m_document.available);
    layout->addWidget(buttons);
    connect(m_copy, &QPushButton::clicked, this, &ExportSheet::copyToClipboard);
    connect(m_save, &QPushButton::clicked, this, &ExportSheet::saveToFile);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

QString ExportSheet::text() const
{
    return m_text->toPlainText();
}

QString ExportSheet::statusText() const
{
    return m_status->text();
}

void ExportSheet::copyToClipboard()
{
    copyAndReport();
}

QCoro::Task<> ExportSheet::copyAndReport()
{
    const std::shared_ptr<Clipboard> clipboard = m_clipboard;
    QPointer<ExportSheet> self(this);
    ClipboardWrite write{false, QStringLiteral("no clipboard in this session")};
    if (clipboard)
        write = co_await clipboard->setText(m_document.text);
    if (!self)
        co_return;
    // Only a copy that really happened is reported as one.
    m_status->setText(write.copied ? QStringLiteral("✓ Copied to clipboard")
                                   : QStringLiteral("Could not copy to the clipboard: ") + write.failure);
}

void ExportSheet::saveToFile()
{
    const QString path = Dialogs::saveFileName(this, QStringLiteral("Save to File"), m_document.proposedName);
    if (path.isEmpty())
        return;
    // The chooser has asked before replacing a file; what is replaced keeps what write_file keeps.
    const FileResult<void> written = FileReplacement::write(FilePath(path), m_document.text.toUtf8());
    if (!written.ok()) {
        m_status->setText(QStringLiteral("Could not save the file: ") + written.error().description);
        return;
    }
    m_status->setText(QStringLiteral("Saved to ") + path);
}
