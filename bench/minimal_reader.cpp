// SPDX-License-Identifier: GPL-3.0-or-later
// rotor-bench-reader: the least a Qt program can do with the monitor's traffic, as the yardstick
// of the monitor's processor time. A bare QCoreApplication, no window: the line opened with
// QSerialPort as rotor opens it, "M" sent, and every status frame counted as readyRead brings it
// in; after the measured window "S" ends the frames.
//
//   rotor-bench-reader DEVICE SECONDS
//
// Prints one line on standard output: frames counted, wall seconds and processor seconds (user
// plus system) over the window, which runs from the end of the first status frame for SECONDS.
// Exits 1 when the line cannot be opened or falls silent.

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <time.h>

namespace {

double processSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: rotor-bench-reader DEVICE SECONDS\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);

    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(argv[1]));
    if (!port.open(QIODevice::ReadWrite) || !port.setBaudRate(QSerialPort::Baud9600)
        || !port.setDataBits(QSerialPort::Data8) || !port.setParity(QSerialPort::NoParity)
        || !port.setStopBits(QSerialPort::OneStop) || !port.setFlowControl(QSerialPort::NoFlowControl)) {
        std::fprintf(stderr, "rotor-bench-reader: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    port.clear(QSerialPort::Input);

    int frames = -1;  // the first CR ends the reply to M
    double wall0 = 0, cpu0 = 0, wall1 = 0, cpu1 = 0;
    bool done = false;
    QTimer silence;  // a line that falls silent ends the run
    silence.setSingleShot(true);
    silence.setInterval(3000);
    QObject::connect(&silence, &QTimer::timeout, &app, [&] { app.exit(1); });
    QObject::connect(&port, &QSerialPort::readyRead, &app, [&] {
        silence.start();
        const QByteArray bytes = port.readAll();
        if (done)
            return;
        for (char c : bytes) {
            if (c != '\r')
                continue;
            if (++frames == 1) {
                wall0 = wallSeconds();
                cpu0 = processSeconds();
            }
        }
        if (frames > 1 && wallSeconds() - wall0 >= seconds) {
            cpu1 = processSeconds();
            wall1 = wallSeconds();
            done = true;
            port.write("\x02"
                       "AS\r");
            QTimer::singleShot(200, &app, [&] { app.exit(0); });
        }
    });
    port.write("\x02"
               "AM\r");
    silence.start();
    const int result = app.exec();
    if (result != 0 || !done) {
        std::fprintf(stderr, "rotor-bench-reader: the line fell silent\n");
        return 1;
    }
    std::printf("%d %.6f %.6f\n", frames - 1, wall1 - wall0, cpu1 - cpu0);
    return 0;
}
