#include "ui/AboutWindow.h"

#include "Version.h"
#include "ui/ApplicationIcons.h"

#include <QLabel>
#include <QVBoxLayout>

AboutWindow::AboutWindow(QWidget* owner)
    : QWidget(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About Zarnel"));
    setFixedSize(400, 500);

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
