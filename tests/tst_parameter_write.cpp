// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter write "W" on the wire: the question, the S exchange before it, the worked example
// byte for byte with PC and CBOX taking turns, every check of the dialogue stopping it at the
// right line with its exact message, the monitor's refusal, and entries edited while it runs
// (which the write no longer looks at).

#include "protocol/set_panel_entries.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/colours.h"
#include "ui/monitor.h"

#include <QStatusBar>
#include <QtTest>

namespace {

const QString writeQuestion =
    QStringLiteral("WRITE PARAMETERS COMMAND: THIS COMMAND OVERWRITES THE CBOX SETTINGS!!! ARE YOU SURE?");

// The 15 value lines of the worked example (the panel after Set Default), without their CR.
const QList<QByteArray> exampleLines{"1",  "0", "500",  "1829", "1", "30", "0",   "10",
                                     "15", "1", "1829", "0",    "0", "2",  "3049"};

const QByteArray acceptW = "\x02"
                           "A,W,R\rN";

// The main window with the two clicks that answer a question.
struct Window : TestWindow {
    // Fills the set panel with Set Default, answering Yes.
    void setDefaults()
    {
        messages.answers << true;
        click(QStringLiteral("set_default"));
    }
    // Clicks "cmd W" answering `yes` to its question.
    void write(bool yes = true)
    {
        messages.answers << yes;
        click(QStringLiteral("write_mode"));
    }
};

// The whole exchange of the worked example: S, then "AW" accepted, then each line answered.
void scriptExample(FakePort& port)
{
    port.expect(frame("S"), reply('S', "R"));
    port.expect(frame("W"), acceptW);
    for (qsizetype k = 0; k < exampleLines.size(); ++k)
        port.expect(exampleLines[k] + '\r', k < 14 ? QByteArray("N") : QByteArray("\r"));
}

QList<QByteArray> lineWrites(const FakePort& port)
{
    // Everything after the S and W frames.
    QList<QByteArray> lines = port.writes;
    lines.removeAll(frame("S"));
    lines.removeAll(frame("W"));
    for (QByteArray& line : lines)
        line.chop(1);
    return lines;
}

}  // namespace

