#include "ui/CommandBlock.h"

#include <QFontDatabase>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

#include <cmath>

namespace {

// Lines of at most `columns` characters, broken after a space within reach, else at the edge,
// but never right after a hyphen or a slash, which a word break would choose ("ls -" / "la").
QString wrapped(const QString& text, qsizetype columns)
{
    QString lines;
    lines.reserve(text.size() + text.size() / columns + 1);
    qsizetype start = 0;
    while (text.size() - start > columns) {
        // Looked for within this line only: a text of megabytes without a space stays quick.
        qsizetype space = start + columns;
        while (space > start && text.at(space) != QLatin1Char(' '))
            --space;
        qsizetype end = space > start ? space + 1 : start + columns; // a space ends its line
        if (space <= start) {
            while (end > start + 1 && (text.at(end - 1) == QLatin1Char('-') || text.at(end - 1) == QLatin1Char('/')))
                --end;
        }
        lines += QStringView(text).mid(start, end - start);
        lines += QChar::LineSeparator;
        start = end;
    }
    lines += QStringView(text).mid(start);
    return lines;
}

} // namespace

CommandBlock::CommandBlock(const QString& text, QWidget* parent)
    : QPlainTextEdit(text, parent)
    , m_text(text)
{
    setReadOnly(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Only should a line measure longer than its characters promise.
    setWordWrapMode(QTextOption::WrapAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CommandBlock::setVisibleLines(int lines)
{
    m_visibleLines = lines;
    fitHeight();
}

void CommandBlock::resizeEvent(QResizeEvent* event)
{
    if (event->size().width() != event->oldSize().width()) {
        // A monospace font: the characters a line holds follow from the width, less a scroll
        // bar's, which a long text brings.
        const qreal room = event->size().width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width()
            - 2 * document()->documentMargin() - cursorWidth();
        const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M'));
        const auto columns = std::max<qsizetype>(8, static_cast<qsizetype>(room / advance));
        if (columns != m_columns) {
            m_columns = columns;
            setPlainText(wrapped(m_text, columns));
        }
    }
    QPlainTextEdit::resizeEvent(event); // lays the text out again at the new width
    fitHeight();
}

void CommandBlock::fitHeight()
{
    // Measured on the block's own layout: a fallback font for a character can make a line
    // taller than the block's font says.
    const QTextLayout* layout = document()->firstBlock().layout();
    if (m_visibleLines <= 0 || !layout || layout->lineCount() == 0)
        return;
    qreal height = 0;
    for (int i = 0; i < std::min(layout->lineCount(), m_visibleLines); ++i)
        height += layout->lineAt(i).height();
    setFixedHeight(static_cast<int>(std::ceil(height + 2 * document()->documentMargin())) + 2 * frameWidth() + 2);
}

QMimeData* CommandBlock::createMimeDataFromSelection() const
{
    // The breaks are ours, not the command's: in a terminal they would end it early.
    QString selected = textCursor().selectedText();
    selected.remove(QChar::LineSeparator);
    auto* data = new QMimeData;
    data->setText(selected);
    return data;
}
