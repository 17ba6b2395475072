// The floor of any Qt program on this transport: echo_server's work (every input line answered
// with the same fixed line, read once from the file named by the first argument) done the way a
// Qt program does it, with a QCoreApplication and standard input watched by its event loop.
// What zarnel takes beyond this is its own; what this takes beyond echo_server is Qt's.

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <unistd.h>

namespace {

bool writeAll(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, static_cast<size_t>(left));
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // As zarnel starts without windows: Qt's own event dispatcher, not GLib's.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    QByteArray response = file.readAll();
    if (!response.endsWith('\n'))
        response += '\n';

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[1 << 16];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n' && !writeAll(response))
                QCoreApplication::exit(1);
        }
    });
    return QCoreApplication::exec();
}
