#pragma once

#include <QStringList>
#include <QWidget>

class QListWidget;
class QPushButton;

// A list of folders with Add (a folder chooser) and Remove, for the folder settings.
class FolderListEditor : public QWidget {
    Q_OBJECT
public:
    FolderListEditor(const QString& title, QWidget* parent = nullptr);

    QStringList folders() const { return m_folders; }
    // Shows the list without announcing it.
    void setFolders(const QStringList& folders);

Q_SIGNALS:
    // The person added or removed a folder: the whole new list.
    void foldersEdited(const QStringList& folders);

private:
    void addFolder();
    void removeSelected();

    QString m_title;
    QStringList m_folders;
    QListWidget* m_list;
    QPushButton* m_remove;
};
