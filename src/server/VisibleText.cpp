#include "server/VisibleText.h"

#include <QList>

namespace VisibleText {

namespace {

bool isHidden(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

QString escapeOf(char32_t codePoint)
{
    switch (codePoint) {
    case U'\n': return QStringLiteral("\u23CE");
    case U'\t': return QStringLiteral("\\t");
    case U'\r': return QStringLiteral("\\r");
    default: break;
    }
    const QString hex = QString::number(static_cast<uint>(codePoint), 16);
    return codePoint > 0xFFFF ? QStringLiteral("\\u{%1}").arg(hex) : QStringLiteral("\\u") + hex.rightJustified(4, QLatin1Char('0'));
}

bool breaksLine(char32_t codePoint)
{
    return codePoint == U'\n' || codePoint == U'\r' || codePoint == U'\v' || codePoint == U'\f' || codePoint == 0x85 || codePoint == 0x2028
        || codePoint == 0x2029;
}

} // namespace

QString escaped(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const uint each : text.toUcs4()) {
        const auto codePoint = static_cast<char32_t>(each);
        if (isHidden(codePoint))
            shown += escapeOf(codePoint);
        else
            shown += QString::fromUcs4(&codePoint, 1);
    }
    return shown;
}

QString extent(const QString& text)
{
    const QList<uint> codePoints = text.toUcs4();
    qsizetype lines = 1;
    char32_t previous = 0;
    for (const uint each : codePoints) {
        const auto codePoint = static_cast<char32_t>(each);
        // A carriage return and line feed end one line together.
        if (breaksLine(codePoint) && !(codePoint == U'\n' && previous == U'\r'))
            ++lines;
        previous = codePoint;
    }
    return QStringLiteral("%1 %2, %3 %4")
        .arg(lines)
        .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(codePoints.size())
        .arg(codePoints.size() == 1 ? QStringLiteral("character") : QStringLiteral("characters"));
}

QString question(const QString& text)
{
    const QString shown = escaped(text);
    return shown == text ? text : shown + QStringLiteral(" (") + extent(text) + QLatin1Char(')');
}

} // namespace VisibleText
