// The program: the main window on the real serial port, its start-up once it is shown, and the
// event loop until the last window closes.

#include "serial/serial_port.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rotor"));

    SerialPort port;
    MessageBoxes messages;
    MainWindow window(port, messages);
    window.show();
    QTimer::singleShot(0, &window, &MainWindow::startUp);
    return app.exec();
}
