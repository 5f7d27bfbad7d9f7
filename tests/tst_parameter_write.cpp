// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter write "W" on the wire: the question, the S exchange before it, the worked example
// byte for byte with PC and CBOX taking turns, every check of the dialogue stopping it at the
// right line with its exact message, the monitor's refusal, and entries edited while it runs.

#include "support/test_window.h"
#include "ui/colours.h"

#include <QtTest>
#include <functional>

namespace {

const QString writeQuestion =
    QStringLiteral("WRITE PARAMETERS COMMAND: THIS COMMAND OVERWRITES THE CBOX SETTINGS!!! ARE YOU SURE?");

// The 15 value lines of the worked example (the panel after Set Default), without their CR.
const QList<QByteArray> exampleLines{"1", "0", "500", "1829", "1", "30", "0", "10", "15", "1", "1829", "0", "0", "2", "3049"};

const QByteArray acceptW = "\x02" "A,W,R\rN";

const char* const commandGroup[] = {"write_mode", "read_info", "execute", "cmd_monitor", "fast_stop", "soft_stop", "command_s"};

// A port that calls the test back at every write, before the write is answered, with what the
// program has taken off the line so far.
class WatchedPort : public FakePort {
public:
    std::function<void(const QByteArray&)> onWrite;
    qsizetype taken = 0;
    QByteArray readOne() override
    {
        const QByteArray c = FakePort::readOne();
        taken += c.size();
        return c;
    }
    void write(const QByteArray& bytes) override
    {
        if (onWrite)
            onWrite(bytes);
        FakePort::write(bytes);
    }
};

template <typename P>
struct Window {
    Window() : window(std::make_unique<MainWindow>(port, messages, TestWindow::replyPeriodMs))
    {
        window->link().settingsPath = settingsDir.filePath(QStringLiteral("rotor.ini"));
    }
    QAbstractButton* button(const QString& name) const { return window->findChild<QAbstractButton*>(name); }
    QLineEdit* edit(const QString& name) const { return window->findChild<QLineEdit*>(name); }
    void click(const QString& name) const { button(name)->click(); }

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

    QTemporaryDir settingsDir;
    P port;
    RecordingMessages messages;
    std::unique_ptr<MainWindow> window;
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
        Window<WatchedPort> t;
        t.setDefaults();
        scriptExample(t.port);
        QList<qsizetype> takenAtWrite;
        QMap<QString, bool> enabledDuring;
        t.port.onWrite = [&](const QByteArray& bytes) {
            takenAtWrite << t.port.taken;
            if (bytes == "1829\r" && enabledDuring.isEmpty())
                for (const char* b : commandGroup)
                    enabledDuring[QString::fromLatin1(b)] = t.button(QString::fromLatin1(b))->isEnabled();
        };
        t.write();

        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(t.messages.questions.size(), 2);
        QCOMPARE(t.messages.questions.last(), writeQuestion);
        QVERIFY(t.port.unexpected.isEmpty());
        QVERIFY(!t.port.remainingExpectations());

