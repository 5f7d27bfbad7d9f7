// SPDX-License-Identifier: GPL-3.0-or-later
// The communication monitor through the scripted port and the real window: the start with its
// three exchanges, the listing of every frame, the live decoding of status frames, the end of
// monitoring by a stop click, by a bad frame or by a lost port, and the other commands while it
// runs.
//
// MONITOR_RUN returns only when monitoring has ended, so each test drives it with a scenario: a
// chain of steps, each run once its condition holds, checked every few milliseconds from inside
// the monitor's own event processing. A scenario that does not finish in time stops the monitor
// (and, failing that, hangs up the line), so no test can hang.

#include "support/test_window.h"
#include "support/timed_steps.h"
#include "ui/colours.h"
#include "ui/monitor.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTcpSocket>
#include <QScrollBar>
#include <QtTest>
#include <ctime>
#include <functional>

namespace {

const QString monitorButton = QStringLiteral("cmd_monitor");
const QString listingName = QStringLiteral("cbox_reply_text");
const QString degree = QString(QChar(0x00B0));

// The shared driver, which past its patience stops the monitor and then hangs up the line: a
// monitor that no longer hears its stop click is stopped by the lost line.
class Scenario : public TimedSteps {
public:
    explicit Scenario(TestWindow& t, int limitMs = 5000)
        : TimedSteps(limitMs, [&t] {
              if (t.window->text(Field::cmd_monitor) == QLatin1String("STOP"))
                  t.click(monitorButton);
              t.port.hangUp();
          })
    {
    }
};

// Counts the paint events of a widget and notes what the listing's text box held at the last one:
// what the operator saw.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, QPlainTextEdit* box) : m_box(box) { widget->installEventFilter(this); }
    int count = 0;
    QString lastDrawn;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++count;
            lastDrawn = m_box->toPlainText();
        }
        return false;
    }

private:
    QPlainTextEdit* m_box;
};

// The replies to the three opening exchanges S, ? and M.
void scriptStart(FakePort& port, const QByteArray& status = "010,B")
{
    port.expect(frame("S"), reply('S', "R"));
    port.expect(frame("?"), reply('?', status));
    port.expect(frame("M"), reply('M', "R"));
}

// The reply to the closing S.
void scriptEnd(FakePort& port) { port.expect(frame("S"), reply('S', "R")); }

QString caption(const TestWindow& t) { return t.window->text(Field::cmd_monitor); }
bool running(const TestWindow& t) { return caption(t) == QLatin1String("STOP") && t.port.isOpen(); }
QString listing(const TestWindow& t) { return t.window->text(Field::cbox_reply_text); }
QPlainTextEdit* listingBox(const TestWindow& t) { return t.find<QPlainTextEdit>(listingName); }
QColor buttonColour(const TestWindow& t, const char* name)
{
    return colours::buttonColour(t.button(QString::fromLatin1(name)));
}
bool red(const TestWindow& t, const QString& field)
{
    return colours::background(t.find<QWidget>(field)) == colours::invalidRed;
}

// Everything that step 10 leaves behind: idle caption, port closed, the buttons back on.
void verifyEndedInOrder(const TestWindow& t)
{
    QCOMPARE(caption(t), QStringLiteral("START..."));
    QVERIFY(!t.port.isOpen());
    QVERIFY(t.find<QWidget>(QStringLiteral("goto_replay"))->isEnabled());
    for (const char* name :
         {"write_mode", "read_info", "execute", "cmd_monitor", "fast_stop", "soft_stop", "command_s"})
        QVERIFY2(t.button(QString::fromLatin1(name))->isEnabled(), name);
    QCOMPARE(buttonColour(t, "write_mode"), colours::lightGreen);
    QCOMPARE(buttonColour(t, "read_info"), colours::lightGreen);
    QCOMPARE(buttonColour(t, "execute"), colours::lightGreen);
    QCOMPARE(buttonColour(t, "cmd_monitor"), colours::lightGreen);
    QCOMPARE(buttonColour(t, "fast_stop"), colours::stopOrange);
    QCOMPARE(buttonColour(t, "soft_stop"), colours::stopOrange);
    QCOMPARE(buttonColour(t, "command_s"), colours::commandS);
    QVERIFY(!t.port.remainingExpectations());
    QVERIFY(t.port.unexpected.isEmpty());
}

}  // namespace