class ParameterWriteTest : public QObject {
    Q_OBJECT
private slots:
    // The worked example byte for byte. The program writes each line only once it has taken the
    // prompt for it, and the CBOX answers only when it has been written to.
    void workedExample()
    {
        Window t;
        t.setDefaults();
        scriptExample(t.port);
        QList<qsizetype> takenAtWrite;
        QMap<QString, bool> enabledDuring;
        t.port.onWrite = [&](const QByteArray& bytes) {
            takenAtWrite << t.port.taken;
            if (bytes == "1829\r" && enabledDuring.isEmpty())
                for (const QString& b : TestWindow::commandGroup)
                    enabledDuring[b] = t.button(b)->isEnabled();
        };
        t.write();

        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(t.messages.questions.size(), 2);
        QCOMPARE(t.messages.questions.last(), writeQuestion);
        QVERIFY(t.port.unexpected.isEmpty());
        QVERIFY(!t.port.remainingExpectations());

        QByteArray expected = "\x02"
                              "AS\r"
                              "\x02"
                              "AW\r";
        for (const QByteArray& line : exampleLines)
            expected += line + '\r';
        QCOMPARE(t.port.written, expected);
        QCOMPARE(t.port.writes.size(), 17);  // each frame and each line in one write

        // Alternation: S reply (7 bytes), AW reply with its first prompt (8), then one prompt per line.
        QList<qsizetype> alternating{0, 7};
        for (int k = 1; k <= 15; ++k)
            alternating << 7 + 8 + (k - 1);
        QCOMPARE(takenAtWrite, alternating);
        QCOMPARE(t.port.taken, qsizetype(7 + 8 + 15));

        // During the dialogue the group is off except the two stops.
        for (const QString& b : TestWindow::commandGroup) {
            QVERIFY2(enabledDuring[b] == (b == QLatin1String("fast_stop") || b == QLatin1String("soft_stop")),
                     qPrintable(b));
        }
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.disabled(TestWindow::commandGroup), QStringList());
        QCOMPARE(colours::buttonColour(t.button(QStringLiteral("write_mode"))), QColor(128, 255, 128));
    }

    // From "AW" on the box takes any line as a value: a stop clicked then is held, the status bar
    // says so, and it goes out when the dialogue ends; when the dialogue fails part-way, before
    // the failure is shown, and the operator is told that the box may hold a partial write.
    void stopDuringTheDialogue_data()
    {
        QTest::addColumn<int>("prompted");  // the lines the box prompts for before it falls silent
        QTest::newRow("whole write") << 15;
        QTest::newRow("prompt for line 3 missing") << 2;
    }
    void stopDuringTheDialogue()
    {
        QFETCH(int, prompted);
        Window t;
        t.setDefaults();
        t.port.expect(frame("S"), reply('S', "R"));
        t.port.expect(frame("W"), acceptW, 60);  // STOP! is clicked before the box accepts
        for (int k = 0; k < qMin(prompted + 1, 15); ++k)
            t.port.expect(exampleLines[k] + '\r', k == prompted ? "" : k < 14 ? "N" : "\r", k == prompted ? -1 : 0);
        t.port.expect(frame("G999"), reply('G', "R"));
        QString statusWhileHeld;
        QTimer::singleShot(20, [&] {
            t.click(QStringLiteral("fast_stop"));
            statusWhileHeld = t.window->statusBar()->currentMessage();
        });
        QList<QByteArray> writesAtFirstMessage;
        t.messages.onInform = [&](const QString&) {
            if (writesAtFirstMessage.isEmpty())
                writesAtFirstMessage = t.port.writes;
        };
        t.write();
        QCOMPARE(statusWhileHeld, QStringLiteral("STOP held until the write ends"));
        QCOMPARE(t.port.writes.size(), 2 + qMin(prompted + 1, 15) + 1);
        QCOMPARE(t.port.writes.last(), frame("G999"));
        QVERIFY(!t.port.remainingExpectations());
        if (prompted == 15) {
            QCOMPARE(t.messages.shown, QStringList());
        } else {
            QCOMPARE(writesAtFirstMessage, t.port.writes);
            QCOMPARE(t.messages.shown,
                     (QStringList{"Expected N as replay, received: ",
                                  "The STOP held during the write went out when the write failed: the CBOX may hold "
                                  "a partial write. Read its parameters with cmd L."}));
        }
        QVERIFY(t.window->statusBar()->currentMessage().isEmpty());
        QVERIFY(!t.port.isOpen());
    }

    // Every check of the dialogue: the message, the lines sent up to it and nothing after it.
    void dialogueChecks_data()
    {
        QTest::addColumn<QByteArray>("sReply");
        QTest::addColumn<QByteArray>("wReply");
        QTest::addColumn<int>("failingLine");    // the line whose answer is `answer`; 0: none
        QTest::addColumn<QByteArray>("answer");  // empty: the answer never comes
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("linesSent");

        const QByteArray sOk = reply('S', "R");
        QTest::newRow("X after line 3") << sOk << acceptW << 3 << QByteArray("X")
                                        << QStringList{"Expected N as replay, received: X"} << 3;
        QTest::newRow("nothing after line 3")
            << sOk << acceptW << 3 << QByteArray() << QStringList{"Expected N as replay, received: "} << 3;
        QTest::newRow("CR after line 1") << sOk << acceptW << 1 << QByteArray("\r")
                                         << QStringList{"Expected N as replay, received: \r"} << 1;
        QTest::newRow("lower-case n after line 14")
            << sOk << acceptW << 14 << QByteArray("n") << QStringList{"Expected N as replay, received: n"} << 14;
        QTest::newRow("N after line 15") << sOk << acceptW << 15 << QByteArray("N")
                                         << QStringList{"Terminator invalid, received ASC:78 - N"} << 15;
        QTest::newRow("LF after line 15") << sOk << acceptW << 15 << QByteArray("\n")
                                          << QStringList{"Terminator invalid, received ASC:10 - \n"} << 15;
        QTest::newRow("nothing after line 15")
            << sOk << acceptW << 15 << QByteArray() << QStringList{"Terminator invalid, received ASC:"} << 15;
        QTest::newRow("busy") << sOk
                              << QByteArray("\x02"
                                            "A,W,B\rN")
                              << 0 << QByteArray() << QStringList{"CBOX Busy, parameters cannot be updated!"} << 0;
        QTest::newRow("state Q") << sOk
                                 << QByteArray("\x02"
                                               "A,W,Q\rN")
                                 << 0 << QByteArray() << QStringList{"<data> B or R invalid, received:Q"} << 0;
        QTest::newRow("state missing") << sOk
                                       << QByteArray("\x02"
                                                     "A,W,")
                                       << 0 << QByteArray() << QStringList{"<data> B or R invalid, received:"} << 0;
        QTest::newRow("N instead of CR after R")
            << sOk
            << QByteArray("\x02"
                          "A,W,RN")
            << 0 << QByteArray() << QStringList{"Terminator invalid, received ASC:78"} << 0;
        QTest::newRow("nothing after R") << sOk
                                         << QByteArray("\x02"
                                                       "A,W,R")
                                         << 0 << QByteArray() << QStringList{"Terminator invalid, received ASC:"} << 0;
        QTest::newRow("first prompt X") << sOk
                                        << QByteArray("\x02"
                                                      "A,W,R\rX")
                                        << 0 << QByteArray() << QStringList{"Expected N, received:X"} << 0;
        QTest::newRow("first prompt missing") << sOk
                                              << QByteArray("\x02"
                                                            "A,W,R\r")
                                              << 0 << QByteArray() << QStringList{"Expected N, received:"} << 0;
        QTest::newRow("no reply start") << sOk << QByteArray() << 0 << QByteArray()
                                        << QStringList{"cmd W: communication timeout on <header>"} << 0;
        QTest::newRow("identifier") << sOk
                                    << QByteArray("\x02"
                                                  "B,W,R\rN")
                                    << 0 << QByteArray() << QStringList{"<Identifier> invalid, received:B"} << 0;
        QTest::newRow("first separator") << sOk
                                         << QByteArray("\x02"
                                                       "A;W,R\rN")
                                         << 0 << QByteArray() << QStringList{"<Separator>1 invalid, received:;"} << 0;
        QTest::newRow("echo") << sOk
                              << QByteArray("\x02"
                                            "A,w,R\rN")
                              << 0 << QByteArray() << QStringList{"<Cmd> invalid, received:w"} << 0;
        QTest::newRow("second separator") << sOk
                                          << QByteArray("\x02"
                                                        "A,W.R\rN")
                                          << 0 << QByteArray() << QStringList{"<Separator>2 invalid, received:."} << 0;
        QTest::newRow("stray bytes before the reply")
            << sOk << "\r\nN\x01" + acceptW << 0 << QByteArray() << QStringList{} << 15;
    }
    void dialogueChecks()
    {
        QFETCH(QByteArray, sReply);
        QFETCH(QByteArray, wReply);
        QFETCH(int, failingLine);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, linesSent);

        Window t;
        t.setDefaults();
        t.port.expect(frame("S"), sReply, sReply.isEmpty() ? -1 : 0);
        t.port.expect(frame("W"), wReply, wReply.isEmpty() ? -1 : 0);
        for (int k = 1; k <= 15; ++k) {
            if (k == failingLine)
                t.port.expect(exampleLines[k - 1] + '\r', answer, answer.isEmpty() ? -1 : 0);
            else
                t.port.expect(exampleLines[k - 1] + '\r', k < 15 ? QByteArray("N") : QByteArray("\r"));
        }
        t.write();

        QCOMPARE(t.messages.shown, messages);
        QCOMPARE(lineWrites(t.port), exampleLines.mid(0, linesSent));
        QVERIFY(t.port.unexpected.isEmpty());
        QCOMPARE(t.port.writes.mid(0, 2), (QList<QByteArray>{frame("S"), frame("W")}));
        // The write ends in order whatever failed.
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->link().timerArmed());
        QCOMPARE(t.disabled(TestWindow::commandGroup), QStringList());
    }

    // After a failed S the box's state is unknown, and a late answer to S would be read as W's:
    // nothing is written.
    void noWriteAfterAFailedS_data()
    {
        QTest::addColumn<QByteArray>("sReply");
        QTest::addColumn<int>("delayMs");  // -1: never
        QTest::addColumn<QString>("message");
        QTest::newRow("S refused") << reply('S', "B") << 0 << "R not received:B";
        QTest::newRow("S silent") << QByteArray() << -1 << "cmd S, Communication timeout on <header>";
        QTest::newRow("S late") << reply('S', "R") << 300 << "cmd S, Communication timeout on <header>";
    }
    void noWriteAfterAFailedS()
    {
        QFETCH(QByteArray, sReply);
        QFETCH(int, delayMs);
        QFETCH(QString, message);
        Window t;
        t.setDefaults();
        t.port.expect(frame("S"), sReply, delayMs);
        t.port.expect(frame("W"), acceptW);
        t.write();
        QCOMPARE(t.messages.shown, (QStringList{message, "Nothing was written to the CBOX."}));
        QCOMPARE(t.port.writes, QList<QByteArray>{frame("S")});
        QVERIFY(!t.port.isOpen());
    }

    void portThatCannotBeOpened()
    {
        Window t;
        t.setDefaults();
        t.port.failOpen = true;
        t.window->link().choice().setNumber(2);
        t.write();
        // The S exchange's message, then the write's; nothing is sent.
        QCOMPARE(t.messages.shown, (QStringList{"ERROR OPENING COM PORT # 2", "Nothing was written to the CBOX."}));
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.disabled(TestWindow::commandGroup), QStringList());
    }

    void monitorRunningRefusesTheWrite()
    {
        Window t;
        t.setDefaults();
        t.edit(QStringLiteral("inv_delay"))->setText(QStringLiteral("  4  "));
        t.window->monitor().setState(MonitorState::Running);
        QVERIFY(t.port.open(t.window->link().choice()));  // the monitor holds the port open
        t.write();
        QCOMPARE(t.messages.questions.last(), writeQuestion);
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("Monitor is ACTIVE, cmd W not allowed!")});
        QVERIFY(t.port.written.isEmpty());  // no S exchange, no frame
        QVERIFY(t.port.isOpen());
        QCOMPARE(t.port.closes, 0);
        // The reversal delay is trimmed before the monitor is looked at.
        QCOMPARE(t.edit(QStringLiteral("inv_delay"))->text(), QStringLiteral("4"));
    }

    void answeringNoTouchesNothing()
    {
        Window t;
        t.setDefaults();
        t.edit(QStringLiteral("inv_delay"))->setText(QStringLiteral(" 3 "));
        QList<bool> enabled;
        QList<QColor> colour;
        for (const QString& b : TestWindow::commandGroup) {
            enabled << t.button(b)->isEnabled();
            colour << colours::buttonColour(t.button(b));
        }
        t.write(false);
        QCOMPARE(t.messages.questions.last(), writeQuestion);
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
        QCOMPARE(t.edit(QStringLiteral("inv_delay"))->text(), QStringLiteral(" 3 "));
        for (qsizetype i = 0; i < TestWindow::commandGroup.size(); ++i) {
            const QString& b = TestWindow::commandGroup[i];
            QVERIFY2(t.button(b)->isEnabled() == enabled[i], qPrintable(b));
            QVERIFY2(colours::buttonColour(t.button(b)) == colour[i], qPrintable(b));
        }
    }

    void reversalDelayIsTrimmedInTheWindow_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<QByteArray>("line4");
        QTest::newRow("blanks around") << "  2  "
                                       << "2" << QByteArray("1220");
        QTest::newRow("blank before") << " 3"
                                      << "3" << QByteArray("1829");
    }
    void reversalDelayIsTrimmedInTheWindow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, trimmed);
        QFETCH(QByteArray, line4);
        Window t;
        t.setDefaults();
        t.edit(QStringLiteral("inv_delay"))->setText(typed);
        QList<QByteArray> lines = exampleLines;
        lines[3] = line4;
        t.port.expect(frame("S"), reply('S', "R"));
        t.port.expect(frame("W"), acceptW);
        for (qsizetype k = 0; k < lines.size(); ++k)
            t.port.expect(lines[k] + '\r', k < 14 ? QByteArray("N") : QByteArray("\r"));
        t.write();
        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(t.edit(QStringLiteral("inv_delay"))->text(), trimmed);
        QCOMPARE(lineWrites(t.port), lines);
    }

    // The operator edits the panel after Yes, while the S exchange takes its time: every line
    // goes as the panel held it at the click, and the edits, a refused text among them, stay.
    void entriesEditedDuringTheDialogue()
    {
        Window t;
        t.setDefaults();
        const QList<QByteArray> sent = exampleLines;
        t.port.expect(frame("S"), reply('S', "R"), 30);
        t.port.expect(frame("W"), acceptW);
        for (qsizetype k = 0; k < sent.size(); ++k)
            t.port.expect(sent[k] + '\r', k < 14 ? QByteArray("N") : QByteArray("\r"));
        const auto type = [&t](const char* entry, const char* text) {
            t.edit(QString::fromLatin1(entry))->setText(QString::fromLatin1(text));
        };
        bool edited = false;
        t.port.onWrite = [&](const QByteArray&) {
            if (t.port.writes.size() != 1)  // S
                return;
            QTimer::singleShot(0, [&] {
                type("lower_limit", "0abc");
                type("upper_limit", "450");
                type("inv_delay", "2");
                type("pwm_period", "100");
                type("pwm_max_duty", "80");
                type("ramp", "20");
                type("pwm_min_duty", "20");
                type("pres_delay", "1");
                type("offset_write", "-05");
                type("check_angle_write", "7.9");
                type("rot_timeout", "60");
                t.button(QStringLiteral("north_stop"))->setChecked(true);
                t.button(QStringLiteral("pwm_on"))->setChecked(false);
                t.button(QStringLiteral("optimize"))->setChecked(false);
                t.button(QStringLiteral("mot_check"))->setChecked(true);
                edited = true;
            });
        };
        t.write();
        QVERIFY(edited);
        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(lineWrites(t.port), sent);
        QVERIFY(t.port.unexpected.isEmpty());
        // The write leaves the edits in the panel.
        QCOMPARE(t.edit(QStringLiteral("upper_limit"))->text(), QStringLiteral("450"));
        QCOMPARE(t.edit(QStringLiteral("pwm_period"))->text(), QStringLiteral("100"));
    }

    // The box stores whatever lines it gets. A panel that would send it garbage (placeholders, a
    // control character, a number beyond its fields) is refused before the question with one
    // message naming each entry; nothing is sent and no button changes. A panel of plain numbers
    // goes to the question, red entries included.
    void aPanelTheBoxMustNotGetIsRefusedBeforeTheQuestion_data()
    {
        QTest::addColumn<bool>("defaults");
        QTest::addColumn<QStringList>("edits");    // entry, text, entry, text ...
        QTest::addColumn<QStringList>("refusal");  // the message's lines after the first; none: asked
        const QString plain =
            QStringLiteral("a plain number: digits, with an optional \"-\" and decimals after a \".\"");
        const QString whole = QStringLiteral("a whole number of 1 to 5 digits, with an optional \"-\"");
        const QString offset16 = QStringLiteral("a whole number from -32768 to 32767");
        const auto holds = [](const char* label, const QString& text, const QString& may) {
            return QStringLiteral("%1 holds %2; it may hold %3.").arg(QString::fromUtf8(label), text, may);
        };

        QTest::newRow("a start-up that did not fill the panel")
            << false << QStringList()
            << QStringList{holds("Lower Limit", "\"???\"", whole),
                           holds("Upper Limit", "\"???\"", whole),
                           holds("Rev. Delay", "\"???\"", plain),
                           holds("PWM:period", "\"???\"", plain),
                           holds("PWM:max.duty", "\"???\"", plain),
                           holds("PWM:ramp", "\"???\"", whole),
                           holds("PWM:min.duty", "\"???\"", plain),
                           holds("Preset Delay", "\"???\"", plain),
                           holds("Offset (-70°..+70°)", "\"???\"", offset16),
                           holds("Rot. Timeout", "\"???\"", plain)};
        QTest::newRow("a blank inside a limit, a letter O in the ramp")
            << true << QStringList{"upper_limit", "50 0", "ramp", "1O"}
            << QStringList{holds("Upper Limit", "\"50 0\"", whole), holds("PWM:ramp", "\"1O\"", whole)};
        QTest::newRow("a leading +")
            << true << QStringList{"lower_limit", "+5", "inv_delay", "+3"}
            << QStringList{holds("Lower Limit", "\"+5\"", whole + ": write the number without its \"+\""),
                           holds("Rev. Delay", "\"+3\"", "a plain number: write the number without its \"+\"")};
        QTest::newRow("six digits, a decimal limit, an offset beyond 16 bits")
            << true << QStringList{"upper_limit", "123456", "lower_limit", "1.5", "offset_write", "40000"}
            << QStringList{holds("Lower Limit", "\"1.5\"", whole), holds("Upper Limit", "\"123456\"", whole),
                           holds("Offset (-70°..+70°)", "\"40000\"", offset16)};
        QTest::newRow("trailing letters, an empty entry, a minus without a number")
            << true << QStringList{"pres_delay",   "12abc", "pwm_min_duty",      "",
                                   "offset_write", "-abc",  "check_angle_write", "2e1"}
            << QStringList{holds("PWM:min.duty", "nothing", plain), holds("Preset Delay", "\"12abc\"", plain),
                           holds("Offset (-70°..+70°)", "\"-abc\"", offset16), holds("Check angle", "\"2e1\"", plain)};
        QTest::newRow("an inner blank") << true << QStringList{"inv_delay", " 1 0 "}
                                        << QStringList{holds("Rev. Delay", "\" 1 0 \"", plain)};
        QTest::newRow("a timeout and a PWM period beyond the line")
            << true << QStringList{"rot_timeout", "200", "pwm_period", "200000"}
            << QStringList{holds("PWM:period", "\"200000\"",
                                 "a value that keeps the PWM on-time in ticks of 1.64 ms within 0..65535 (it "
                                 "would be 121951)"),
                           holds("PWM:max.duty", "\"100\"",
                                 "a value that keeps the PWM on-time in ticks of 1.64 ms within 0..65535 (it "
                                 "would be 121951)"),
                           holds("Rot. Timeout", "\"200\"",
                                 "a value that keeps the rotation timeout in ticks of 1.64 ms within 0..65535 (it "
                                 "would be 121951)")};
        QTest::newRow("plain numbers, red or blank-padded, are asked")
            << true << QStringList{"upper_limit",       "600", "offset_write", " -070 ",
                                   "check_angle_write", "2.7", "lower_limit",  "-5"}
            << QStringList();
    }
    void aPanelTheBoxMustNotGetIsRefusedBeforeTheQuestion()
    {
        QFETCH(bool, defaults);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, refusal);
        Window t;
        if (defaults)
            t.setDefaults();
        for (qsizetype i = 0; i + 1 < edits.size(); i += 2)
            t.edit(edits.at(i))->setText(edits.at(i + 1));
        QMap<QString, bool> enabledBefore;
        QMap<QString, QColor> colourBefore;
        for (const QString& b : TestWindow::commandGroup) {
            enabledBefore[b] = t.button(b)->isEnabled();
            colourBefore[b] = colours::buttonColour(t.button(b));
        }
        const qsizetype questionsBefore = t.messages.questions.size();

        t.write(false);

        QVERIFY(t.port.writes.isEmpty());
        QCOMPARE(t.port.opens, 0);
        for (const QString& b : TestWindow::commandGroup) {
            QCOMPARE(t.button(b)->isEnabled(), enabledBefore[b]);
            QCOMPARE(colours::buttonColour(t.button(b)), colourBefore[b]);
        }
        if (refusal.isEmpty()) {
            QCOMPARE(t.messages.questions.size(), questionsBefore + 1);
            QVERIFY(t.messages.shown.isEmpty());
        } else {
            QCOMPARE(t.messages.questions.size(), questionsBefore);
            refusal.prepend(QStringLiteral("cmd W not sent: the CBOX cannot take what these entries hold."));
            QCOMPARE(t.messages.shown, QStringList{refusal.join(QLatin1Char('\n'))});
        }
    }

    // A duration goes in ticks into a 16-bit field of the box: each computed line at its edges,
    // the entries it comes from named when it is refused.
    void computedLinesTheBoxCannotHoldAreRefused_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("named");  // none: asked
        const QString pwm = QStringLiteral("pwm_period pwm_max_duty pwm_min_duty");
        const struct {
            int line;
            QString entries, labels, texts[4];
        } cases[] = {
            {4, "inv_delay", "Rev. Delay", {"-0.0016", "0", "107.4774", "107.479"}},
            {6, pwm, "PWM:period|PWM:max.duty", {"-1.64 100 0", "50 0 0", "107477.4 100 0", "107479 100 0"}},
            {7, pwm, "PWM:period|PWM:max.duty", {"1.64 200 0", "50 100 0", "107477.4 0 0", "107479 0 0"}},
            {9, pwm, "PWM:period|PWM:min.duty", {"164 100 -1", "50 100 0", "107477.4 50 100", "107479 50 100"}},
            {11, "pres_delay", "Preset Delay", {"-0.0016", "0", "107.4774", "107.479"}},
            {15, "rot_timeout", "Rot. Timeout", {"-0.0016", "0", "107.4774", "107.479"}},
        };
        const char* const values[] = {"-1", "0", "65535", "65536"};
        for (const auto& c : cases)
            for (int i = 0; i < 4; ++i)
                QTest::addRow("line %d at %s", c.line, values[i])
                    << c.line << c.entries.split(' ') << c.texts[i].split(' ') << QString::fromLatin1(values[i])
                    << (i == 0 || i == 3 ? c.labels.split('|') : QStringList());
    }
    void computedLinesTheBoxCannotHoldAreRefused()
    {
        QFETCH(int, line);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, texts);
        QFETCH(QString, value);
        QFETCH(QStringList, named);
        Window t;
        t.setDefaults();
        for (qsizetype i = 0; i < entries.size(); ++i)
            t.edit(entries[i])->setText(texts[i]);
        QCOMPARE(encode_write_lines(line, panelState(*t.window)), value);
        t.write(false);
        QStringList refused;
        for (const QString& l : t.messages.shown.value(0).split(QLatin1Char('\n')).mid(1))
            refused << l.section(QStringLiteral(" holds "), 0, 0);
        QCOMPARE(refused, named);
    }

    // The question's informative text says what the write changes in the box, as read last in
    // this run, field by field, or that the box has not been read; before that, each value sent
    // outside its marked range, judged anew (the minimum duty's colour is stale here).
    void theQuestionSaysWhatTheWriteChanges_data()
    {
        QTest::addColumn<bool>("read");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("heldOffset");  // the block's field 14, as the box sends it
        QTest::newRow("not read") << false << QStringList()
                                  << "The CBOX has not been read since rotor started: what it holds now is not known."
                                  << "00000";
        QTest::newRow("read, nothing changed")
            << true << QStringList() << "The CBOX already holds these values, as read last."
            << "00000";
        QTest::newRow("read, three changed")
            << true << QStringList{"upper_limit", " 450", "rot_timeout", "60", "north_stop", "on"}
            << "What the write changes in the CBOX, as read last:\nStop mode: 1 → 0\nUpper Limit: 500 → 450\n"
               "Rot. Timeout (ticks): 3049 → 36585"
            << "00000";
        QTest::newRow("read, a value written alike is no change")
            << true << QStringList{"upper_limit", "0500", "pwm_period", "49.5"}
            << "The CBOX already holds these values, as read last."
            << "00000";
        // The offset comes back as 16-bit two's complement: 65531 is the -5 written.
        QTest::newRow("read, a negative offset held alike is no change")
            << true << QStringList{"offset_write", "-5"} << "The CBOX already holds these values, as read last."
            << "65531";
        QTest::newRow("red entries, a stale minimum duty among them")
            << false << QStringList{"lower_limit", "300",          "upper_limit", "200",          "pwm_min_duty",
                                    "60",          "pwm_max_duty", "50",          "offset_write", "71"}
            << "Outside their marked range, written as they are:\nLower Limit 300 is above Upper Limit 200.\n"
               "Offset 71 is outside -70 to 70.\nPWM:min.duty 60 is above PWM:max.duty 50.\n\nThe CBOX has not "
               "been read since rotor started: what it holds now is not known."
            << "00000";
        QTest::newRow("read, a negative offset changed")
            << true << QStringList{"offset_write", "-7"}
            << "What the write changes in the CBOX, as read last:\nOffset: -5 → -7"
            << "65531";
    }
    void theQuestionSaysWhatTheWriteChanges()
    {
        QFETCH(bool, read);
        QFETCH(QStringList, edits);
        QFETCH(QString, details);
        QFETCH(QString, heldOffset);
        Window t;
        t.setDefaults();
        if (read) {
            t.port.expect(frame("L"), reply('L', exampleBlockWith(14, heldOffset.toLatin1())));
            t.click(QStringLiteral("read_info"));
            QVERIFY(t.messages.shown.isEmpty());
        }
        for (qsizetype i = 0; i + 1 < edits.size(); i += 2) {
            if (edits.at(i + 1) == QLatin1String("on"))
                t.button(edits.at(i))->click();
            else
                t.edit(edits.at(i))->setText(edits.at(i + 1));
        }
        t.write(false);
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.messages.questionDetails, QStringList{details});
    }
};

QTEST_MAIN(ParameterWriteTest)
#include "tst_parameter_write.moc"
