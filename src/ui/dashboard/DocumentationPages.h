#pragma once

#include <QString>
#include <QWidget>

// The two pages of built-in documentation, with their fixed texts.
namespace DocumentationPages {

// How to connect a client: the configuration names `binaryPath`, the program's own path.
QWidget* gettingStarted(const QString& binaryPath, QWidget* parent = nullptr);
QWidget* examples(QWidget* parent = nullptr);

// One stretch of a section: prose that wraps to the page, or a command or configuration that
// keeps its lines (and scrolls on its own where a line is wider than the page).
struct Block {
    QString text;
    bool code = false;
};
struct Section {
    QString heading;
    QList<Block> blocks;
};
// The texts, for the pages and their tests, in page order.
QList<Section> gettingStartedSections(const QString& binaryPath);
struct Example {
    QString title;
    QString description;
    QString example;
};
QList<Example> exampleCards();

} // namespace DocumentationPages
