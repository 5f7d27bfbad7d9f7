// SPDX-License-Identifier: GPL-3.0-or-later
// The program: the main window on the real serial port, its start-up once it is shown, and the
// event loop until the last window closes. --help and --version are answered before that, and
// a subcommand (rotor read, write, ...) runs without any window.

#include "command_line.h"
#include "cli/headless.h"
#include "rotor/version.h"
#include "serial/serial_port.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    if (argc > 1 && isSubcommand(QString::fromLocal8Bit(argv[1])))
        return runSubcommand(argc, argv);
    QString file;
    if (const std::optional<int> answered = answerCommandLine(argc, argv, &file))
        return *answered;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rotor"));
    // The installed desktop entry, so that the desktop shows its name and icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral(ROTOR_APP_ID));

    SerialPort port;
    MessageBoxes messages;
    MainWindow window(port, messages);
    window.show();
    // A file named on the command line is loaded as File > Load parameters loads it, once the
    // start-up sequence has ended, whatever its outcome (its panel fill would overwrite it).
    QTimer::singleShot(0, &window, [&window, file] { window.startUpLoading(file); });
    return app.exec();
}