        QByteArray expected = "\x02" "AS\r" "\x02" "AW\r";
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
        for (const char* b : commandGroup) {
            const QString n = QString::fromLatin1(b);
            QVERIFY2(enabledDuring[n] == (n == QLatin1String("fast_stop") || n == QLatin1String("soft_stop")), b);
        }
        QVERIFY(!t.port.isOpen());
        for (const char* b : commandGroup)
            QVERIFY2(t.button(QString::fromLatin1(b))->isEnabled(), b);
        QCOMPARE(colours::buttonColour(t.button(QStringLiteral("write_mode"))), QColor(128, 255, 128));
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
        QTest::newRow("nothing after line 3") << sOk << acceptW << 3 << QByteArray()
                                              << QStringList{"Expected N as replay, received: "} << 3;
        QTest::newRow("CR after line 1") << sOk << acceptW << 1 << QByteArray("\r")
                                         << QStringList{"Expected N as replay, received: \r"} << 1;
        QTest::newRow("lower-case n after line 14") << sOk << acceptW << 14 << QByteArray("n")
                                                    << QStringList{"Expected N as replay, received: n"} << 14;
        QTest::newRow("N after line 15") << sOk << acceptW << 15 << QByteArray("N")
                                         << QStringList{"Terminator invalid, received ASC:78 - N"} << 15;
        QTest::newRow("LF after line 15") << sOk << acceptW << 15 << QByteArray("\n")
                                          << QStringList{"Terminator invalid, received ASC:10 - \n"} << 15;
        QTest::newRow("nothing after line 15") << sOk << acceptW << 15 << QByteArray()
                                               << QStringList{"Terminator invalid, received ASC:"} << 15;
        QTest::newRow("busy") << sOk << QByteArray("\x02" "A,W,B\rN") << 0 << QByteArray()
                              << QStringList{"CBOX Busy, parameters cannot be updated!"} << 0;
        QTest::newRow("state Q") << sOk << QByteArray("\x02" "A,W,Q\rN") << 0 << QByteArray()
                                 << QStringList{"<data> B or R invalid, received:Q"} << 0;
        QTest::newRow("state missing") << sOk << QByteArray("\x02" "A,W,") << 0 << QByteArray()
                                       << QStringList{"<data> B or R invalid, received:"} << 0;
        QTest::newRow("N instead of CR after R") << sOk << QByteArray("\x02" "A,W,RN") << 0 << QByteArray()
                                                 << QStringList{"Terminator invalid, received ASC:78"} << 0;
        QTest::newRow("nothing after R") << sOk << QByteArray("\x02" "A,W,R") << 0 << QByteArray()
                                         << QStringList{"Terminator invalid, received ASC:"} << 0;
        QTest::newRow("first prompt X") << sOk << QByteArray("\x02" "A,W,R\rX") << 0 << QByteArray()
                                        << QStringList{"Expected N, received:X"} << 0;
        QTest::newRow("first prompt missing") << sOk << QByteArray("\x02" "A,W,R\r") << 0 << QByteArray()
                                              << QStringList{"Expected N, received:"} << 0;
        QTest::newRow("no reply start") << sOk << QByteArray() << 0 << QByteArray()
                                        << QStringList{"cmd W: communication timeout on <header>"} << 0;
        QTest::newRow("identifier") << sOk << QByteArray("\x02" "B,W,R\rN") << 0 << QByteArray()
                                    << QStringList{"<Identifier> invalid, received:B"} << 0;
        QTest::newRow("first separator") << sOk << QByteArray("\x02" "A;W,R\rN") << 0 << QByteArray()
                                         << QStringList{"<Separator>1 invalid, received:;"} << 0;
        QTest::newRow("echo") << sOk << QByteArray("\x02" "A,w,R\rN") << 0 << QByteArray()
                              << QStringList{"<Cmd> invalid, received:w"} << 0;
        QTest::newRow("second separator") << sOk << QByteArray("\x02" "A,W.R\rN") << 0 << QByteArray()
                                          << QStringList{"<Separator>2 invalid, received:."} << 0;
        QTest::newRow("stray bytes before the reply") << sOk << "\r\nN\x01" + acceptW << 0 << QByteArray()
                                                      << QStringList{} << 15;
        // The S exchange before the write does not decide anything: the write goes on.
        QTest::newRow("S refused") << reply('S', "B") << acceptW << 0 << QByteArray()
                                   << QStringList{"R not received:B"} << 15;
        QTest::newRow("S silent") << QByteArray() << acceptW << 0 << QByteArray()
                                  << QStringList{"cmd S, Communication timeout on <header>"} << 15;
    }
    void dialogueChecks()
    {
        QFETCH(QByteArray, sReply);
        QFETCH(QByteArray, wReply);
        QFETCH(int, failingLine);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, linesSent);

