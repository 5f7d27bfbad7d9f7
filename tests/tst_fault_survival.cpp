// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever the line brings, every exchange ends in order: the port closed while the monitor is
// idle, every button back, the reply timer disarmed, and the next exchange works. Each command's
// good reply is broken at every position in every way: cut short, a wrong character, the line
// hung up; and the reply as a whole: silence, noise first, late, busy.

#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/calibration_window.h"

#include <QtTest>

namespace {

constexpr int period = 60;

const QByteArray block = exampleBlock;

struct Command {
    const char* name;
    const char* button;  // clicked as the operator does
    QByteArray frame;    // what goes out
    QByteArray goodReply;
    bool calibration;  // a button of the calibration window
    bool write;        // W: the question is answered Yes and S goes first
};

const QList<Command>& commands()
{
    static const QList<Command> list{
        {"S", "command_s", frame("S"), reply('S', "R"), false, false},
        {"M", "command_c", frame("M"), reply('M', "R"), false, false},
        {"V", "command_v", frame("V"), reply('V', "00322"), false, false},
        {"?", "command_qm", frame("?"), reply('?', "045,R"), false, false},
        {"G", "execute", frame("G45"), reply('G', "R"), false, false},
        {"G999", "fast_stop", frame("G999"), reply('G', "R"), false, false},
        {"G977", "soft_stop", frame("G977"), reply('G', "R"), false, false},
        {"C", "calib360", frame("C"), reply('C', "R"), true, false},
        {"c", "calib_def", frame("c"), reply('c', "R"), true, false},
        {"F", "write_factor", frame("F5000"), reply('F', "R"), true, false},
        {"K", "calib", frame("K90"), reply('K', "R"), true, false},
        {"L", "read_info", frame("L"), reply('L', block), false, false},
        {"W", "write_mode", frame("W"),
         QByteArray("\x02"
                    "A,W,R\rN"),
         false, true},
    };
    return list;
}

enum class Fault { Cut, Wrong, HangUp, Silence, Noise, Late, Busy };

}  // namespace

Q_DECLARE_METATYPE(Fault)

class FaultSurvivalTest : public QObject {
    Q_OBJECT
private slots:
    void everyExchangeEndsInOrder_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("position");
        for (int c = 0; c < commands().size(); ++c) {
            const Command& command = commands().at(c);
            const int length = int(command.goodReply.size());
            for (int i = 0; i < length; ++i) {
                QTest::addRow("%s cut at %d", command.name, i) << c << int(Fault::Cut) << i;
                QTest::addRow("%s wrong at %d", command.name, i) << c << int(Fault::Wrong) << i;
                QTest::addRow("%s hung up at %d", command.name, i) << c << int(Fault::HangUp) << i;
            }
            QTest::addRow("%s silence", command.name) << c << int(Fault::Silence) << 0;
            QTest::addRow("%s noise first", command.name) << c << int(Fault::Noise) << 0;
            QTest::addRow("%s late", command.name) << c << int(Fault::Late) << 0;
            QTest::addRow("%s busy", command.name) << c << int(Fault::Busy) << 0;
        }
    }

    void everyExchangeEndsInOrder()
    {
        QFETCH(int, command);
        QFETCH(int, fault);
        QFETCH(int, position);
        const Command& cmd = commands().at(command);
        TestWindow t(period);
        t.edit(QStringLiteral("go_to_angle"))->setText(QStringLiteral("45"));
        if (cmd.write) {
            // The write refuses a panel of placeholders before anything is sent.
            t.messages.answers << true;
            t.click(QStringLiteral("set_default"));
        }
        QAbstractButton* button = nullptr;
        if (cmd.calibration) {
            t.click(QStringLiteral("calib"));
            CalibrationWindow* calibration = t.window->calibrationWindow();
            calibration->findChild<QLineEdit*>(QStringLiteral("cal_factor"))->setText(QStringLiteral("5000"));
            button = calibration->findChild<QAbstractButton*>(QString::fromLatin1(cmd.button));
        } else {
            button = t.button(QString::fromLatin1(cmd.button));
        }
        QVERIFY(button);

        QByteArray answer = cmd.goodReply;
        int delay = 0;
        switch (Fault(fault)) {
        case Fault::Cut: answer = answer.left(position); break;
        case Fault::Wrong: answer[position] = answer.at(position) == '#' ? '$' : '#'; break;
        case Fault::HangUp:
            answer = answer.left(position);
            QTimer::singleShot(10, &t.port, &FakePort::hangUp);
            break;
        case Fault::Silence: delay = -1; break;
        case Fault::Noise:
            answer.prepend("\r\n\xff"
                           "A,?,1\r\x7f");
            break;
        case Fault::Late: delay = period + 40; break;
        case Fault::Busy: answer = reply(cmd.frame.at(2), "B"); break;
        }
        if (cmd.write) {
            t.messages.answers << true;
            t.port.expect(frame("S"), reply('S', "R"));
        }
        t.port.expect(cmd.frame, answer, delay);
        button->click();

        // The exchange has ended in order.
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(!t.window->exchangeLock().busy());
        QCOMPARE(t.disabled(TestWindow::commandGroup + QStringList{"command_c", "command_qm", "command_v"}),
                 QStringList());
        QVERIFY(t.messages.shown.size() <= 2);
        // Nothing was sent after the frame but what the write dialogue sends after a good start.
        if (!cmd.write)
            QCOMPARE(t.port.written, cmd.frame);

        // A late reply arrives while the port is closed and never lands in the next exchange,
        // and the next exchange works whatever flag the last one left raised.
        QTest::qWait(delay > 0 ? delay : 5);
        const QStringList before = t.messages.shown;
        t.port.expect(frame("S"), reply('S', "R"));
        QVERIFY(!t.window->commands().CMD_S());
        QCOMPARE(t.messages.shown, before);
        QVERIFY(!t.window->link().timedOut());
        QVERIFY(!t.port.isOpen());
    }
};

QTEST_MAIN(FaultSurvivalTest)
#include "tst_fault_survival.moc"
