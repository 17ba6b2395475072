#pragma once

#include <QWidget>

// The small window naming the program and its version. It stays above the window that opened it
// and is hidden, not destroyed, when closed, so a second request shows the same one.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* owner);

    // Shows the window (centred over its owner the first time) and brings it to the front.
    void present();

private:
    bool m_placed = false;
};
