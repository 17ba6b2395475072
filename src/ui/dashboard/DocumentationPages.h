#pragma once

#include <QString>
#include <QWidget>

// The two pages of built-in documentation, with their fixed texts.
namespace DocumentationPages {

// How to connect a client: the configuration names `binaryPath`, the program's own path.
QWidget* gettingStarted(const QString& binaryPath, QWidget* parent = nullptr);
QWidget* examples(QWidget* parent = nullptr);

// The texts, for the pages and their tests: (heading, body) pairs in page order.
QList<std::pair<QString, QString>> gettingStartedSections(const QString& binaryPath);
struct Example {
    QString title;
    QString description;
    QString example;
};
QList<Example> exampleCards();

} // namespace DocumentationPages
