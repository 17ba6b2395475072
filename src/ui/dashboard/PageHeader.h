#pragma once

#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

// The title and subtitle at the top of a page, and the look of section headings.
namespace PageHeader {

QWidget* create(const QString& title, const QString& subtitle, QWidget* parent);
QLabel* title(const QString& text, QWidget* parent);
void makeSectionHeading(QLabel* label);
// Fills `page` with a scroll area and returns the layout of the scrolled content.
QVBoxLayout* scrollingLayout(QWidget* page);

} // namespace PageHeader
