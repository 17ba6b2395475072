#include "ui/dashboard/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

std::optional<QString> g_nextSave;
std::optional<QString> g_nextFolder;
std::optional<bool> g_nextConfirmation;
QString g_lastProposedFileName;
QString g_lastQuestion;

} // namespace

namespace Dialogs {

QString saveFileName(QWidget* parent, const QString& title, const QString& proposedName)
{
    g_lastProposedFileName = proposedName;
    if (g_nextSave)
        return *std::exchange(g_nextSave, std::nullopt);
    return QFileDialog::getSaveFileName(parent, title, QDir::home().filePath(proposedName));
}

QString existingFolder(QWidget* parent, const QString& title)
{
    if (g_nextFolder)
        return *std::exchange(g_nextFolder, std::nullopt);
    return QFileDialog::getExistingDirectory(parent, title, QDir::homePath());
}

bool confirm(QWidget* parent, const QString& title, const QString& message, const QString& acceptText)
{
    g_lastQuestion = message;
    if (g_nextConfirmation)
        return *std::exchange(g_nextConfirmation, std::nullopt);
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, parent);
    box.addButton(QMessageBox::Cancel)->setText(QStringLiteral("Cancel"));
    QPushButton* accept = box.addButton(acceptText, QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == accept;
}

void answerNextSave(const QString& fileName)
{
    g_nextSave = fileName;
}

void answerNextFolder(const QString& folder)
{
    g_nextFolder = folder;
}

void answerNextConfirmation(bool accept)
{
    g_nextConfirmation = accept;
}

QString lastProposedFileName()
{
    return g_lastProposedFileName;
}

QString lastQuestion()
{
    return g_lastQuestion;
}

} // namespace Dialogs
