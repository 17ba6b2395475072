#pragma once

#include <QDialog>

// The small dialog naming the program and its version. It stays above the window that opened it
// and is hidden, not destroyed, when closed (by its Close button, Escape or Ctrl+W), so a second
// request shows the same one. It takes the size its lines need, and a window manager offers no
// maximise button for it.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* owner);

    // Shows the dialog (centred over its owner the first time) and brings it to the front.
    void present();

private:
    bool m_placed = false;
};
