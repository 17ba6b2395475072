#include "ui/dashboard/FolderListEditor.h"

#include "ui/dashboard/Dialogs.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

FolderListEditor::FolderListEditor(const QString& title, QWidget* parent)
    : QWidget(parent)
    , m_title(title)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(title, this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("folders"));
    m_list->setAccessibleName(title);
    m_list->setMaximumHeight(120);
    layout->addWidget(m_list);
    auto* buttons = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add…"), this);
    add->setObjectName(QStringLiteral("add"));
    add->setAccessibleName(QStringLiteral("Add to ") + title);
    m_remove = new QPushButton(QStringLiteral("Remove"), this);
    m_remove->setObjectName(QStringLiteral("remove"));
    m_remove->setAccessibleName(QStringLiteral("Remove from ") + title);
    m_remove->setEnabled(false);
    buttons->addWidget(add);
    buttons->addWidget(m_remove);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &FolderListEditor::addFolder);
    connect(m_remove, &QPushButton::clicked, this, &FolderListEditor::removeSelected);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_remove->setEnabled(row >= 0); });
}

void FolderListEditor::setFolders(const QStringList& folders)
{
    m_folders = folders;
    m_list->clear();
    m_list->addItems(folders);
    m_remove->setEnabled(false);
}

void FolderListEditor::addFolder()
{
    const QString chosen = Dialogs::existingFolder(this, m_title);
    if (chosen.isEmpty() || m_folders.contains(QDir::cleanPath(chosen)))
        return;
    Q_EMIT foldersEdited(m_folders + QStringList{QDir::cleanPath(chosen)});
}

void FolderListEditor::removeSelected()
{
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_folders.size())
        return;
    QStringList remaining = m_folders;
    remaining.removeAt(row);
    Q_EMIT foldersEdited(remaining);
}