class MonitorTest : public QObject {
    Q_OBJECT
private slots:
    void startRunsThreeExchangesThenListens_data()
    {
        QTest::addColumn<QByteArray>("answerS");
        QTest::addColumn<QByteArray>("answerM");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("all well") << reply('S', "R") << reply('M', "R") << QStringList{};
        // Failures of the opening exchanges are shown and do not keep the monitor from running.
        QTest::newRow("S and M refused") << reply('S', "B") << reply('M', "B")
                                         << QStringList{
                                                QStringLiteral("R not received:B"),
                                                QStringLiteral("CBOX is in ABSOLUTE MODE: command M not executed!")};
        QTest::newRow("S and M silent") << QByteArray() << QByteArray()
                                        << QStringList{QStringLiteral("cmd S, Communication timeout on <header>"),
                                                       QStringLiteral("cmd M, Communication timeout on <header>")};
    }
    void startRunsThreeExchangesThenListens()
    {
        QFETCH(QByteArray, answerS);
        QFETCH(QByteArray, answerM);
        QFETCH(QStringList, messages);
        TestWindow t;
        t.port.expect(frame("S"), answerS, 10);
        t.port.expect(frame("?"), reply('?', "123,B"), 10);
        t.port.expect(frame("M"), answerM, 10);
        scriptEnd(t.port);

        bool disabledWhileStarting = false;
        int opens = 0, closes = 0;
        QList<QByteArray> writesWhenRunning;
        QString positionWhenRunning, statusWhenRunning;
        bool runningButtonEnabled = false, writeEnabled = true, gotoReplayEnabled = true;
        QColor runningColour, writeColour;
        QStringList messagesWhenRunning;

        Scenario scenario(t);
        scenario
            .when([&] { return !t.port.writes.isEmpty(); },
                  [&] {
                      disabledWhileStarting = !t.button(monitorButton)->isEnabled()
                                              && buttonColour(t, "cmd_monitor") == colours::buttonFace()
                                              && !t.button(QStringLiteral("write_mode"))->isEnabled()
                                              && !t.find<QWidget>(QStringLiteral("goto_replay"))->isEnabled()
                                              && caption(t) == QLatin1String("START...");
                  })
            .when([&] { return running(t); },
                  [&] {
                      opens = t.port.opens;
                      closes = t.port.closes;
                      writesWhenRunning = t.port.writes;
                      positionWhenRunning = t.edit(QStringLiteral("fast_pos"))->text();
                      statusWhenRunning = t.edit(QStringLiteral("fast_status"))->text();
                      runningButtonEnabled = t.button(monitorButton)->isEnabled();
                      runningColour = buttonColour(t, "cmd_monitor");
                      writeEnabled = t.button(QStringLiteral("write_mode"))->isEnabled();
                      writeColour = buttonColour(t, "write_mode");
                      gotoReplayEnabled = t.find<QWidget>(QStringLiteral("goto_replay"))->isEnabled();
                      messagesWhenRunning = t.messages.shown;
                  })
            .after(30, [&] { t.click(monitorButton); });

        t.click(monitorButton);

        QVERIFY(!scenario.timedOut);
        QVERIFY(disabledWhileStarting);
        // S, ? and M, each a complete exchange that opened and closed the port, read its reply
        // and showed its failures; then the monitor holds the port open.
        QCOMPARE(writesWhenRunning, (QList<QByteArray>{frame("S"), frame("?"), frame("M")}));
        QCOMPARE(opens, 4);
        QCOMPARE(closes, 3);
        QCOMPARE(messagesWhenRunning, messages);
        QCOMPARE(positionWhenRunning, "123" + degree);
        QCOMPARE(statusWhenRunning, QStringLiteral("BUSY"));
        QVERIFY(runningButtonEnabled);
        QCOMPARE(runningColour, QColor(255, 0, 0));
        QVERIFY(!writeEnabled);
        QCOMPARE(writeColour, colours::buttonFace());
        QVERIFY(!gotoReplayEnabled);

        // Stopped: the closing S, and everything back on.
        QCOMPARE(t.port.writes.size(), 4);
        QCOMPARE(t.port.writes.last(), frame("S"));
        QCOMPARE(t.messages.shown, messages);
        QVERIFY(listing(t).isEmpty());
        verifyEndedInOrder(t);
    }

    // Each row: one frame while the monitor runs; what is listed, shown and said for it. A good
    // status frame follows, which must be listed as the second: monitoring went on.
    void frames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("listed");  // the listing after the first frame
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("statusRed");
        QTest::addColumn<QStringList>("messages");

        // The opening status query leaves 10° and BUSY on red.
        const QString before = "10" + degree;
        const QString busy = QStringLiteral("BUSY");

        QTest::newRow("status 123 B") << reply('?', "123,B") << "1: <h|A,?,123,B|r>\n"
                                      << "123" + degree << busy << true << QStringList{};
        QTest::newRow("status 045 R") << reply('?', "045,R") << "1: <h|A,?,45,R|r>\n"
                                      << "45" + degree << QStringLiteral("READY") << false << QStringList{};
        QTest::newRow("status 000 R") << reply('?', "000,R") << "1: <h|A,?,0,R|r>\n"
                                      << "0" + degree << QStringLiteral("READY") << false << QStringList{};
        // An unknown state letter: "???" on the colour it had, and no message.
        QTest::newRow("status state X") << reply('?', "077,X") << "1: <h|A,?,77,X|r>\n"
                                        << "77" + degree << QStringLiteral("???") << true << QStringList{};
        QTest::newRow("noise before the header")
            << QByteArray("\r\n\x7f" + reply('?', "045,R")) << "1: <h|A,?,45,R|r>\n"
            << "45" + degree << QStringLiteral("READY") << false << QStringList{};

