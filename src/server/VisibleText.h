#pragma once

#include <QString>

// What a person is asked to approve, shown so that nothing in it can hide: the confirmation
// dialog and the question sent to a client both show a call's text through these.
namespace VisibleText {

// The text with every line break, other control character and invisible formatting character
// (bidirectional overrides, zero-width characters, line and paragraph separators) shown as a
// mark: a line feed as "⏎", a tab as "\t", a carriage return as "\r", the rest as "\u2028"-style
// escapes. The result is one line that shows everything the text holds.
QString escaped(const QString& text);

// How long the text is as it would be shown unescaped: "3 lines, 96 characters".
QString extent(const QString& text);

// The escaped text, followed by its extent when escaping changed it: a question that needs no
// escaping reads as it always did.
QString question(const QString& text);

} // namespace VisibleText
