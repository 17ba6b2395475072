#include "ui/AboutWindow.h"

#include "Version.h"
#include "ui/ApplicationIcons.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

AboutWindow::AboutWindow(QWidget* owner)
    // Naming the hints wanted keeps the window manager from adding the ones a plain window gets.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About Zarnel"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(ApplicationIcons::applicationIcon().pixmap(128, 128));
    icon->setAlignment(Qt::AlignCenter);

    auto* name = new QLabel(QStringLiteral("Zarnel Server"), this);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.8);
    nameFont.setBold(true);
    name->setFont(nameFont);
    auto* version = new QLabel(QStringLiteral("Version " ZARNEL_VERSION), this);
    auto* subtitle = new QLabel(QStringLiteral("Model Context Protocol Server"), this);
    for (QLabel* line : {name, version, subtitle}) {
        line->setAlignment(Qt::AlignCenter);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    subtitle->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch(2);
    layout->addWidget(icon);
    layout->addSpacing(16);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(subtitle);
    layout->addStretch(3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("aboutCloseButton"));
    // The style's picture for it is drawn for one palette (black on a dark one): the word says it all.
    buttons->button(QDialogButtonBox::Close)->setIcon(QIcon());
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Escape closes any dialog; Ctrl+W is how every other window of the desktop closes.
    auto* closeShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closeShortcut, &QShortcut::activated, this, &QDialog::reject);

    // Roomier than the lines need, as it was, but free to grow with a larger font.
    resize(sizeHint().expandedTo(QSize(400, 440)));
}

void AboutWindow::present()
{
    if (!m_placed && parentWidget()) {
        const QRect ownerFrame = parentWidget()->frameGeometry();
        move(ownerFrame.center() - QPoint(width() / 2, height() / 2));
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
}