        // A faulty status frame is listed as far as it was read, and monitoring goes on.
        QTest::newRow("status separator 1")
            << QByteArray("\x02"
                          "A,?;045,R\r")
            << "1: <h|A,?;\n"
            << before << busy << true << QStringList{QStringLiteral("<Separator> invalid, received:;")};
        QTest::newRow("status separator 2")
            << QByteArray("\x02"
                          "A,?,045.R\r")
            << "1: <h|A,?,45.\n"
            << "45" + degree << busy << true << QStringList{QStringLiteral("Separator invalid, received:.")};
        QTest::newRow("status terminator LF") << QByteArray("\x02"
                                                            "A,?,045,R\n")
                                              << "1: <h|A,?,45,R<10>\n"
                                              << "45" + degree << QStringLiteral("READY") << false
                                              << QStringList{QStringLiteral("Terminator invalid, received ASC:10")};
        QTest::newRow("status terminator Z") << QByteArray("\x02"
                                                           "A,?,045,RZ")
                                             << "1: <h|A,?,45,RZ\n"
                                             << "45" + degree << QStringLiteral("READY") << false
                                             << QStringList{QStringLiteral("Terminator invalid, received ASC:90")};
        // Waits that run out inside a status frame: the line is still written; the one after it
        // too, although a character wait ran out (the timeout flag is lowered at each header).
        QTest::newRow("status stops inside the angle") << QByteArray("\x02"
                                                                     "A,?,04")
                                                       << "1: <h|A,?,\n"
                                                       << before << busy << true << QStringList{};
        QTest::newRow("status stops after the state")
            << QByteArray("\x02"
                          "A,?,045,R")
            << "1: <h|A,?,45,R\n"
            << "45" + degree << QStringLiteral("READY") << false
            << QStringList{QStringLiteral("Terminator invalid, received ASC:")};
        QTest::newRow("status stops after separator 2")
            << QByteArray("\x02"
                          "A,?,045,")
            << "1: <h|A,?,45,\n"
            << "45" + degree << QStringLiteral("???") << true
            << QStringList{QStringLiteral("Terminator invalid, received ASC:")};
        QTest::newRow("status stops after the letter")
            << QByteArray("\x02"
                          "A,?")
            << "1: <h|A,?\n"
            << before << busy << true << QStringList{QStringLiteral("<Separator> invalid, received:")};

