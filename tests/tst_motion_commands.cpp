// SPDX-License-Identifier: GPL-3.0-or-later
// The motion commands through the scripted port and the real window: go to an angle with its live
// check, the fast and the soft stop, the button groups around them, and how a stop clicked during
// another exchange is kept out of that exchange. (The commands while the monitor runs: tst_exchange.)

#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/colours.h"
#include "ui/refused_click.h"

#include <QElapsedTimer>
#include <QToolTip>
#include <QtTest>

namespace {

const QString angle = QStringLiteral("go_to_angle");
const QString replay = QStringLiteral("goto_replay");
const QString replayAtStart = QStringLiteral("????????");
const QString returnInvalid = QStringLiteral("<Return> invalid, received ASC:");

const QStringList& commandGroup = TestWindow::commandGroup;
const QStringList& outsideTheGroup = TestWindow::otherButtons;
const QColor stopOrange{255, 192, 128};

// The command group as ENABLE_BUTTONS leaves it while the monitor is idle.
void verifyGroupEnabled(const TestWindow& t)
{
    QCOMPARE(t.disabled(commandGroup), QStringList());
    for (const char* name : {"write_mode", "read_info", "execute", "cmd_monitor"})
        QCOMPARE(t.colour(QString::fromLatin1(name)), QColor(128, 255, 128));
    QCOMPARE(t.colour(QStringLiteral("fast_stop")), stopOrange);
    QCOMPARE(t.colour(QStringLiteral("soft_stop")), stopOrange);
    QCOMPARE(t.colour(QStringLiteral("command_s")), QColor(192, 192, 255));
}

}  // namespace

class MotionCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void gotoSendsTheTrimmedText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("lowest angle") << "0"
                                      << QByteArray("\x02"
                                                    "AG0\r");
        QTest::newRow("highest angle") << "359"
                                       << QByteArray("\x02"
                                                     "AG359\r");
        QTest::newRow("two digits") << "45"
                                    << QByteArray("\x02"
                                                  "AG45\r");
        QTest::newRow("leading zero kept") << "045"
                                           << QByteArray("\x02"
                                                         "AG045\r");
        QTest::newRow("spaces around dropped") << "  120 "
                                               << QByteArray("\x02"
                                                             "AG120\r");
    }
    void gotoSendsTheTrimmedText()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        TestWindow t;
        t.edit(angle)->setText(typed);
        t.port.expect(sent, reply('G', "R"));
        t.click(QStringLiteral("execute"));
        QCOMPARE(t.port.written, sent);
        QCOMPARE(t.port.writes.size(), 1);
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.edit(replay)->text(), QStringLiteral("CORRECT"));
        QVERIFY(!t.port.isOpen());
    }

    // The initial "?" keeps its start-up look until Execute refuses it.
    void gotoRefusesTheInitialText()
    {
        TestWindow t;
        QCOMPARE(t.edit(angle)->text(), QStringLiteral("?"));
        QCOMPARE(t.background(angle), colours::window());
        t.click(QStringLiteral("execute"));
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.background(angle), colours::invalidRed);
        QCOMPARE(t.statusBar(), QStringLiteral("cmd G not sent: \"?\" is not a whole angle 0 to 359"));
    }

    void gotoOutOfRangeSendsNothing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("half a degree too far") << "359.5";
        QTest::newRow("full circle") << "360";
        QTest::newRow("negative") << "-1";
        QTest::newRow("spaced out of range") << " 3 6 0 ";
        for (const char* typed : {"12.5", "90abc", "abc", "", "1 2", "+5", "3e2", "0045"})
            QTest::addRow("not a whole angle: '%s'", typed) << typed;
    }
    void gotoOutOfRangeSendsNothing()
    {
        QFETCH(QString, typed);
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("45"));
        t.edit(angle)->setText(typed);
        QCOMPARE(t.background(angle), colours::invalidRed);
        t.click(QStringLiteral("execute"));
        QCOMPARE(t.statusBar(),
                 QStringLiteral("cmd G not sent: \"%1\" is not a whole angle 0 to 359").arg(typed.trimmed()));
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.edit(replay)->text(), replayAtStart);
        QCOMPARE(t.edit(angle)->text(), typed);
        verifyGroupEnabled(t);
    }

    void angleCheckColoursOnEveryChange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::newRow("0") << "0" << true;
        QTest::newRow("359") << "359" << true;
        QTest::newRow("359.5") << "359.5" << false;
        QTest::newRow("360") << "360" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("-0.5") << "-0.5" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("question mark") << "?" << false;
        QTest::newRow("number then a letter") << "40x" << false;
        QTest::newRow("exponent") << "3e2" << false;
        QTest::newRow("leading zero, spaces around") << " 045 " << true;
    }
    void angleCheckColoursOnEveryChange()
    {
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        const QColor expected = valid ? colours::window() : colours::invalidRed;
        // From either state to the one the text deserves.
        for (const QString& before : {QStringLiteral("500"), QStringLiteral("10")}) {
            TestWindow t;
            t.edit(angle)->setText(before);
            t.edit(angle)->setText(typed);
            QCOMPARE(t.background(angle), expected);
            QVERIFY(t.port.written.isEmpty());
            QVERIFY(t.messages.shown.isEmpty());
        }
    }

    void gotoReply_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("redBefore");
        QTest::addColumn<QString>("replayText");
        QTest::addColumn<bool>("redAfter");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("unread");  // characters of the reply left unread when the port closed

        const QString correct = QStringLiteral("CORRECT");
        const QString wrong = QStringLiteral("WRONG");
        QTest::newRow("accepted") << reply('G', "R") << true << correct << false << QStringList{} << 0;
        QTest::newRow("stray bytes before the header")
            << QByteArray("G,R\r\x01" + reply('G', "R")) << true << correct << false << QStringList{} << 0;
        QTest::newRow("accepted, terminator LF") << QByteArray("\x02"
                                                               "A,G,R\n")
                                                 << true << correct << false << QStringList{returnInvalid + "10"} << 0;
        // A refusal reads on unchecked up to its CR, never past it.
        QTest::newRow("refused") << QByteArray("\x02"
                                               "A,G,EXYZ")
                                 << false << wrong << true << QStringList{} << 0;
        QTest::newRow("refused, longer tail") << QByteArray("\x02"
                                                            "A,G,EXYZ\rQ")
                                              << false << wrong << true << QStringList{} << 1;
        QTest::newRow("refused, X CR") << QByteArray("\x02"
                                                     "A,G,EX\rZ")
                                       << false << wrong << true << QStringList{} << 1;
        QTest::newRow("refused, CR LF after") << QByteArray("\x02"
                                                            "A,G,E\r\nZ")
                                              << false << wrong << true << QStringList{} << 2;
        QTest::newRow("refused, two CRs after") << QByteArray("\x02"
                                                              "A,G,E\r\r\r")
                                                << false << wrong << true << QStringList{} << 2;
        // Another letter is shown as it came; the background stays as it was.
        QTest::newRow("other letter on red") << reply('G', "Q") << true << "Q" << true << QStringList{} << 0;
        QTest::newRow("other letter on window") << reply('G', "Q") << false << "Q" << false << QStringList{} << 0;
        QTest::newRow("other letter, terminator LF") << QByteArray("\x02"
                                                                   "A,G,Q\n")
                                                     << true << "Q" << true << QStringList{returnInvalid + "10"} << 0;
        QTest::newRow("lower-case r is another letter") << reply('G', "r") << true << "r" << true << QStringList{} << 0;
        // A failed envelope leaves goto_replay untouched and reads no further.
        QTest::newRow("identifier") << QByteArray("\x02"
                                                  "B,G,R\r")
                                    << true << replayAtStart << true << QStringList{"<Identifier> invalid, received:B"}
                                    << 5;
        QTest::newRow("separator 1") << QByteArray("\x02"
                                                   "A;G,R\r")
                                     << true << replayAtStart << true << QStringList{"<Separator>1 invalid, received:;"}
                                     << 4;
        QTest::newRow("echo") << QByteArray("\x02"
                                            "A,L,R\r")
                              << true << replayAtStart << true << QStringList{"<Cmd> invalid, received:L"} << 3;
        QTest::newRow("echo is case exact")
            << QByteArray("\x02"
                          "A,g,R\r")
            << true << replayAtStart << true << QStringList{"<Cmd> invalid, received:g"} << 3;
        QTest::newRow("separator 2") << QByteArray("\x02"
                                                   "A,G.R\r")
                                     << true << replayAtStart << true << QStringList{"<Separator>2 invalid, received:."}
                                     << 2;
        QTest::newRow("reply stops after the echo")
            << QByteArray("\x02"
                          "A,G")
            << true << replayAtStart << true << QStringList{"<Separator>2 invalid, received:"} << 0;
    }
    void gotoReply()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, redBefore);
        QFETCH(QString, replayText);
        QFETCH(bool, redAfter);
        QFETCH(QStringList, messages);
        QFETCH(int, unread);
        TestWindow t;
        t.window->setBackground(Field::goto_replay, redBefore ? Colour::InvalidRed : Colour::Window);
        t.edit(angle)->setText(QStringLiteral("180"));
        t.port.expect(frame("G180"), answer);
        t.click(QStringLiteral("execute"));
        QCOMPARE(t.port.written, frame("G180"));
        QCOMPARE(t.messages.shown, messages);
        QCOMPARE(t.edit(replay)->text(), replayText);
        QCOMPARE(t.background(replay), redAfter ? colours::invalidRed : colours::window());
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.port.unreadAtClose, qint64(unread));
        QVERIFY(!t.window->link().timerArmed());
        verifyGroupEnabled(t);
    }

    // The refusal as the box sends it, "E" CR, ends at its CR: the stops are back at once, not
    // after a reply period spent waiting for a character that never comes.
    void refusalEndingInCrDoesNotWait()
    {
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("180"));
        t.port.expect(frame("G180"), reply('G', "E"));
        QElapsedTimer clock;
        clock.start();
        t.click(QStringLiteral("execute"));
        QVERIFY(clock.elapsed() < TestWindow::replyPeriodMs / 2);
        QCOMPARE(t.edit(replay)->text(), QStringLiteral("WRONG"));
        QCOMPARE(t.port.unreadAtClose, qint64(0));
        QVERIFY(t.messages.shown.isEmpty());
        verifyGroupEnabled(t);
    }

    void gotoTimeout()
    {
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("90"));
        t.port.expect(frame("G90"), "A,G,R\r");  // no header ever comes
        QElapsedTimer clock;
        clock.start();
        t.click(QStringLiteral("execute"));
        QVERIFY(clock.elapsed() >= TestWindow::replyPeriodMs - 20);
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("cmd G: communication timeout on <header>")});
        QCOMPARE(t.edit(replay)->text(), replayAtStart);
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        verifyGroupEnabled(t);
    }

    void identifierGetsAFullPeriodAfterTheHeader_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("go to") << "execute" << frame("G5");
        QTest::newRow("fast stop") << "fast_stop" << frame("G999");
        QTest::newRow("soft stop") << "soft_stop" << frame("G977");
    }
    void identifierGetsAFullPeriodAfterTheHeader()
    {
        // Timer1 is disarmed when the header arrives, so the rest of the reply may come later than
        // one period after the frame was sent.
        QFETCH(QString, button);
        QFETCH(QByteArray, sent);
        const int period = 400;
        TestWindow t(period);
        t.edit(angle)->setText(QStringLiteral("5"));
        t.port.expect(sent, "\x02", period / 2);
        t.port.arrive("A,G,R\r", period * 5 / 4);
        t.click(button);
        QVERIFY(t.messages.shown.isEmpty());
        if (button == QLatin1String("execute"))
            QCOMPARE(t.edit(replay)->text(), QStringLiteral("CORRECT"));
    }

    void gotoSwitchesTheCommandGroupOff()
    {
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("10"));
        t.port.expect(frame("G10"), reply('G', "R"), 60);
        QStringList onWhileWaiting;
        QStringList notGreyWhileWaiting;
        QStringList othersOff;
        bool checked = false;
        QTimer::singleShot(20, [&] {
            checked = true;
            for (const QString& name : commandGroup) {
                if (t.button(name)->isEnabled())
                    onWhileWaiting << name;
                if (t.colour(name) != colours::buttonFace())
                    notGreyWhileWaiting << name;
            }
            for (const QString& name : outsideTheGroup)
                if (!t.button(name)->isEnabled())
                    othersOff << name;
        });
        t.click(QStringLiteral("execute"));
        QVERIFY(checked);
        // The stops stay at hand, in their own colour: the rotor may already be turning.
        const QStringList stops{QStringLiteral("fast_stop"), QStringLiteral("soft_stop")};
        QCOMPARE(onWhileWaiting, stops);
        QCOMPARE(notGreyWhileWaiting, stops);
        QCOMPARE(t.colour(QStringLiteral("fast_stop")), stopOrange);
        QCOMPARE(othersOff, QStringList{});
        QVERIFY(t.messages.shown.isEmpty());
        verifyGroupEnabled(t);
    }

    void gotoAfterATimeoutWaitsForItsHeader_data()
    {
        QTest::addColumn<QByteArray>("firstAnswer");
        QTest::addColumn<QString>("firstMessage");
        QTest::newRow("header timed out") << QByteArray() << "cmd G: communication timeout on <header>";
        QTest::newRow("echo timed out") << QByteArray("\x02"
                                                      "A,")
                                        << "<Cmd> invalid, received:";
        QTest::newRow("result timed out") << QByteArray("\x02"
                                                        "A,G,")
                                          << returnInvalid;
    }
    void gotoAfterATimeoutWaitsForItsHeader()
    {
        QFETCH(QByteArray, firstAnswer);
        QFETCH(QString, firstMessage);
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("200"));
        t.port.expect(frame("G200"), firstAnswer);
        t.click(QStringLiteral("execute"));
        QCOMPARE(t.messages.shown, QStringList{firstMessage});
        QCOMPARE(t.edit(replay)->text(), replayAtStart);

        // The next one gets its reply late in its own period and takes it whole.
        t.port.expect(frame("G200"), reply('G', "R"), TestWindow::replyPeriodMs / 4);
        t.click(QStringLiteral("execute"));
        QCOMPARE(t.messages.shown, QStringList{firstMessage});
        QCOMPARE(t.edit(replay)->text(), QStringLiteral("CORRECT"));
        QCOMPARE(t.port.written, frame("G200") + frame("G200"));
    }

    void stopReply_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("messages");

        const QString formatError = QStringLiteral("Format Error on Fast-Stop command");
        const QString unknown = QStringLiteral("Unknow reply from Fast-Stop command:");
        struct Stop {
            const char* name;
            const char* button;
            QByteArray data;
            QString timeout;
        };
        for (const Stop& s : {Stop{"fast", "fast_stop", "999", "cmd G999: communication timeout on <header>"},
                              Stop{"soft", "soft_stop", "977", "cmd G777: communication timeout on <header>"}}) {
            const QString b = QString::fromLatin1(s.button);
            const auto row = [&](const char* what) -> QTestData& { return QTest::addRow("%s: %s", s.name, what); };
            row("accepted") << b << s.data << reply('G', "R") << QStringList{};
            row("refused") << b << s.data << reply('G', "E") << QStringList{formatError};
            row("unknown letter") << b << s.data << reply('G', "X") << QStringList{unknown + "X"};
            row("accepted, terminator LF") << b << s.data
                                           << QByteArray("\x02"
                                                         "A,G,R\n")
                                           << QStringList{returnInvalid + "10"};
            row("refused, terminator LF") << b << s.data
                                          << QByteArray("\x02"
                                                        "A,G,E\n")
                                          << QStringList{formatError, returnInvalid + "10"};
            row("unknown letter, terminator LF") << b << s.data
                                                 << QByteArray("\x02"
                                                               "A,G,X\n")
                                                 << QStringList{unknown + "X", returnInvalid + "10"};
            row("echo") << b << s.data
                        << QByteArray("\x02"
                                      "A,S,R\r")
                        << QStringList{"<Cmd> invalid, received:S"};
            row("stray bytes before the header")
                << b << s.data << QByteArray("\x7f" + reply('G', "R")) << QStringList{};
            row("timeout") << b << s.data << QByteArray("A,G,R\r") << QStringList{s.timeout};
        }
    }
    void stopReply()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        TestWindow t;
        t.port.expect(frame("G" + data), answer);
        QElapsedTimer clock;
        clock.start();
        t.click(button);
        QCOMPARE(t.port.written, frame("G" + data));
        QCOMPARE(t.messages.shown, messages);
        if (messages.value(0).contains(QLatin1String("timeout")))
            QVERIFY(clock.elapsed() >= TestWindow::replyPeriodMs - 20);
        // The stops never touch goto_replay.
        QCOMPARE(t.edit(replay)->text(), replayAtStart);
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(t.button(button)->isEnabled());
        QCOMPARE(t.colour(button), stopOrange);
    }

    void stopSwitchesOnlyItsOwnButtonOff_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("fast") << "fast_stop" << frame("G999");
        QTest::newRow("soft") << "soft_stop" << frame("G977");
    }
    void stopSwitchesOnlyItsOwnButtonOff()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, sent);
        TestWindow t;
        t.port.expect(sent, reply('G', "R"), 60);
        bool checked = false;
        bool ownOff = false;
        QColor ownColour;
        QStringList othersOff;
        QHash<QString, QColor> coloursBefore;
        for (const QString& name : commandGroup + outsideTheGroup)
            coloursBefore.insert(name, t.colour(name));
        QStringList othersRepainted;
        QTimer::singleShot(20, [&] {
            checked = true;
            ownOff = !t.button(button)->isEnabled();
            ownColour = t.colour(button);
            for (const QString& name : commandGroup + outsideTheGroup) {
                if (name == button)
                    continue;
                if (!t.button(name)->isEnabled())
                    othersOff << name;
                if (t.colour(name) != coloursBefore.value(name))
                    othersRepainted << name;
            }
        });
        t.click(button);
        QVERIFY(checked);
        QVERIFY(ownOff);
        QCOMPARE(ownColour, stopOrange);
        QCOMPARE(othersOff, QStringList{});
        QCOMPARE(othersRepainted, QStringList{});
        QVERIFY(t.button(button)->isEnabled());
        QVERIFY(t.messages.shown.isEmpty());
    }

    void portFailureSendsNothing_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("go to") << "execute";
        QTest::newRow("fast stop") << "fast_stop";
        QTest::newRow("soft stop") << "soft_stop";
    }
    void portFailureSendsNothing()
    {
        QFETCH(QString, button);
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().choice().setNumber(4);
        t.edit(angle)->setText(QStringLiteral("100"));
        t.click(button);
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 4")});
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.edit(replay)->text(), replayAtStart);
        if (button == QLatin1String("execute")) {
            verifyGroupEnabled(t);
        } else {
            QVERIFY(t.button(button)->isEnabled());
            QCOMPARE(t.colour(button), stopOrange);
        }
    }

    // Esc anywhere in any of the tool's windows clicks STOP!, whatever has the focus.
    void escapeStopsTheRotor_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("main window") << "main";
        QTest::newRow("calibration window") << "calibration";
        QTest::newRow("azimuth dial") << "dial";
    }
    void escapeStopsTheRotor()
    {
        QFETCH(QString, window);
        TestWindow t;
        t.port.expect(frame("G999"), reply('G', "R"));
        t.window->show();
        QWidget* target = t.edit(angle);
        if (window == QLatin1String("calibration")) {
            t.click(QStringLiteral("calib"));
            target = t.window->calibrationWindow()->findChild<QLineEdit*>(QStringLiteral("cal_factor"));
        } else if (window == QLatin1String("dial")) {
            QAction* show = t.window->findChild<QAction*>(QStringLiteral("action_azimuth_dial"));
            QVERIFY(show);
            show->trigger();
            target = t.window->findChild<QWidget*>(QStringLiteral("azimuth_dial"));
            QVERIFY(target);
            target->activateWindow();
        }
        QVERIFY(QTest::qWaitForWindowActive(target->window()));
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QCOMPARE(t.port.written, frame("G999"));
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(t.button(QStringLiteral("fast_stop"))->toolTip().contains(QLatin1String("Esc")));
    }

    void clickDuringAParameterRead_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("stop");  // what goes out at once; empty when refused
        QTest::newRow("fast stop goes out at once") << "fast_stop" << frame("G999");
        QTest::newRow("soft stop goes out at once") << "soft_stop" << frame("G977");
        QTest::newRow("another command is refused") << "command_v" << QByteArray();
        QTest::newRow("status query is refused") << "command_qm" << QByteArray();
    }
    void clickDuringAParameterRead()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, stop);
        TestWindow t;
        t.port.expect(frame("L"), reply('L', exampleBlock), 80);
        if (!stop.isEmpty())
            t.port.expect(stop, reply('G', "R"), 100);
        bool refusalShown = false;
        QTimer::singleShot(20, [&] {
            t.click(button);
            refusalShown = QToolTip::isVisible() && QToolTip::text() == refusedClickText;
        });
        t.click(QStringLiteral("read_info"));
        QCOMPARE(refusalShown, stop.isEmpty());
        QCOMPARE(t.port.written, frame("L") + stop);
        QVERIFY(t.port.unexpected.isEmpty());
        QVERIFY(!t.port.remainingExpectations());
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.window->text(Field::cal_fact), QStringLiteral("1000"));
        // One opening and one closing: the stop shared the port with the read it interrupted.
        QCOMPARE(t.port.opens, 1);
        QCOMPARE(t.port.closes, 1);
        verifyGroupEnabled(t);
    }

    // A stop clicked while another exchange waits goes out at once, and the replies that follow,
    // in either order the box may send them, are each read by the exchange that owes it.
    void stopGoesOutAtOnce_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("before");  // of its reply, on the line before the stop
        QTest::addColumn<QByteArray>("after");   // the rest, sent by the box after the stop's reply or before it
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("shows");
        const QByteArray block = reply('L', exampleBlock);
        const struct {
            const char* name;
            const char* command;
            QByteArray sent, before, after;
            Field field;
            const char* shows;
        } rows[] = {
            {"status query", "command_qm", frame("?"), {}, reply('?', "123,R"), Field::fast_pos, "123\u00b0"},
            {"version", "command_v", frame("V"), {}, reply('V', "00322"), Field::firm_version, "003.22"},
            {"M", "command_c", frame("M"), {}, reply('M', "R"), Field::firm_version, "???.??"},
            {"parameter read", "read_info", frame("L"), {}, block, Field::cal_fact, "1000"},
            {"go-to", "execute", frame("G10"), {}, reply('G', "R"), Field::goto_replay, "CORRECT"},
            {"go-to refused", "execute", frame("G10"), {}, reply('G', "E"), Field::goto_replay, "WRONG"},
            {"parameter read inside a field", "read_info", frame("L"), block.left(30), block.mid(30), Field::cal_fact,
             "1000"},
        };
        for (const auto& r : rows)
            for (const bool stopFirst : {false, true})
                // The box ends a frame begun before it starts the next; two replies of one letter
                // come in the order of their frames.
                if (!(stopFirst && (!r.before.isEmpty() || r.sent.at(2) == 'G')))
                    QTest::addRow("%s, %s", r.name, stopFirst ? "stop answered first" : "in order")
                        << QString::fromLatin1(r.command) << r.sent << r.before
                        << (stopFirst ? reply('G', "R") + r.after : r.after + reply('G', "R")) << fieldName(r.field)
                        << QString::fromUtf8(r.shows);
    }
    void stopGoesOutAtOnce()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, field);
        QFETCH(QString, shows);
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("10"));
        t.port.expect(sent, before);
        t.port.expect(frame("G999"), after, 20);
        QElapsedTimer clock;
        qint64 clickedAt = -1;
        QTimer::singleShot(40, [&] {
            clickedAt = clock.elapsed();
            t.click(QStringLiteral("fast_stop"));
            QCOMPARE(t.port.writes.size(), 2);  // written before the click has returned
        });
        clock.start();
        t.click(command);
        QVERIFY(clickedAt >= 0);
        QCOMPARE(t.port.writes, (QList<QByteArray>{sent, frame("G999")}));
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.window->findChild<QLineEdit*>(field)->text(), shows);
        QCOMPARE(t.port.closes, 1);
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(t.button(command)->isEnabled() && t.button(QStringLiteral("fast_stop"))->isEnabled());
    }

    // Each owed reply keeps its own deadline: when both fail, the stop's message comes first and
    // the exchange it interrupted still times out on its own period. A box that answers only the
    // stop, not the go-to before it, has its one "G" reply taken as the go-to's.
    void stopAndInterruptedExchangeBothAnsweredWrong_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("onStop");
        QTest::addColumn<QStringList>("shown");
        const QString stopTimeout = QStringLiteral("cmd G999: communication timeout on <header>");
        QTest::newRow("neither answered") << "command_qm" << frame("?") << QByteArray()
                                          << QStringList{stopTimeout, "cmd ?, Communication timeout on <header>"};
        QTest::newRow("go-to not answered, the stop is")
            << "execute" << frame("G10") << reply('G', "R") << QStringList{stopTimeout};
    }
    void stopAndInterruptedExchangeBothAnsweredWrong()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, onStop);
        QFETCH(QStringList, shown);
        TestWindow t;
        t.edit(angle)->setText(QStringLiteral("10"));
        t.port.expect(sent, {}, -1);
        t.port.expect(frame("G999"), onStop, onStop.isEmpty() ? -1 : 0);
        QTimer::singleShot(40, [&] { t.click(QStringLiteral("fast_stop")); });
        t.click(command);
        QCOMPARE(t.messages.shown, shown);
        QCOMPARE(t.edit(replay)->text(), command == QLatin1String("execute") ? "CORRECT" : replayAtStart);
        QVERIFY(!t.port.isOpen());
    }
};

QTEST_MAIN(MotionCommandsTest)
#include "tst_motion_commands.moc"