        Window<FakePort> t;
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
        QVERIFY(!t.window->link().Timer1.isActive());
        for (const char* b : commandGroup)
            QVERIFY2(t.button(QString::fromLatin1(b))->isEnabled(), b);
    }

    void portThatCannotBeOpened()
    {
        Window<FakePort> t;
        t.setDefaults();
        t.port.failOpen = true;
        t.window->link().portNumber = 2;
        t.write();
        // Once for the S exchange, once for the write itself; nothing is sent.
        QCOMPARE(t.messages.shown, QStringList(2, QStringLiteral("ERROR OPENING COM PORT # 2")));
        QVERIFY(t.port.written.isEmpty());
        for (const char* b : commandGroup)
            QVERIFY2(t.button(QString::fromLatin1(b))->isEnabled(), b);
    }

    void monitorRunningRefusesTheWrite()
    {
        Window<FakePort> t;
        t.setDefaults();
        t.edit(QStringLiteral("inv_delay"))->setText(QStringLiteral("  4  "));
        t.window->setText(Field::cmd_monitor, QStringLiteral("STOP"));
        QVERIFY(t.port.open());  // the monitor holds the port open
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
        Window<FakePort> t;
        t.setDefaults();
        t.edit(QStringLiteral("inv_delay"))->setText(QStringLiteral(" 3 "));
        QList<bool> enabled;
        QList<QColor> colour;
        for (const char* b : commandGroup) {
            enabled << t.button(QString::fromLatin1(b))->isEnabled();
            colour << colours::buttonColour(t.button(QString::fromLatin1(b)));
        }
        t.write(false);
        QCOMPARE(t.messages.questions.last(), writeQuestion);
        QCOMPARE(t.messages.shown, QStringList());
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
        QCOMPARE(t.edit(QStringLiteral("inv_delay"))->text(), QStringLiteral(" 3 "));
        for (qsizetype i = 0; i < qsizetype(std::size(commandGroup)); ++i) {
            QVERIFY2(t.button(QString::fromLatin1(commandGroup[i]))->isEnabled() == enabled[i], commandGroup[i]);
            QVERIFY2(colours::buttonColour(t.button(QString::fromLatin1(commandGroup[i]))) == colour[i], commandGroup[i]);
        }
    }

    void reversalDelayIsTrimmedInTheWindow_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<QByteArray>("line4");
        QTest::newRow("blanks around") << "  2  " << "2" << QByteArray("1220");
        QTest::newRow("blank before") << " 3" << "3" << QByteArray("1829");
        QTest::newRow("inner blank stays") << " 1 0 " << "1 0" << QByteArray("6098");
    }
    void reversalDelayIsTrimmedInTheWindow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, trimmed);
        QFETCH(QByteArray, line4);
        Window<FakePort> t;
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

    // The operator edits the panel while the dialogue waits for the prompt after line 2: the
    // entries not yet sent go with their new text, while lines 1, 5, 6, 7, 9, 10 and 13, taken
    // before "AW" was sent, keep what the panel held then.
    void entriesEditedDuringTheDialogue()
    {
        Window<WatchedPort> t;
        t.setDefaults();
        const QList<QByteArray> sent{"1", "0", "450", "1220", "1", "30", "0", "20", "15", "1", "610", "-5", "0", "7", "36585"};
        t.port.expect(frame("S"), reply('S', "R"));
        t.port.expect(frame("W"), acceptW);
        for (qsizetype k = 0; k < sent.size(); ++k)  // the prompt after line 2 takes its time
            t.port.expect(sent[k] + '\r', k < 14 ? QByteArray("N") : QByteArray("\r"), k == 1 ? 30 : 0);
        const auto type = [&t](const char* entry, const char* text) {
            t.edit(QString::fromLatin1(entry))->setText(QString::fromLatin1(text));
        };
        bool edited = false;
        t.port.onWrite = [&](const QByteArray&) {
            if (t.port.writes.size() != 3)  // S, W, line 1: this is line 2
                return;
            QTimer::singleShot(0, [&] {
                type("lower_limit", "99");
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
};

QTEST_MAIN(ParameterWriteTest)
#include "tst_parameter_write.moc"