        // Frames of other commands are listed as they came, blanks removed.
        QTest::newRow("M reply") << reply('M', "R") << "1: <h|A,M,R|r>\n" << before << busy << true << QStringList{};
        QTest::newRow("version digits as received") << reply('V', "00322") << "1: <h|A,V,00322|r>\n"
                                                    << before << busy << true << QStringList{};
        QTest::newRow("blanks removed") << QByteArray("\x02"
                                                      "A,G, R \r")
                                        << "1: <h|A,G,R|r>\n"
                                        << before << busy << true << QStringList{};
        // Only spaces are removed: every other character below 32 is shown by its code.
        QTest::newRow("control characters shown") << QByteArray("\x02"
                                                                "A,M,a\tb c \r")
                                                  << "1: <h|A,M,a<9>bc|r>\n"
                                                  << before << busy << true << QStringList{};
        QTest::newRow("LF and NUL shown") << QByteArray("\x02"
                                                        "A,V,\n0\x00"
                                                        "1\r",
                                                        10)
                                          << "1: <h|A,V,<10>0<0>1|r>\n"
                                          << before << busy << true << QStringList{};
        QTest::newRow("status with a tab") << QByteArray("\x02"
                                                         "A,?,045,\tR\r")
                                           << "1: <h|A,?,45,<9>R\n"
                                           << "45" + degree << QStringLiteral("???") << true
                                           << QStringList{QStringLiteral("Terminator invalid, received ASC:82")};
        // A CR where the command letter belongs is taken as the letter: the line never ends.
        QTest::newRow("command letter missing") << QByteArray("\x02"
                                                              "A,\r")
                                                << QString() << before << busy << true << QStringList{};
        // A frame of another command without CR is not listed; it still counts.
        QTest::newRow("raw frame without CR") << QByteArray("\x02"
                                                            "A,V,00322")
                                              << QString() << before << busy << true << QStringList{};
    }
    void frames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, listed);
        QFETCH(QString, position);
        QFETCH(QString, status);
        QFETCH(bool, statusRed);
        QFETCH(QStringList, messages);

        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);

        QString listingAfterFirst, positionAfterFirst, statusAfterFirst;
        bool redAfterFirst = false;
        QStringList messagesAfterFirst;
        QString captionAtSecond;

        Scenario scenario(t);
        scenario
            .when([&] { return running(t); }, [&] { t.port.arrive(bytes); })
            // Long enough for every wait inside the first frame to run out.
            .after(2 * TestWindow::replyPeriodMs + 50,
                   [&] {
                       listingAfterFirst = listing(t);
                       positionAfterFirst = t.edit(QStringLiteral("fast_pos"))->text();
                       statusAfterFirst = t.edit(QStringLiteral("fast_status"))->text();
                       redAfterFirst = red(t, QStringLiteral("fast_status"));
                       messagesAfterFirst = t.messages.shown;
                       t.port.arrive(reply('?', "200,R"));
                   })
            .when([&] { return listing(t).endsWith(QLatin1String("|r>\n")) && listing(t) != listingAfterFirst; },
                  [&] {
                      captionAtSecond = caption(t);
                      t.click(monitorButton);
                  });

        t.click(monitorButton);

        QVERIFY(!scenario.timedOut);
        QCOMPARE(listingAfterFirst, listed);
        QCOMPARE(positionAfterFirst, position);
        QCOMPARE(statusAfterFirst, status);
        QCOMPARE(redAfterFirst, statusRed);
        QCOMPARE(messagesAfterFirst, messages);
        // The second frame is the second counted, whether the first was listed or not.
        QCOMPARE(captionAtSecond, QStringLiteral("STOP"));
        QCOMPARE(listing(t), listed + QStringLiteral("2: <h|A,?,200,R|r>\n"));
        QCOMPARE(t.edit(QStringLiteral("fast_status"))->text(), QStringLiteral("READY"));
        QVERIFY(!red(t, QStringLiteral("fast_status")));
        QCOMPARE(t.messages.shown, messages);
        verifyEndedInOrder(t);
    }

    void framesAreNumberedInOrder()
    {
        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);
        Scenario scenario(t);
        scenario
            .when([&] { return running(t); },
                  [&] { t.port.arrive(reply('?', "001,B") + reply('M', "R") + reply('?', "002,R") + reply('S', "R")); })
            .when([&] { return listing(t).count(QLatin1Char('\n')) == 4; }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(listing(t), QStringLiteral("1: <h|A,?,1,B|r>\n2: <h|A,M,R|r>\n3: <h|A,?,2,R|r>\n4: <h|A,S,R|r>\n"));
        // A new run counts from 1 again, below what is listed already.
        scriptStart(t.port);
        scriptEnd(t.port);
        Scenario again(t);
        again.when([&] { return running(t); }, [&] { t.port.arrive(reply('M', "R")); })
            .when([&] { return listing(t).count(QLatin1Char('\n')) == 5; }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!again.timedOut);
        QVERIFY(listing(t).endsWith(QLatin1String("4: <h|A,S,R|r>\n1: <h|A,M,R|r>\n")));
    }

    // A frame whose identifier or first separator is wrong is listed as far as its CR and ends
    // monitoring: the closing S, the idle caption, `goto_replay` and the command group back on.
    void badFrameEndsMonitoring_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("listed");
        QTest::newRow("identifier B") << QByteArray("\x02"
                                                    "B,S,R\r")
                                      << "1: <h|,S,R|r>\n";
        QTest::newRow("identifier is case exact") << QByteArray("\x02"
                                                                "a,?,045,R\r")
                                                  << "1: <h|,?,045,R|r>\n";
        QTest::newRow("separator 1") << QByteArray("\x02"
                                                   "A;S,R\r")
                                     << "1: <h|AS,R|r>\n";
        QTest::newRow("bad identifier without CR") << QByteArray("\x02"
                                                                 "B,S,R")
                                                   << QString();
        QTest::newRow("lone header") << QByteArray("\x02") << QString();
    }
    void badFrameEndsMonitoring()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, listed);
        TestWindow t;
        t.button(QStringLiteral("execute"))->setEnabled(false);  // back on with the others at the end
        scriptStart(t.port);
        scriptEnd(t.port);
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.port.arrive(bytes); });
        QElapsedTimer clock;
        clock.start();
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(listing(t), listed);
        QCOMPARE(t.port.writes, (QList<QByteArray>{frame("S"), frame("?"), frame("M"), frame("S")}));
        QVERIFY(t.messages.shown.isEmpty());
        verifyEndedInOrder(t);
    }

    // The listing is emptied before a status line once it holds more than 65000 characters,
    // counted with CR LF line ends; other lines are appended whatever its length.
    void listingBound_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("emptied");
        const QString status = QStringLiteral("1: <h|A,?,45,R|r>\n");
        const QString raw = QStringLiteral("1: <h|A,M,R|r>\n");
        QTest::newRow("status line at the bound") << 65000 << reply('?', "045,R") << status << false;
        QTest::newRow("status line just over") << 65001 << reply('?', "045,R") << status << true;
        QTest::newRow("status line far over") << 90000 << reply('?', "045,R") << status << true;
        QTest::newRow("raw line just over") << 65001 << reply('M', "R") << raw << false;
        QTest::newRow("raw line far over") << 90000 << reply('M', "R") << raw << false;
    }
    void listingBound()
    {
        QFETCH(int, length);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, line);
        QFETCH(bool, emptied);

        // Lines of 98 characters, 100 with their CR LF, the last one longer to reach `length`.
        const int lines = length / 100;
        QString before;
        for (int i = 0; i < lines; ++i)
            before += QString(i == lines - 1 ? 98 + length % 100 : 98, QLatin1Char('x')) + QLatin1Char('\n');
        QCOMPARE(int(before.size() + before.count(QLatin1Char('\n'))), length);

        TestWindow t;
        t.window->resize(600, 600);
        t.window->show();
        t.window->setText(Field::cbox_reply_text, before);
        QCOMPARE(Monitor::listingLength(*listingBox(t)), qsizetype(length));
        scriptStart(t.port);
        scriptEnd(t.port);

        bool atEnd = false;
        int scrolled = 0;
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.port.arrive(bytes); })
            .when([&] { return listing(t).endsWith(line); },
                  [&] {
                      // The caret sits after the last line, and the view shows it.
                      QPlainTextEdit* box = listingBox(t);
                      atEnd = box->textCursor().atEnd() && box->viewport()->rect().contains(box->cursorRect());
                      scrolled = box->verticalScrollBar()->value();
                      t.click(monitorButton);
                  });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(listing(t), emptied ? line : before + line);
        QVERIFY(atEnd);
        if (!emptied)
            QVERIFY(scrolled > 0);
    }

    // However fast frames come, the window is drawn a few times a second, and the last drawing
    // shows every line.
    void aBurstOfFramesIsDrawnAFewTimesWithItsLastLine()
    {
        constexpr int frames = 100;
        QByteArray burst;
        for (int i = 1; i <= frames; ++i)
            burst += reply('?', QByteArray::number(i).rightJustified(3, '0') + ",R");
        TestWindow t;
        t.window->resize(600, 600);
        t.window->show();
        scriptStart(t.port);
        scriptEnd(t.port);
        PaintWatch paints(listingBox(t)->viewport(), listingBox(t));
        int drawings = -1;
        QString drawnLast;
        Scenario scenario(t);
        scenario
            .when([&] { return running(t); },
                  [&] {
                      paints.count = 0;
                      t.port.arrive(burst);
                  })
            .after(300, [&] {
                drawings = paints.count;
                drawnLast = paints.lastDrawn;
                t.click(monitorButton);
            });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QVERIFY2(drawings >= 1 && drawings <= 10, qPrintable(QString::number(drawings)));
        QVERIFY(drawnLast.endsWith(QLatin1String("99: <h|A,?,99,R|r>\n100: <h|A,?,100,R|r>\n")));
        QCOMPARE(listing(t).count(QLatin1Char('\n')), frames);
    }

    // Lines listed since the window was last drawn are part of the listing for whoever reads or
    // clears it: a reader gets them all, CLR REPLIES clears them too.
    void theListingIsWholeForItsReaders()
    {
        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);
        int arrivals = 0;
        QObject::connect(&t.port, &Port::readyRead, [&] { ++arrivals; });
        // The whole frame has been read, and so listed: nothing is read without being listed.
        const auto readUpTo = [&](int frame) { return arrivals == frame && t.port.pendingCount() == 0; };
        QString readWhole;
        Scenario scenario(t);
        scenario
            .when([&] { return running(t); },
                  [&] {
                      arrivals = 0;
                      t.port.arrive(reply('?', "001,R"));
                  })
            .when([&] { return readUpTo(1); },
                  [&] {
                      QCOMPARE(listing(t), QStringLiteral("1: <h|A,?,1,R|r>\n"));
                      t.port.arrive(reply('?', "002,R"));
                  })
            .when([&] { return readUpTo(2); },
                  [&] {
                      readWhole = listing(t);
                      t.port.arrive(reply('?', "003,R"));
                  })
            .when([&] { return readUpTo(3); },
                  [&] {
                      t.click(QStringLiteral("clr_reply"));
                      t.port.arrive(reply('M', "R"));
                  })
            .when([&] { return readUpTo(4); }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(readWhole, QStringLiteral("1: <h|A,?,1,R|r>\n2: <h|A,?,2,R|r>\n"));
        QCOMPARE(listing(t), QStringLiteral("4: <h|A,M,R|r>\n"));
        verifyEndedInOrder(t);
    }

    void stopWhileNoFrameArrives()
    {
        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);
        QElapsedTimer clock;
        qint64 stoppedAt = -1;
        std::clock_t cpuAtStart = 0, cpuAtStop = 0;
        qint64 idleStart = 0;
        Scenario scenario(t);
        scenario.when([&] { return running(t); },
                      [&] {
                          cpuAtStart = std::clock();
                          idleStart = clock.elapsed();
                          // Nothing else is scheduled: the monitor's wait is woken by the click only.
                          QTimer::singleShot(400, t.window.get(), [&] {
                              cpuAtStop = std::clock();
                              stoppedAt = clock.elapsed();
                              t.click(monitorButton);
                          });
                      });
        clock.start();
        t.click(monitorButton);
        const qint64 endedAt = clock.elapsed();
        QVERIFY(!scenario.timedOut);
        QVERIFY(stoppedAt >= 0);
        // The loop ends at once: only the closing S (answered at once) lies between.
        QVERIFY2(endedAt - stoppedAt < TestWindow::replyPeriodMs, qPrintable(QString::number(endedAt - stoppedAt)));
        // Waiting costs no processor time.
        const double cpuMs = 1000.0 * double(cpuAtStop - cpuAtStart) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 0.5 * double(stoppedAt - idleStart),
                 qPrintable(QStringLiteral("%1 ms of processor time").arg(cpuMs)));
        QCOMPARE(t.port.writes, (QList<QByteArray>{frame("S"), frame("?"), frame("M"), frame("S")}));
        QCOMPARE(t.port.closes, 5);  // three opening exchanges, the monitor's end, the closing S
        QVERIFY(t.messages.shown.isEmpty());
        verifyEndedInOrder(t);
    }

    // The box sends status frames until it has S: those still on the line when monitoring ends
    // come before the closing S's reply and are passed over, up to the few that can be in flight.
    void closingSPassesOverStatusFramesInFlight_data()
    {
        QTest::addColumn<int>("inFlight");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("one") << 1 << QStringList{};
        QTest::newRow("three") << 3 << QStringList{};
        QTest::newRow("four is no longer in flight") << 4 << QStringList{QStringLiteral("<Cmd> invalid, received:?")};
    }
    void closingSPassesOverStatusFramesInFlight()
    {
        QFETCH(int, inFlight);
        QFETCH(QStringList, messages);
        TestWindow t;
        scriptStart(t.port);
        QByteArray answer;
        for (int i = 0; i < inFlight; ++i)
            answer += reply('?', "200,B");
        t.port.expect(frame("S"), answer + reply('S', "R"));
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(t.messages.shown, messages);
        verifyEndedInOrder(t);
    }

    // A click on another command while the monitor runs only sends its frame; the reply is listed,
    // and a status reply is decoded by the monitor.
    void otherCommandsWhileMonitoring()
    {
        TestWindow t;
        scriptStart(t.port);
        t.port.expect(frame("V"), reply('V', "00322"));
        t.port.expect(frame("?"), reply('?', "045,R"));
        scriptEnd(t.port);
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.click(QStringLiteral("command_v")); })
            .when([&] { return listing(t).count(QLatin1Char('\n')) == 1; },
                  [&] { t.click(QStringLiteral("command_qm")); })
            .when([&] { return listing(t).count(QLatin1Char('\n')) == 2; }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(listing(t), QStringLiteral("1: <h|A,V,00322|r>\n2: <h|A,?,45,R|r>\n"));
        QCOMPARE(t.edit(QStringLiteral("firm_version"))->text(), QStringLiteral("???.??"));
        QCOMPARE(t.edit(QStringLiteral("fast_pos"))->text(), "45" + degree);
        QCOMPARE(t.edit(QStringLiteral("fast_status"))->text(), QStringLiteral("READY"));
        QVERIFY(t.messages.shown.isEmpty());
        QCOMPARE(t.port.writes,
                 (QList<QByteArray>{frame("S"), frame("?"), frame("M"), frame("V"), frame("?"), frame("S")}));
        QVERIFY(t.button(QStringLiteral("command_qm"))->isEnabled());
        verifyEndedInOrder(t);
    }

    // Another exchange's ENABLE_BUTTONS while the monitor runs leaves `write_mode` off.
    void writeButtonStaysOffWhileMonitoring()
    {
        TestWindow t;
        scriptStart(t.port);
        t.port.expect(frame("G90"), reply('G', "R"));
        scriptEnd(t.port);
        t.edit(QStringLiteral("go_to_angle"))->setText(QStringLiteral("90"));
        bool writeOff = false, monitorRed = false, othersOn = false;
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.click(QStringLiteral("execute")); })
            .when([&] { return !listing(t).isEmpty(); },
                  [&] {
                      writeOff = !t.button(QStringLiteral("write_mode"))->isEnabled()
                                 && buttonColour(t, "write_mode") == colours::buttonFace();
                      monitorRed =
                          t.button(monitorButton)->isEnabled() && buttonColour(t, "cmd_monitor") == colours::invalidRed;
                      othersOn = t.button(QStringLiteral("read_info"))->isEnabled()
                                 && buttonColour(t, "read_info") == colours::lightGreen;
                      t.click(monitorButton);
                  });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(listing(t), QStringLiteral("1: <h|A,G,R|r>\n"));
        QVERIFY(writeOff);
        QVERIFY(monitorRed);
        QVERIFY(othersOn);
        verifyEndedInOrder(t);
    }

    // The stop click itself: idle caption, light green, `goto_replay` and `write_mode` on at once,
    // before the loop has ended.
    void stopClickSwitchesAtOnce()
    {
        TestWindow t;
        scriptStart(t.port);
        t.port.expect(frame("S"), reply('S', "R"), 60);  // the closing S answers late
        bool switched = false;
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.click(monitorButton); }).after(20, [&] {
            // Inside the closing S's wait.
            switched = caption(t) == QLatin1String("START...") && t.button(monitorButton)->isEnabled()
                       && buttonColour(t, "cmd_monitor") == colours::lightGreen
                       && t.find<QWidget>(QStringLiteral("goto_replay"))->isEnabled()
                       && t.button(QStringLiteral("write_mode"))->isEnabled()
                       && buttonColour(t, "write_mode") == colours::lightGreen;
        });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QVERIFY(switched);
        verifyEndedInOrder(t);
    }

    // Assistive technology reads the caption the monitor's button shows now.
    void accessibleNameFollowsTheCaption()
    {
        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);
        const auto name = [&] {
            return QAccessible::queryAccessibleInterface(t.button(monitorButton))->text(QAccessible::Name);
        };
        QString whileRunning;
        Scenario scenario(t);
        scenario.when([&] { return running(t); },
                      [&] {
                          whileRunning = name();
                          t.click(monitorButton);
                      });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(whileRunning, QStringLiteral("STOP"));
        QCOMPARE(name(), QStringLiteral("START..."));
    }

    void lostPortEndsMonitoring()
    {
        TestWindow t;
        scriptStart(t.port);
        scriptEnd(t.port);
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { t.port.hangUp(); });
        QElapsedTimer clock;
        clock.start();
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(t.port.writes.last(), frame("S"));
        QVERIFY(t.messages.shown.isEmpty());
        verifyEndedInOrder(t);
    }

    void portThatWillNotOpen()
    {
        // No port: every exchange says so, and the monitor does not sit on a closed port.
        TestWindow t;
        t.port.failOpen = true;
        t.window->link().choice().setNumber(4);
        Scenario watchdog(t);
        t.click(monitorButton);
        QVERIFY(!watchdog.timedOut);
        QCOMPARE(t.messages.shown, QStringList(5, QStringLiteral("ERROR OPENING COM PORT # 4")));
        QVERIFY(t.port.written.isEmpty());
        t.port.failOpen = false;
        verifyEndedInOrder(t);
    }

    // While a frame is read, no exchange may take its character waits away: a click then is sent
    // right after the frame, a stop at once without touching the frame's waits.
    void clicksWhileAFrameIsRead()
    {
        TestWindow t;
        scriptStart(t.port);
        t.port.expect(frame("G999"), reply('G', "R"), 300);  // after the cut frame's wait has run out
        t.port.expect(frame("V"), reply('V', "00322"));
        scriptEnd(t.port);
        QList<QByteArray> writesDuringFrame;
        Scenario scenario(t);
        // A frame that stops short, its characters a few milliseconds apart.
        scenario
            .when([&] { return running(t); },
                  [&] {
                      t.port.trickle("\x02"
                                     "A,V,003",
                                     5);
                  })
            .when([&] { return t.window->exchangeLock().busy(); },
                  [&] {
                      t.click(QStringLiteral("command_v"));
                      t.click(QStringLiteral("fast_stop"));
                      writesDuringFrame = t.port.writes;
                  })
            .when([&] { return listing(t).count(QLatin1Char('\n')) == 2; }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(writesDuringFrame.size(), 4);
        QCOMPARE(t.port.writes,
                 (QList<QByteArray>{frame("S"), frame("?"), frame("M"), frame("G999"), frame("V"), frame("S")}));
        // The cut frame's wait ran out on its own timer and nothing was listed for it; the replies
        // to the clicks are the second and third frames.
        QCOMPARE(listing(t), QStringLiteral("2: <h|A,V,00322|r>\n3: <h|A,G,R|r>\n"));
        QVERIFY(t.messages.shown.isEmpty());
        verifyEndedInOrder(t);
    }

    // When the frame being read ends monitoring (a bad frame, or STOP of the monitor clicked while
    // it is read), the clicks queued during it are no longer send-only frames: they run after the
    // closing S as whole exchanges, in click order. A stop has gone out at once; the closing S
    // passes its reply over.
    void clicksQueuedByAFrameThatEndsMonitoring_data()
    {
        QTest::addColumn<QByteArray>("frameBytes");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QList<QByteArray>>("script");  // frame written, reply; after the start
        QTest::addColumn<QList<QByteArray>>("writes");  // after S ? M
        QTest::addColumn<QStringList>("shown");

        const QByteArray statusFrame = "\x02"
                                       "A,?,045,R\r";
        QTest::newRow("V clicked during a frame with a wrong identifier")
            << QByteArray("\x02"
                          "X,?,045,R\r")
            << QStringList{QStringLiteral("command_v")}
            << QList<QByteArray>{frame("S"), reply('S', "R"), frame("V"), reply('V', "00322")}
            << QList<QByteArray>{frame("S"), frame("V")} << QStringList();
        QTest::newRow("cmd ? clicked, then STOP of the monitor")
            << statusFrame << QStringList{QStringLiteral("command_qm"), monitorButton}
            << QList<QByteArray>{frame("S"), reply('S', "R"), frame("?"), reply('?', "045,R")}
            << QList<QByteArray>{frame("S"), frame("?")} << QStringList();
        // The box answers the stop only once the port is open again: the closing S meets that
        // reply first.
        QTest::newRow("STOP! clicked, then STOP of the monitor")
            << statusFrame << QStringList{QStringLiteral("fast_stop"), monitorButton}
            << QList<QByteArray>{frame("G999"), QByteArray(), frame("S"), reply('G', "R") + reply('S', "R")}
            << QList<QByteArray>{frame("G999"), frame("S")} << QStringList();
        QTest::newRow("Soft STOP clicked during a frame with a wrong separator")
            << QByteArray("\x02"
                          "A;?,045,R\r")
            << QStringList{QStringLiteral("soft_stop")}
            << QList<QByteArray>{frame("G977"), QByteArray(), frame("S"), reply('G', "R") + reply('S', "R")}
            << QList<QByteArray>{frame("G977"), frame("S")} << QStringList();
        QTest::newRow("cmd W clicked after STOP of the monitor")
            << statusFrame << QStringList{monitorButton, QStringLiteral("write_mode")}
            << QList<QByteArray>{frame("S"), reply('S', "R"), frame("S"), reply('S', "R"), frame("W"), reply('W', "B")}
            << QList<QByteArray>{frame("S"), frame("S"), frame("W")}
            << QStringList{QStringLiteral("CBOX Busy, parameters cannot be updated!")};
    }

    void clicksQueuedByAFrameThatEndsMonitoring()
    {
        QFETCH(QByteArray, frameBytes);
        QFETCH(QStringList, clicks);
        QFETCH(QList<QByteArray>, script);
        QFETCH(QList<QByteArray>, writes);
        QFETCH(QStringList, shown);

        TestWindow t;
        t.messages.answers = {true, true};  // Set Default, then cmd W
        t.click(QStringLiteral("set_default"));
        scriptStart(t.port);
        for (qsizetype i = 0; i + 1 < script.size(); i += 2)
            t.port.expect(script.at(i), script.at(i + 1), script.at(i + 1).isEmpty() ? -1 : 0);
        Scenario scenario(t);
        // The frame's characters come a few milliseconds apart; the clicks fall inside it.
        scenario.when([&] { return running(t); }, [&] { t.port.trickle(frameBytes, 5); })
            .when([&] { return t.window->exchangeLock().busy(); },
                  [&] {
                      for (const QString& name : clicks)
                          t.click(name);
                  });
        t.click(monitorButton);
        QTRY_VERIFY(!t.window->exchangeLock().busy());
        QVERIFY(!scenario.timedOut);
        QCOMPARE(t.port.writes.mid(3), writes);
        QCOMPARE(t.messages.shown, shown);
        QVERIFY(!t.port.remainingExpectations());
        verifyEndedInOrder(t);
    }

    void startRefusedWhileAnotherExchangeRuns()
    {
        TestWindow t;
        t.port.expect(frame("?"), reply('?', "045,R"), 60);
        QTimer::singleShot(20, t.window.get(), [&] { t.click(monitorButton); });
        t.click(QStringLiteral("command_qm"));
        QCOMPARE(t.port.writes, QList<QByteArray>{frame("?")});
        QCOMPARE(caption(t), QStringLiteral("START..."));
        QVERIFY(t.button(monitorButton)->isEnabled());
        QCOMPARE(buttonColour(t, "cmd_monitor"), colours::green);
        QVERIFY(t.messages.shown.isEmpty());
    }

    // A tracking program's go-to while the monitor runs: its answer is read among the frames, and
    // the program is answered only once that frame has come.
    void networkGoToAnsweredAmongFrames_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("code");
        QTest::newRow("accepted") << QByteArray("R") << QByteArray("RPRT 0\n");
        QTest::newRow("refused") << QByteArray("E") << QByteArray("RPRT -9\n");
        QTest::newRow("another letter") << QByteArray("Q") << QByteArray("RPRT -8\n");
    }
    void networkGoToAnsweredAmongFrames()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, code);
        TestWindow t;
        const quint16 port = t.serveNetwork();
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        scriptStart(t.port);
        scriptEnd(t.port);
        QByteArray beforeFrame;
        Scenario scenario(t);
        scenario.when([&] { return running(t); }, [&] { client.write("P 30 0\n"); })
            .when([&] { return t.port.written.endsWith(frame("G30")); },
                  [&] {
                      t.port.arrive(reply('?', "020,B"));
                      t.port.arrive(reply('G', answer), 150);
                  })
            .after(100, [&] { beforeFrame = client.readAll(); })
            .when([&] { return client.canReadLine(); }, [&] { t.click(monitorButton); });
        t.click(monitorButton);
        QVERIFY(!scenario.timedOut);
        QCOMPARE(beforeFrame, QByteArray());
        QCOMPARE(client.readAll(), code);
        QVERIFY(t.messages.shown.isEmpty());
    }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
