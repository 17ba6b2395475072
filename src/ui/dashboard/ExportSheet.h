#pragma once

#include <QCoroTask>
#include <QDialog>

#include <functional>
#include <memory>

class Clipboard;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// A document offered for export: shown, copied to the clipboard or saved to a file.
class ExportSheet : public QDialog {
    Q_OBJECT
public:
    struct Document {
        QString title;
        QString subtitle;
        QString text;          // shown and exported
        QString proposedName;  // for "Save to File"
        bool available = true; // false: `text` says why there is nothing to export
    };

    ExportSheet(Document document, std::shared_ptr<Clipboard> clipboard, QWidget* parent = nullptr);

    QString text() const;
    // "✓ Copied to clipboard", the reason a copy or a save failed, or where the file went.
    QString statusText() const;

public Q_SLOTS:
    void copyToClipboard();
    void saveToFile();

private:
    QCoro::Task<> copyAndReport();

    Document m_document;
    std::shared_ptr<Clipboard> m_clipboard;
    QPlainTextEdit* m_text;
    QLabel* m_status;
    QPushButton* m_copy;
    QPushButton* m_save;
};
