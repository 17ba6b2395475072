// The baseline of the desktop memory benchmark: a bare QApplication showing one empty window.
#include <QApplication>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(900, 600);
    window.show();
    QTimer::singleShot(0, [] { QTextStream(stdout) << "ready\n"; });
    return app.exec();
}
