// SPDX-License-Identifier: GPL-3.0-or-later
// The command exchange shared by every command, proven on S, M and V through the scripted port:
// the frame on the wire, the header wait, the envelope tests with their three message sets, the
// terminator, the clean-up; and the monitor's short cut, proven on every command.

#include "ui/monitor.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"

#include <QElapsedTimer>
#include <QMap>
#include <QtTest>
#include <functional>

namespace {

// Something done to the window: a click, a typed entry, a command called.
using Action = std::function<void(TestWindow&)>;
// Field names with the text each shows.
using Texts = QMap<QString, QString>;

// Every entry of both windows, by name, with its text.
QStringList entryTexts(const TestWindow& t)
{
    QList<QLineEdit*> entries = t.window->findChildren<QLineEdit*>();
    if (t.window->calibrationWindow())
        entries += t.window->calibrationWindow()->findChildren<QLineEdit*>();
    QStringList texts;
    for (const QLineEdit* entry : entries)
        texts << entry->objectName() + QLatin1Char('=') + entry->text();
    return texts;
}

}  // namespace

Q_DECLARE_METATYPE(Action)

class ExchangeTest : public QObject {
    Q_OBJECT
private slots:
    void frameOnTheWireAndCleanUp()
    {
        TestWindow t;
        t.port.expect(frame("S"), reply('S', "R"));
        t.click(QStringLiteral("command_s"));
        QCOMPARE(t.port.written, QByteArray("\x02"
                                            "AS\r"));
        QCOMPARE(t.port.writes.size(), 1);  // one write, the frame in one piece
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.port.opens, 1);
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(!t.window->link().timedOut());
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
        t.port.expect(frame("S"), "\x7f"
                                  "A,S,R\r\n\x01"
                                      + reply('S', "R"));
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
        QTest::newRow("S identifier") << 'S'
                                      << QByteArray("\x02"
                                                    "B,S,R\r")
                                      << "<Identifier> invalid, received:B";
        QTest::newRow("S separator 1") << 'S'
                                       << QByteArray("\x02"
                                                     "A;S,R\r")
                                       << "<Separator>1 invalid, received:;";
        QTest::newRow("S echo") << 'S'
                                << QByteArray("\x02"
                                              "A,M,R\r")
                                << "<Cmd> invalid, received:M";
        QTest::newRow("S separator 2") << 'S'
                                       << QByteArray("\x02"
                                                     "A,S.R\r")
                                       << "<Separator>2 invalid, received:.";
        QTest::newRow("S echo is case exact") << 'S'
                                              << QByteArray("\x02"
                                                            "A,s,R\r")
                                              << "<Cmd> invalid, received:s";
        QTest::newRow("V identifier") << 'V'
                                      << QByteArray("\x02"
                                                    "a,V,00322\r")
                                      << "V cmd, <Identifier> invalid, received:a";
        QTest::newRow("V separator 1") << 'V'
                                       << QByteArray("\x02"
                                                     "A.V,00322\r")
                                       << "V cmd, <Separator>#1 invalid, received:.";
        QTest::newRow("V echo") << 'V'
                                << QByteArray("\x02"
                                              "A,L,00322\r")
                                << "V cmd, <Cmd> invalid, received:L";
        QTest::newRow("V separator 2") << 'V'
                                       << QByteArray("\x02"
                                                     "A,V;00322\r")
                                       << "V cmd, <Separator>#2 invalid, received:;";
        QTest::newRow("S stops after the identifier") << 'S'
                                                      << QByteArray("\x02"
                                                                    "A")
                                                      << "<Separator>1 invalid, received:";
        QTest::newRow("S stops after the header") << 'S' << QByteArray("\x02") << "<Identifier> invalid, received:";
        QTest::newRow("V stops after the echo") << 'V'
                                                << QByteArray("\x02"
                                                              "A,V")
                                                << "V cmd, <Separator>#2 invalid, received:";
        QTest::newRow("S data") << 'S'
                                << QByteArray("\x02"
                                              "A,S,B\r")
                                << "R not received:B";
        QTest::newRow("S terminator LF") << 'S'
                                         << QByteArray("\x02"
                                                       "A,S,R\n")
                                         << "Terminator invalid, received ASC:10";
        QTest::newRow("S terminator missing") << 'S'
                                              << QByteArray("\x02"
                                                            "A,S,R")
                                              << "Terminator invalid, received ASC:";
        QTest::newRow("V terminator") << 'V'
                                      << QByteArray("\x02"
                                                    "A,V,00322N")
                                      << "V cmd, <return> invalid, received ASC:78";
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
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(!t.window->link().timedOut());
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
        QVERIFY(t.button(QStringLiteral("command_c"))->isEnabled());
    }

    void nothingIsSentWhenThePortFails()
    {
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().choice().setNumber(3);
        QVERIFY(t.window->commands().CMD_S());
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 3")});
        QVERIFY(t.port.written.isEmpty());
        QVERIFY(t.button(QStringLiteral("command_s"))->isEnabled());
    }

    void aRaisedFlagDoesNotDisturbTheNextWait()
    {
        TestWindow t;
        t.port.expect(frame("S"), reply('S', "R"), 20);
        t.window->link().raiseTimeoutFlag();
        QVERIFY(!t.window->commands().CMD_S());
        QVERIFY(t.messages.shown.isEmpty());

        // An exchange that timed out inside its reply is followed by one that works.
        t.port.expect(frame("S"), "\x02"
                                  "A,");
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

    // While the monitor runs (its button says STOP and it owns the line) every command only sends
    // its frame: nothing is read, nothing is shown, the port stays open, and whatever the box has
    // sent, before or after the frame, is left on the line for the monitor.
    void monitorRunningOnlySends_data()
    {
        // What is done before the monitor is seen running, and the command given while it runs.
        QTest::addColumn<Action>("prepare");
        QTest::addColumn<Action>("command");
        QTest::addColumn<QByteArray>("sent");
        // The box's answer to the frame, and what already waits on the open line.
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("waiting");
        // Fields that still show what they showed before any exchange, and buttons left on.
        QTest::addColumn<Texts>("shows");
        QTest::addColumn<QStringList>("enabled");

        const Action nothing = [](TestWindow&) {};
        const auto click = [](const char* button) {
            return Action([name = QString::fromLatin1(button)](TestWindow& t) { t.click(name); });
        };
        const Texts noVersion{{QStringLiteral("firm_version"), QStringLiteral("???.??")}};
        const Texts noStatus{{QStringLiteral("fast_pos"), QStringLiteral("???")},
                             {QStringLiteral("fast_status"), QStringLiteral("???")}};
        const Texts noReplay{{QStringLiteral("goto_replay"), QStringLiteral("????????")}};

        // The exchange's own result when it only sends: no failure.
        QTest::newRow("cmd S") << nothing << Action([](TestWindow& t) { QVERIFY(!t.window->commands().CMD_S()); })
                               << frame("S") << QByteArray() << QByteArray() << noVersion << QStringList();
        QTest::newRow("cmd V") << nothing << Action([](TestWindow& t) { QVERIFY(!t.window->commands().CMD_VERSION()); })
                               << frame("V") << QByteArray() << QByteArray() << noVersion << QStringList();
        QTest::newRow("cmd M") << nothing << Action([](TestWindow& t) { t.window->commands().CMD_M(); }) << frame("M")
                               << QByteArray() << QByteArray() << noVersion << QStringList();

        QTest::newRow("status") << nothing << Action([](TestWindow& t) { t.window->commands().CMD_STATUS(); })
                                << frame("?") << reply('?', "045,B") << QByteArray() << noStatus << QStringList();

        // A whole parameter block already waits: the read leaves it, and the read panel, as they are.
        const QByteArray block = exampleBlock;
        QTest::newRow("parameter read") << nothing << click("read_info") << frame("L") << QByteArray()
                                        << reply('L', block) << Texts() << QStringList();

        const Action angle = [](TestWindow& t) {
            t.edit(QStringLiteral("go_to_angle"))->setText(QStringLiteral("123"));
        };
        QTest::newRow("go to") << angle << click("execute") << frame("G123") << reply('G', "R") << QByteArray()
                               << noReplay << QStringList{"execute"};
        QTest::newRow("fast stop") << angle << click("fast_stop") << frame("G999") << reply('G', "R") << QByteArray()
                                   << noReplay << QStringList{"fast_stop"};
        QTest::newRow("soft stop") << angle << click("soft_stop") << frame("G977") << reply('G', "R") << QByteArray()
                                   << noReplay << QStringList{"soft_stop"};

        // The calibration window open, with a factor typed.
        const Action calibration = [](TestWindow& t) {
            t.window->findChild<QAbstractButton*>(QStringLiteral("calib"))->click();
            t.window->calibrationWindow()
                ->findChild<QLineEdit*>(QStringLiteral("cal_factor"))
                ->setText(QStringLiteral("5000"));
        };
        // A button of the calibration window (both windows have a `calib` button).
        const auto calibrationClick = [](const char* button) {
            return Action([name = QString::fromLatin1(button)](TestWindow& t) {
                t.window->calibrationWindow()->findChild<QAbstractButton*>(name)->click();
            });
        };
        QTest::newRow("calibration C") << calibration << calibrationClick("calib360") << frame("C") << reply('C', "B")
                                       << QByteArray() << Texts() << QStringList();
        QTest::newRow("calibration c") << calibration << calibrationClick("calib_def") << frame("c") << reply('c', "B")
                                       << QByteArray() << Texts() << QStringList();
        QTest::newRow("calibration F") << calibration << calibrationClick("write_factor") << frame("F5000")
                                       << reply('F', "B") << QByteArray() << Texts() << QStringList();
        QTest::newRow("calibration K") << calibration << calibrationClick("calib") << frame("K90") << reply('K', "B")
                                       << QByteArray() << Texts() << QStringList();
    }
    void monitorRunningOnlySends()
    {
        QFETCH(Action, prepare);
        QFETCH(Action, command);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, waiting);
        QFETCH(Texts, shows);
        QFETCH(QStringList, enabled);
        TestWindow t;
        prepare(t);
        t.window->monitor().setState(MonitorState::Running);
        if (!waiting.isEmpty()) {
            QVERIFY(t.port.open(t.window->link().choice()));  // the monitor holds the port open
            t.port.arrive(waiting);
            QTRY_COMPARE(t.port.pendingCount(), qint64(waiting.size()));
        }
        if (!answer.isEmpty())
            t.port.expect(sent, answer);
        const QStringList before = entryTexts(t);

        command(t);
        if (QTest::currentTestFailed())
            return;
        QTest::qWait(20);
        QCOMPARE(t.port.written, sent);
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(t.port.isOpen());
        QCOMPARE(t.port.closes, 0);
        QCOMPARE(t.port.pendingCount(), qint64(waiting.size() + answer.size()));  // left for the monitor
        QCOMPARE(entryTexts(t), before);
        for (auto it = shows.cbegin(); it != shows.cend(); ++it)
            QCOMPARE(t.edit(it.key())->text(), it.value());
        for (const QString& name : enabled)
            QVERIFY2(t.button(name)->isEnabled(), qPrintable(name));
    }
};

QTEST_MAIN(ExchangeTest)
#include "tst_exchange.moc"
