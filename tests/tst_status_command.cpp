// SPDX-License-Identifier: GPL-3.0-or-later
// The status query "?" through the scripted port and the real window: the angle into `fast_pos`,
// the busy or ready state into `fast_status` with its colour, and every way the reply can go wrong.

#include "support/test_window.h"
#include "ui/colours.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

const QString position = QStringLiteral("fast_pos");
const QString status = QStringLiteral("fast_status");
const QString degree = QString(QChar(0x00B0));

}  // namespace

class StatusCommandTest : public QObject {
    Q_OBJECT
private slots:
    void statusReply_data()
    {
        QTest::addColumn<QByteArray>("answer");
        // What the fields show before the exchange.
        QTest::addColumn<QString>("statusBefore");
        QTest::addColumn<bool>("redBefore");
        // What they show after it.
        QTest::addColumn<QString>("positionAfter");
        QTest::addColumn<QString>("statusAfter");
        QTest::addColumn<bool>("redAfter");
        QTest::addColumn<QStringList>("messages");

        const QString busy = QStringLiteral("BUSY");
        const QString ready = QStringLiteral("READY");
        const QString unchanged = QStringLiteral("7") + degree;

        QTest::newRow("ready") << reply('?', "045,R") << busy << true << "45" + degree << ready << false
                               << QStringList{};
        QTest::newRow("busy at zero") << reply('?', "000,B") << ready << false << "0" + degree << busy << true
                                      << QStringList{};
        QTest::newRow("three digits") << reply('?', "450,B") << ready << false << "450" + degree << busy << true
                                      << QStringList{};
        QTest::newRow("inner zero stays")
            << reply('?', "105,R") << busy << true << "105" + degree << ready << false << QStringList{};
        QTest::newRow("stray bytes before the header") << QByteArray("\r\x15" + reply('?', "090,R")) << busy << true
                                                       << "90" + degree << ready << false << QStringList{};

        // An unknown state leaves the state alone; a correct CR after it raises nothing more.
        QTest::newRow("state X") << reply('?', "045,X") << busy << true << "45" + degree << busy << true
                                 << QStringList{QStringLiteral("? cmd, <data>(R or B) invalid, received:X")};
        QTest::newRow("state is case exact")
            << reply('?', "045,r") << ready << false << "45" + degree << ready << false
            << QStringList{QStringLiteral("? cmd, <data>(R or B) invalid, received:r")};
        // ... and the terminator is still tested after it.
        QTest::newRow("state X, terminator LF")
            << QByteArray("\x02"
                          "A,?,045,X\n")
            << busy << true << "45" + degree << busy << true
            << QStringList{QStringLiteral("? cmd, <data>(R or B) invalid, received:X"),
                           QStringLiteral("? cmd, <return> invalid, received ASC:10")};

        // The angle is shown before the third separator is tested.
        QTest::newRow("full stop as third separator")
            << QByteArray("\x02"
                          "A,?,123.R\r")
            << ready << false << "123" + degree << ready << false
            << QStringList{QStringLiteral("? cmd, <Separator>#3 invalid, received:.")};
        QTest::newRow("reply stops after the angle")
            << QByteArray("\x02"
                          "A,?,123")
            << ready << false << "123" + degree << ready << false
            << QStringList{QStringLiteral("? cmd, <Separator>#3 invalid, received:")};

        // An angle that does not come in time ends the exchange silently.
        QTest::newRow("reply stops after the second separator")
            << QByteArray("\x02"
                          "A,?,")
            << busy << true << unchanged << busy << true << QStringList{};
        QTest::newRow("reply stops inside the angle") << QByteArray("\x02"
                                                                    "A,?,04")
                                                      << busy << true << unchanged << busy << true << QStringList{};

        QTest::newRow("terminator LF") << QByteArray("\x02"
                                                     "A,?,045,R\n")
                                       << busy << true << "45" + degree << ready << false
                                       << QStringList{QStringLiteral("? cmd, <return> invalid, received ASC:10")};
        QTest::newRow("terminator missing") << QByteArray("\x02"
                                                          "A,?,045,B")
                                            << ready << false << "45" + degree << busy << true
                                            << QStringList{QStringLiteral("? cmd, <return> invalid, received ASC:")};

        // The envelope of the status query set: nothing is decoded.
        QTest::newRow("identifier") << QByteArray("\x02"
                                                  "B,?,045,R\r")
                                    << busy << true << unchanged << busy << true
                                    << QStringList{QStringLiteral("? cmd, <Identifier> invalid, received:B")};
        QTest::newRow("separator 1") << QByteArray("\x02"
                                                   "A.?,045,R\r")
                                     << busy << true << unchanged << busy << true
                                     << QStringList{QStringLiteral("? cmd, <Separator>#1 invalid, received:.")};
        QTest::newRow("echo of another command") << reply('V', "00322") << busy << true << unchanged << busy << true
                                                 << QStringList{QStringLiteral("? cmd, <Cmd> invalid, received:V")};
        QTest::newRow("separator 2") << QByteArray("\x02"
                                                   "A,?;045,R\r")
                                     << busy << true << unchanged << busy << true
                                     << QStringList{QStringLiteral("? cmd, <Separator>#2 invalid, received:;")};
        QTest::newRow("no reply") << QByteArray() << busy << true << unchanged << busy << true
                                  << QStringList{QStringLiteral("cmd ?, Communication timeout on <header>")};
        QTest::newRow("no header") << QByteArray("A,?,045,R\r") << busy << true << unchanged << busy << true
                                   << QStringList{QStringLiteral("cmd ?, Communication timeout on <header>")};
    }
    void statusReply()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, statusBefore);
        QFETCH(bool, redBefore);
        QFETCH(QString, positionAfter);
        QFETCH(QString, statusAfter);
        QFETCH(bool, redAfter);
        QFETCH(QStringList, messages);

        TestWindow t;
        t.window->setText(Field::fast_pos, QStringLiteral("7") + degree);
        t.window->setText(Field::fast_status, statusBefore);
        t.window->setBackground(Field::fast_status, redBefore ? Colour::InvalidRed : Colour::Window);
        t.port.expect(frame("?"), answer);

        t.click(QStringLiteral("command_qm"));

        QCOMPARE(t.port.written, QByteArray("\x02"
                                            "A?\r"));
        QCOMPARE(t.messages.shown, messages);
        QCOMPARE(t.edit(position)->text(), positionAfter);
        QCOMPARE(t.edit(status)->text(), statusAfter);
        QCOMPARE(t.background(status), redAfter ? colours::invalidRed : colours::window());
        // The exchange ends in order whatever happened.
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(!t.window->link().timedOut());
        QVERIFY(t.button(QStringLiteral("command_qm"))->isEnabled());
    }

    void replyArrivingByteByByte()
    {
        TestWindow t;
        t.port.expect(frame("?"), {}, -1);
        t.port.trickle(reply('?', "007,B"), 4);
        t.window->commands().CMD_STATUS();
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.edit(position)->text(), QStringLiteral("7") + degree);
        QCOMPARE(t.edit(status)->text(), QStringLiteral("BUSY"));
    }

    void ownButtonIsOffDuringTheExchange()
    {
        TestWindow t;
        bool offWhileWaiting = false;
        bool othersOn = false;
        t.port.expect(frame("?"), reply('?', "045,R"), 30);
        QTimer::singleShot(10, [&] {
            offWhileWaiting = !t.button(QStringLiteral("command_qm"))->isEnabled();
            othersOn = t.button(QStringLiteral("command_s"))->isEnabled()
                       && t.button(QStringLiteral("cmd_monitor"))->isEnabled();
        });
        t.window->commands().CMD_STATUS();
        QVERIFY(offWhileWaiting);
        QVERIFY(othersOn);
        QVERIFY(t.button(QStringLiteral("command_qm"))->isEnabled());
    }

    void angleWaitsItsOwnFullPeriod()
    {
        // The angle's reader waits a full period of its own; the exchange then ends silently.
        TestWindow t;
        t.port.expect(frame("?"), "\x02"
                                  "A,?,");
        QElapsedTimer clock;
        clock.start();
        t.window->commands().CMD_STATUS();
        QVERIFY(clock.elapsed() >= TestWindow::replyPeriodMs - 20);
        QVERIFY(t.messages.shown.isEmpty());
    }

    void portFailureSendsNothing()
    {
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().choice().setNumber(2);
        t.window->commands().CMD_STATUS();
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 2")});
        QVERIFY(t.port.written.isEmpty());
        QVERIFY(t.button(QStringLiteral("command_qm"))->isEnabled());
    }
};

QTEST_MAIN(StatusCommandTest)
#include "tst_status_command.moc"
