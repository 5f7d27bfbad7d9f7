// SPDX-License-Identifier: GPL-3.0-or-later
// Processor time while nothing happens on the line: an exchange waiting the full reply period
// for a box that never answers, and the monitor listening to a box that sends nothing. Both
// waits should sleep in the event loop; a polling loop would use a whole core.

#include "bench_support.h"

#include "support/recording_messages.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QTimer>

namespace {

const QString goalCpu = QStringLiteral("< 1 % of one core");

QString cpuVerdict(double percent) { return percent < 1.0 ? QStringLiteral("pass") : QStringLiteral("FAIL"); }

}  // namespace

int benchCpuWait(const BenchOptions& options)
{
    ConfigFolder config;
    SilentLine line;
    if (!line.ok()) {
        note(QStringLiteral("cpu-wait: no pseudo-terminal"));
        return 1;
    }
    config.linkPort(1, line.device());

    CountingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages);  // the program's own reply period, 3300 ms
    window.show();
    runEvents(300);
    window.link().choice().setNumber(1);
    port.applyLineSettings();

    QList<double> percents;
    QList<double> waits;
    bool messagesAsExpected = true;
    for (int run = 0; run < options.runs; ++run) {
        messages.shown.clear();
        const double cpu0 = processSeconds();
        const double wall0 = wallSeconds();
        window.commands().CMD_S();
        const double cpu1 = processSeconds();
        const double wall1 = wallSeconds();
        percents << 100.0 * (cpu1 - cpu0) / (wall1 - wall0);
        waits << (wall1 - wall0);
        if (messages.shown != QStringList{QStringLiteral("cmd S, Communication timeout on <header>")}) {
            messagesAsExpected = false;
            note(QStringLiteral("cpu-wait: unexpected messages: ") + messages.shown.join(QStringLiteral(" / ")));
        }
        note(QStringLiteral("cpu-wait run %1: %2 s wall, %3 ms processor, %4 %")
                 .arg(run + 1)
                 .arg(fixed(wall1 - wall0, 3), fixed(1000 * (cpu1 - cpu0), 1), fixed(percents.last(), 3)));
    }
    const double m = median(percents);
    printRow({QStringLiteral("1a. Processor time, `cmd S` waiting for a silent box (header wait %1 s)")
                  .arg(fixed(median(waits), 2)),
              QStringLiteral("%1 % (runs: %2)").arg(fixed(m, 3), listOf(percents, 3)), goalCpu,
              messagesAsExpected ? cpuVerdict(m) : QStringLiteral("FAIL (unexpected messages)")});
    return 0;
}

int benchCpuMonitor(const BenchOptions& options)
{
    if (!Simulator::available()) {
        printRow({QStringLiteral("1b. Processor time, monitor with no traffic"), QStringLiteral("not run"), goalCpu,
                  QStringLiteral("simulator not built")});
        return 1;
    }
    const double seconds = options.seconds > 0 ? options.seconds : 10;
    ConfigFolder config;
    config.writePortChoice(1);
    Simulator sim(config);
    // M starts the status frames, the first one an hour later: the line stays silent.
    if (!sim.start({QStringLiteral("--status-interval"), QStringLiteral("3600000")})) {
        note(QStringLiteral("cpu-monitor: the simulator did not start"));
        return 1;
    }

    CountingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages);
    window.show();
    runEvents(300);
    window.startUp();
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("cmd_monitor"));

    QList<double> percents;
    bool allRan = true;
    for (int run = 0; run < options.runs; ++run) {
        messages.shown.clear();
        double cpu0 = 0, wall0 = 0, cpu1 = 0, wall1 = 0;
        bool measured = false;
        // The click returns only when monitoring has ended: the measurement runs from timers
        // inside the monitor's own waits.
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (button->text() != QLatin1String("STOP"))
                return;
            watch.stop();
            QTimer::singleShot(300, [&] {
                cpu0 = processSeconds();
                wall0 = wallSeconds();
                QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, [&] {
                    cpu1 = processSeconds();
                    wall1 = wallSeconds();
                    measured = true;
                    button->click();  // the stop
                });
            });
        });
        watch.start();
        button->click();
        watch.stop();
        if (!measured || !sim.running()) {
            allRan = false;
            if (!sim.running())
                note(QStringLiteral("cpu-monitor: ") + sim.endText());
            note(QStringLiteral("cpu-monitor: the monitor did not run; messages: ")
                 + messages.shown.join(QStringLiteral(" / ")));
            break;
        }
        if (!messages.shown.isEmpty())
            note(QStringLiteral("cpu-monitor: messages: ") + messages.shown.join(QStringLiteral(" / ")));
        percents << 100.0 * (cpu1 - cpu0) / (wall1 - wall0);
        note(QStringLiteral("cpu-monitor run %1: %2 s wall, %3 ms processor, %4 %")
                 .arg(run + 1)
                 .arg(fixed(wall1 - wall0, 3), fixed(1000 * (cpu1 - cpu0), 1), fixed(percents.last(), 3)));
    }
    const double m = median(percents);
    printRow(
        {QStringLiteral("1b. Processor time, monitor listening to a silent line (%1 s)").arg(fixed(seconds, 0)),
         allRan ? QStringLiteral("%1 % (runs: %2)").arg(fixed(m, 3), listOf(percents, 3)) : QStringLiteral("not run"),
         goalCpu, allRan ? cpuVerdict(m) : QStringLiteral("FAIL (monitor did not run)")});
    return allRan ? 0 : 1;
}
