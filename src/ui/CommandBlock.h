#pragma once

#include <QPlainTextEdit>

// A command or a path as typed, in a read-only monospace block. Lines break at its spaces, and
// at the edge within a run too long for a line, but never after a hyphen or a slash as a word
// would ("ls -" / "la"). Copying from it gives the text as it was given.
class CommandBlock : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CommandBlock(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // Takes the height of its text at the width it is given, at most `lines` lines; the rest
    // scrolls.
    void setVisibleLines(int lines);

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();

    QString m_text;
    int m_visibleLines = 0;
    qsizetype m_columns = 0;
};
