#pragma once

#include <QString>

#include <optional>

class QWidget;

// The dashboard's modal questions, with a seam through which a test answers the next one in
// advance, so that no test waits on a window that nobody closes.
namespace Dialogs {

// A save dialog proposing `proposedName` in the user's home folder. Empty when cancelled.
QString saveFileName(QWidget* parent, const QString& title, const QString& proposedName);
// A folder chooser starting in the user's home folder. Empty when cancelled.
QString existingFolder(QWidget* parent, const QString& title);
// A question with "Cancel" and the accepting button's text; true when accepted.
bool confirm(QWidget* parent, const QString& title, const QString& message, const QString& acceptText);

// For tests: the answer to the next dialog of each kind (nothing shows then), and the file
// name the last save dialog proposed and the last question asked.
void answerNextSave(const QString& fileName);
void answerNextFolder(const QString& folder);
void answerNextConfirmation(bool accept);
QString lastProposedFileName();
QString lastQuestion();

} // namespace Dialogs
