// SPDX-License-Identifier: GPL-3.0-or-later
// The command exchange shared by every command, proven on S, M and V through the scripted port:
// the frame on the wire, the header wait, the envelope tests with their three message sets, the
// terminator, the clean-up and the monitor's short cut.

#include "support/test_window.h"

#include <QElapsedTimer>
#include <QtTest>

class ExchangeTest : public QObject {
    Q_OBJECT
private slots:
    void frameOnTheWireAndCleanUp()
    {
        TestWindow t;
        t.port.expect(frame("S"), reply('S', "R"));
        t.click(QStringLiteral("command_s"));
        QCOMPARE(t.port.written, QByteArray("\x02" "AS\r"));
        QCOMPARE(t.port.writes.size(), 1);  // one write, the frame in one piece
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.port.opens, 1);
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
        QVERIFY(!t.window->link().Timer1.isActive());
        QVERIFY(!t.window->link().timeoutFlag);
    }

    void ownButtonIsOffDuringTheExchange()
    {
        TestWindow t;
        bool offWhileWaiting = false;
        t.port.expect(frame("S"), reply('S', "R"), 30);
        QTimer::singleShot(10, [&] { offWhileWaiting = !t.button(QStringLiteral("command_s"))->isEnabled(); });
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(offWhileWaiting);
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
    }

    void strayBytesBeforeTheHeaderAreSkipped()
    {
        TestWindow t;
        t.port.expect(frame("S"), "\x7f" "A,S,R\r\n\x01" + reply('S', "R"));
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(t.messages.shown.isEmpty());
    }

    void replyArrivingByteByByte()
    {
        TestWindow t;
        t.port.expect(frame("S"), {}, -1);
        t.port.trickle(reply('S', "R"), 3);
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(t.messages.shown.isEmpty());
    }

    void envelopeTests_data()
    {
        QTest::addColumn<char>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("S identifier") << 'S' << QByteArray("\x02" "B,S,R\r") << "<Identifier> invalid, received:B";
        QTest::newRow("S separator 1") << 'S' << QByteArray("\x02" "A;S,R\r") << "<Separator>1 invalid, received:;";
        QTest::newRow("S echo") << 'S' << QByteArray("\x02" "A,M,R\r") << "<Cmd> invalid, received:M";
        QTest::newRow("S separator 2") << 'S' << QByteArray("\x02" "A,S.R\r") << "<Separator>2 invalid, received:.";
        QTest::newRow("S echo is case exact") << 'S' << QByteArray("\x02" "A,s,R\r") << "<Cmd> invalid, received:s";
        QTest::newRow("V identifier") << 'V' << QByteArray("\x02" "a,V,00322\r") << "V cmd, <Identifier> invalid, received:a";
        QTest::newRow("V separator 1") << 'V' << QByteArray("\x02" "A.V,00322\r") << "V cmd, <Separator>#1 invalid, received:.";
        QTest::newRow("V echo") << 'V' << QByteArray("\x02" "A,L,00322\r") << "V cmd, <Cmd> invalid, received:L";
        QTest::newRow("V separator 2") << 'V' << QByteArray("\x02" "A,V;00322\r") << "V cmd, <Separator>#2 invalid, received:;";
        QTest::newRow("S stops after the identifier") << 'S' << QByteArray("\x02" "A") << "<Separator>1 invalid, received:";
        QTest::newRow("S stops after the header") << 'S' << QByteArray("\x02") << "<Identifier> invalid, received:";
        QTest::newRow("V stops after the echo") << 'V' << QByteArray("\x02" "A,V") << "V cmd, <Separator>#2 invalid, received:";
        QTest::newRow("S data") << 'S' << QByteArray("\x02" "A,S,B\r") << "R not received:B";
        QTest::newRow("S terminator LF") << 'S' << QByteArray("\x02" "A,S,R\n") << "Terminator invalid, received ASC:10";
        QTest::newRow("S terminator missing") << 'S' << QByteArray("\x02" "A,S,R") << "Terminator invalid, received ASC:";
        QTest::newRow("V terminator") << 'V' << QByteArray("\x02" "A,V,00322N") << "V cmd, <return> invalid, received ASC:78";
        QTest::newRow("S timeout") << 'S' << QByteArray("A,S,R\r") << "cmd S, Communication timeout on <header>";
        QTest::newRow("V timeout") << 'V' << QByteArray() << "cmd V, Communication timeout on <header>";
        QTest::newRow("M timeout") << 'M' << QByteArray() << "cmd M, Communication timeout on <header>";
    }
    void envelopeTests()
    {
        QFETCH(char, command);
        QFETCH(QByteArray, answer);
        QFETCH(QString, message);
        TestWindow t;
        t.port.expect(frame(QByteArray(1, command)), answer);
        QElapsedTimer clock;
        clock.start();
        bool failed = true;
        if (command == 'S')
            failed = t.window->commands().CMD_S();
        else if (command == 'V')
            failed = t.window->commands().CMD_VERSION();
        else
            t.window->commands().CMD_M();
        QVERIFY(failed);
        QCOMPARE(t.messages.shown, QStringList{message});
        if (message.contains(QLatin1String("timeout")))
            QVERIFY(clock.elapsed() >= TestWindow::replyPeriodMs - 20);
        // The exchange ends in order whatever failed.
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().Timer1.isActive());
        QVERIFY(!t.window->link().timeoutFlag);
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
        QVERIFY(t.button(QStringLiteral("command_c"))->isEnabled());
    }

    void nothingIsSentWhenThePortFails()
    {
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().portNumber = 3;
        QVERIFY(t.window->commands().CMD_S());
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 3")});
        QVERIFY(t.port.written.isEmpty());
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
    }

    void aRaisedFlagDoesNotDisturbTheNextWait()
    {
        TestWindow t;
        t.port.expect(frame("S"), reply('S', "R"), 20);
        t.window->link().timeoutFlag = true;
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(t.messages.shown.isEmpty());

        // An exchange that timed out inside its reply is followed by one that works.
        t.port.expect(frame("S"), "\x02" "A,");
        QVERIFY(t.window->commands().CMD_S());
        t.port.expect(frame("S"), reply('S', "R"));
        QVERIFY(!t.window->commands().CMD_S());
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("<Cmd> invalid, received:")});
    }

    void lateReplyNeverLandsInTheNextExchange()
    {
        TestWindow t;
        // The first reply comes after its exchange gave up, while the port is closed.
        t.port.expect(frame("S"), reply('S', "B"), TestWindow::replyPeriodMs + 50);
        QVERIFY(t.window->commands().CMD_S());
        QTest::qWait(100);
        t.port.expect(frame("S"), reply('S', "R"), 10);
        QVERIFY(!t.window->commands().CMD_S());
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("cmd S, Communication timeout on <header>")});
    }

    void monitorRunningOnlySends()
    {
        TestWindow t;
        t.window->setText(Field::cmd_monitor, QStringLiteral("STOP"));
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(!t.window->commands().CMD_VERSION());
        t.window->commands().CMD_M();
        QCOMPARE(t.port.written, frame("S") + frame("V") + frame("M"));
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(t.port.isOpen());
        QCOMPARE(t.find<QLineEdit>(QStringLiteral("firm_version"))->text(), QStringLiteral("???.??"));
    }
};

QTEST_MAIN(ExchangeTest)
#include "tst_exchange.moc"
