// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration window and its four commands through the scripted port: one window however
// often it is opened, the frames C, c, F and K, the acknowledgement and its failures, the live
// range marks of the two entries, and the window's life beside the main window.

#include "support/test_window.h"
#include "ui/colours.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QtTest>

namespace {

// The main window with the calibration window's own controls at hand (both windows have a
// `calib` button).
struct Rig : TestWindow {
    using TestWindow::TestWindow;

    // Opens the calibration window with the main window's `calib` button.
    CalibrationWindow* openCalibration() const
    {
        window->findChild<QAbstractButton*>(QStringLiteral("calib"))->click();
        return window->calibrationWindow();
    }
    // A control of the calibration window.
    template <typename T = QWidget> T* calibrationControl(const QString& name) const
    {
        return window->calibrationWindow() ? window->calibrationWindow()->findChild<T*>(name) : nullptr;
    }
    void clickCalibration(const QString& name) const { calibrationControl<QAbstractButton>(name)->click(); }
};

// Windows closed with WA_DeleteOnClose go at the next turn of the event loop.
void deleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QList<QWidget*> calibrationWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("CALIBRATION"))
            found << w;
    return found;
}

const QString calAngle = QStringLiteral("calib_angle");
const QString calFactor = QStringLiteral("cal_factor");
const QColor lightBlue{192, 192, 255};
const QColor paleGreen{192, 255, 192};

// The button of the calibration window that sends each command letter.
QString buttonFor(char letter)
{
    switch (letter) {
    case 'C': return QStringLiteral("calib360");
    case 'c': return QStringLiteral("calib_def");
    case 'F': return QStringLiteral("write_factor");
    default: return QStringLiteral("calib");
    }
}

QString refusal(char letter)
{
    return QStringLiteral("Cmd %1 not accepted: the CBOX is BUSY or NOT in ABSOLUTE mode!").arg(QLatin1Char(letter));
}

const QStringList mainButtons = TestWindow::commandGroup + TestWindow::otherButtons;
const QStringList calibrationButtons{QStringLiteral("calib_def"), QStringLiteral("calib360"), QStringLiteral("calib"),
                                     QStringLiteral("write_factor")};

// The offscreen platform cannot raise a window and says so each time the window is opened.
QtMessageHandler previousHandler = nullptr;
void dropRaiseWarning(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text == QLatin1String("This plugin does not support raise()"))
        return;
    previousHandler(type, context, text);
}

}  // namespace

class CalibrationTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(dropRaiseWarning); }
    void init() { deleteClosedWindows(); }
    void cleanup() { deleteClosedWindows(); }

    void oneWindowHoweverOftenOpened()
    {
        Rig t;
        QVERIFY(!t.window->calibrationWindow());
        CalibrationWindow* first = t.openCalibration();
        CalibrationWindow* second = t.openCalibration();
        QVERIFY(first);
        QCOMPARE(second, first);
        QCOMPARE(calibrationWindows(), QList<QWidget*>{first});
        QVERIFY(first->isVisible());
        QVERIFY(first->isWindow());
        QCOMPARE(first->objectName(), QStringLiteral("CALIBRATION"));
    }

    void frames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QString>("entryName");  // the entry to type into; empty for none
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("360") << 'C' << QString() << QString()
                             << QByteArray("\x02"
                                           "AC\r");
        QTest::newRow("default") << 'c' << QString() << QString()
                                 << QByteArray("\x02"
                                               "Ac\r");
        QTest::newRow("factor") << 'F' << calFactor << "12000"
                                << QByteArray("\x02"
                                              "AF12000\r");
        QTest::newRow("factor with spaces") << 'F' << calFactor << "  4711 "
                                            << QByteArray("\x02"
                                                          "AF4711\r");
        QTest::newRow("factor out of range, sent as typed") << 'F' << calFactor << "999"
                                                            << QByteArray("\x02"
                                                                          "AF999\r");
        QTest::newRow("angle untouched") << 'K' << QString() << QString()
                                         << QByteArray("\x02"
                                                       "AK90\r");
        QTest::newRow("angle with spaces") << 'K' << calAngle << " 180  "
                                           << QByteArray("\x02"
                                                         "AK180\r");
        QTest::newRow("angle with leading zero") << 'K' << calAngle << "045"
                                                 << QByteArray("\x02"
                                                               "AK045\r");
        QTest::newRow("angle out of range, sent as typed") << 'K' << calAngle << "501"
                                                           << QByteArray("\x02"
                                                                         "AK501\r");
    }
    void frames()
    {
        QFETCH(char, letter);
        QFETCH(QString, entryName);
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        Rig t;
        t.openCalibration();
        if (!entryName.isEmpty())
            t.edit(entryName)->setText(typed);
        t.port.expect(sent, reply(letter, "R"));
        t.clickCalibration(buttonFor(letter));
        QCOMPARE(t.port.written, sent);
        QCOMPARE(t.port.writes.size(), 1);
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(!t.port.isOpen());
    }

    // F and K carry their entry's text to the box: what is not a plain number is refused with one
    // message, and nothing is sent.
    void calibrationValueThatIsNotANumberIsNotSent_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QString>("entryName");  // the entry to type into; empty for none
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString plain =
            QStringLiteral("a plain number: digits, with an optional \"-\" and decimals after a \".\".");
        const QString factorHolds = QStringLiteral("cmd F not sent: Calibration factor holds ");
        const QString angleHolds = QStringLiteral("cmd K not sent: Calibration angle holds ");
        QTest::newRow("factor untouched")
            << 'F' << QString() << QString() << factorHolds + "\"?\"; it may hold " + plain;
        QTest::newRow("factor empty") << 'F' << calFactor << "" << factorHolds + "nothing; it may hold " + plain;
        QTest::newRow("factor with a letter")
            << 'F' << calFactor << "12abc" << factorHolds + "\"12abc\"; it may hold " + plain;
        QTest::newRow("factor with a CR")
            << 'F' << calFactor << "10\r00" << factorHolds + "\"10<13>00\"; it may hold " + plain;
        QTest::newRow("angle empty") << 'K' << calAngle << "" << angleHolds + "nothing; it may hold " + plain;
        QTest::newRow("angle with a +")
            << 'K' << calAngle << "+90"
            << angleHolds + "\"+90\"; it may hold a plain number: write the number without its \"+\".";
        QTest::newRow("angle as an exponent")
            << 'K' << calAngle << "9e1" << angleHolds + "\"9e1\"; it may hold " + plain;
    }
    void calibrationValueThatIsNotANumberIsNotSent()
    {
        QFETCH(char, letter);
        QFETCH(QString, entryName);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Rig t;
        t.openCalibration();
        if (!entryName.isEmpty())
            t.edit(entryName)->setText(typed);
        t.clickCalibration(buttonFor(letter));
        QCOMPARE(t.messages.shown, QStringList{message});
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
    }

    void replies_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("unread");  // characters of the reply left unread when the port closed

        for (char letter : {'C', 'c', 'F', 'K'}) {
            const QByteArray l(1, letter);
            const auto row = [letter](const char* what) -> QTestData& { return QTest::addRow("%c: %s", letter, what); };
            row("accepted") << letter << reply(letter, "R") << QStringList{} << 0;
            // A refusal ends the exchange: the terminator is not read.
            row("refused") << letter << reply(letter, "B") << QStringList{refusal(letter)} << 1;
            row("refused, no terminator") << letter
                                          << QByteArray("\x02"
                                                        "A,"
                                                        + l + ",B")
                                          << QStringList{refusal(letter)} << 0;
            row("timeout")
                << letter << QByteArray("A," + l + ",R\r")
                << QStringList{QStringLiteral("cmd %1, Communication timeout on <header>").arg(QLatin1Char(letter))}
                << 0;
        }
        // Any status but B is acceptance, followed by the terminator test.
        QTest::newRow("C: E is acceptance") << 'C' << reply('C', "E") << QStringList{} << 0;
        QTest::newRow("K: lower-case b is acceptance") << 'K' << reply('K', "b") << QStringList{} << 0;
        QTest::newRow("F: E then LF") << 'F'
                                      << QByteArray("\x02"
                                                    "A,F,E\n")
                                      << QStringList{"Terminator invalid, received ASC:10"} << 0;
        QTest::newRow("c: R then LF") << 'c'
                                      << QByteArray("\x02"
                                                    "A,c,R\n")
                                      << QStringList{"Terminator invalid, received ASC:10"} << 0;
        QTest::newRow("C: R then a letter") << 'C'
                                            << QByteArray("\x02"
                                                          "A,C,RX\r")
                                            << QStringList{"Terminator invalid, received ASC:88"} << 1;
        // The echo is compared letter for letter.
        QTest::newRow("c answered with C") << 'c' << reply('C', "R") << QStringList{"<Cmd> invalid, received:C"} << 3;
        QTest::newRow("C answered with c") << 'C' << reply('c', "R") << QStringList{"<Cmd> invalid, received:c"} << 3;
        QTest::newRow("K answered with F") << 'K' << reply('F', "B") << QStringList{"<Cmd> invalid, received:F"} << 3;
        QTest::newRow("identifier") << 'F'
                                    << QByteArray("\x02"
                                                  "X,F,R\r")
                                    << QStringList{"<Identifier> invalid, received:X"} << 5;
        QTest::newRow("separator 1") << 'K'
                                     << QByteArray("\x02"
                                                   "A.K,R\r")
                                     << QStringList{"<Separator>1 invalid, received:."} << 4;
        QTest::newRow("separator 2") << 'c'
                                     << QByteArray("\x02"
                                                   "A,c;R\r")
                                     << QStringList{"<Separator>2 invalid, received:;"} << 2;
        QTest::newRow("stray bytes before the header")
            << 'C' << QByteArray("\r\nA,C,B\r" + reply('C', "R")) << QStringList{} << 0;
        QTest::newRow("reply stops after the header")
            << 'K' << QByteArray("\x02") << QStringList{"<Identifier> invalid, received:"} << 0;
    }
    void replies()
    {
        QFETCH(char, letter);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, unread);
        Rig t;
        t.openCalibration();
        t.edit(calFactor)->setText(QStringLiteral("5000"));
        t.edit(calAngle)->setText(QStringLiteral("100"));
        const QByteArray sent = frame(QByteArray(1, letter) + (letter == 'F' ? "5000" : letter == 'K' ? "100" : ""));
        t.port.expect(sent, answer);
        QElapsedTimer clock;
        clock.start();
        t.clickCalibration(buttonFor(letter));
        QCOMPARE(t.port.written, sent);
        QCOMPARE(t.messages.shown, messages);
        if (messages.value(0).contains(QLatin1String("timeout")))
            QVERIFY(clock.elapsed() >= TestWindow::replyPeriodMs - 20);
        // Whatever happened, the exchange ends in order.
        QVERIFY(!t.port.isOpen());
        QCOMPARE(t.port.unreadAtClose, qint64(unread));
        QVERIFY(!t.window->link().timerArmed());
        QVERIFY(!t.window->link().timedOut());
    }

    void identifierMustComeWithinTheHeadersPeriod()
    {
        // Timer1 keeps running after the header: the identifier gets only what is left of the
        // period that the header wait started.
        const int period = 400;
        Rig t(period);
        t.openCalibration();
        t.port.expect(frame("C"), "\x02", period / 2);
        t.port.arrive("A,C,R\r", period * 5 / 4);
        t.clickCalibration(QStringLiteral("calib360"));
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("<Identifier> invalid, received:")});
        QVERIFY(!t.window->link().timedOut());
    }

    void portFailureSendsNothing_data()
    {
        QTest::addColumn<char>("letter");
        QTest::newRow("C") << 'C';
        QTest::newRow("c") << 'c';
        QTest::newRow("F") << 'F';
        QTest::newRow("K") << 'K';
    }
    void portFailureSendsNothing()
    {
        QFETCH(char, letter);
        Rig t;
        t.openCalibration();
        t.edit(calFactor)->setText(QStringLiteral("5000"));
        t.port.failOpen = true;
        t.window->link().choice().setNumber(3);
        t.clickCalibration(buttonFor(letter));
        QCOMPARE(t.messages.shown, QStringList{QStringLiteral("ERROR OPENING COM PORT # 3")});
        QVERIFY(t.port.written.isEmpty());
        QVERIFY(!t.window->link().timerArmed());
    }

    void clickDuringACalibrationExchange_data()
    {
        QTest::addColumn<bool>("inCalibrationWindow");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("later");  // what goes out after the exchange; empty when refused
        QTest::newRow("another calibration command is refused") << true << "calib_def" << QByteArray();
        QTest::newRow("the same one again is refused") << true << "calib360" << QByteArray();
        QTest::newRow("a main-window command is refused") << false << "command_s" << QByteArray();
        QTest::newRow("go to is refused") << false << "execute" << QByteArray();
        QTest::newRow("a stop is sent after the exchange") << false << "soft_stop" << frame("G977");
    }
    void clickDuringACalibrationExchange()
    {
        QFETCH(bool, inCalibrationWindow);
        QFETCH(QString, button);
        QFETCH(QByteArray, later);
        Rig t;
        t.openCalibration();
        t.port.expect(frame("C"), reply('C', "R"), 60);
        if (!later.isEmpty())
            t.port.expect(later, reply('G', "R"));
        bool clicked = false;
        QTimer::singleShot(20, [&] {
            QAbstractButton* b = inCalibrationWindow ? t.calibrationControl<QAbstractButton>(button)
                                                     : t.window->findChild<QAbstractButton*>(button);
            clicked = b->isEnabled();
            b->click();
        });
        t.clickCalibration(QStringLiteral("calib360"));
        QVERIFY(clicked);
        QCOMPARE(t.port.written, frame("C") + later);
        QVERIFY(t.port.unexpected.isEmpty());
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(!t.port.isOpen());
    }

    void noButtonIsSwitchedOffDuringAnExchange_data()
    {
        QTest::addColumn<char>("letter");
        QTest::newRow("C") << 'C';
        QTest::newRow("c") << 'c';
        QTest::newRow("F") << 'F';
        QTest::newRow("K") << 'K';
    }
    void noButtonIsSwitchedOffDuringAnExchange()
    {
        QFETCH(char, letter);
        Rig t;
        t.openCalibration();
        QHash<QString, QColor> mainBefore;
        for (const QString& name : mainButtons)
            mainBefore.insert(name, colours::buttonColour(t.window->findChild<QAbstractButton*>(name)));
        QHash<QString, QColor> calibrationBefore;
        for (const QString& name : calibrationButtons)
            calibrationBefore.insert(name, colours::buttonColour(t.calibrationControl<QAbstractButton>(name)));

        t.edit(calFactor)->setText(QStringLiteral("5000"));
        t.port.expect(frame(QByteArray(1, letter)
                            + (letter == 'F'   ? "5000"
                               : letter == 'K' ? "90"
                                               : "")),
                      reply(letter, "R"), 60);
        bool checked = false;
        QStringList changed;
        QTimer::singleShot(20, [&] {
            checked = true;
            for (const QString& name : mainButtons) {
                auto* b = t.window->findChild<QAbstractButton*>(name);
                if (!b->isEnabled() || colours::buttonColour(b) != mainBefore.value(name))
                    changed << QStringLiteral("main ") + name;
            }
            for (const QString& name : calibrationButtons) {
                auto* b = t.calibrationControl<QAbstractButton>(name);
                if (!b->isEnabled() || colours::buttonColour(b) != calibrationBefore.value(name))
                    changed << QStringLiteral("calibration ") + name;
            }
        });
        t.clickCalibration(buttonFor(letter));
        QVERIFY(checked);
        QCOMPARE(changed, QStringList{});
        QVERIFY(t.messages.shown.isEmpty());
    }

    void entryRanges_data()
    {
        QTest::addColumn<QString>("entryName");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("valid");
        QTest::newRow("angle 10") << calAngle << "10" << true;
        QTest::newRow("angle 500") << calAngle << "500" << true;
        QTest::newRow("angle 9.5") << calAngle << "9.5" << false;
        QTest::newRow("angle 501") << calAngle << "501" << false;
        QTest::newRow("angle 500.5") << calAngle << "500.5" << false;
        QTest::newRow("angle negative") << calAngle << "-90" << false;
        QTest::newRow("angle emptied") << calAngle << "" << false;
        QTest::newRow("angle question mark") << calAngle << "?" << false;
        QTest::newRow("factor 1000") << calFactor << "1000" << true;
        QTest::newRow("factor 15000") << calFactor << "15000" << true;
        QTest::newRow("factor 999") << calFactor << "999" << false;
        QTest::newRow("factor 999.9") << calFactor << "999.9" << false;
        QTest::newRow("factor 15001") << calFactor << "15001" << false;
        QTest::newRow("factor far above") << calFactor << "1e6" << false;
        QTest::newRow("factor emptied") << calFactor << "" << false;
        QTest::newRow("factor spaced digits") << calFactor << "1 2 0 0 0" << true;
    }
    void entryRanges()
    {
        QFETCH(QString, entryName);
        QFETCH(QString, typed);
        QFETCH(bool, valid);
        const QColor expected = valid ? colours::window() : colours::invalidRed;
        // Straight from the initial tint, and from each of the two marks.
        for (const QString& before : {QString(), QStringLiteral("100000"), QStringLiteral("1200")}) {
            Rig t;
            t.openCalibration();
            if (!before.isNull())
                t.edit(entryName)->setText(before);
            t.edit(entryName)->setText(typed);
            QCOMPARE(t.background(entryName), expected);
        }
    }

    void initialTints()
    {
        Rig t;
        t.openCalibration();
        QCOMPARE(t.edit(calAngle)->text(), QStringLiteral("90"));
        QCOMPARE(t.edit(calFactor)->text(), QStringLiteral("?"));
        // "?" has the value 0, out of range, yet nothing judged it: it keeps its tint.
        QCOMPARE(t.background(calFactor), paleGreen);
        QCOMPARE(t.background(calAngle), lightBlue);
        // A valid value takes the window colour, and the tint does not come back.
        t.edit(calAngle)->setText(QStringLiteral("120"));
        t.edit(calAngle)->setText(QStringLiteral("90"));
        QCOMPARE(t.background(calAngle), colours::window());
    }

    void reopeningStartsAfresh()
    {
        Rig t;
        QPointer<CalibrationWindow> first = t.openCalibration();
        t.edit(calAngle)->setText(QStringLiteral("7"));
        t.edit(calFactor)->setText(QStringLiteral("2000"));
        QVERIFY(first->close());
        deleteClosedWindows();
        QVERIFY(!first->isVisible());

        CalibrationWindow* second = t.openCalibration();
        QCOMPARE(second, first.data());
        QVERIFY(second->isVisible());
        QCOMPARE(calibrationWindows().size(), 1);
        QCOMPARE(t.edit(calAngle)->text(), QStringLiteral("90"));
        QCOMPARE(t.edit(calFactor)->text(), QStringLiteral("?"));
        QCOMPARE(t.background(calAngle), lightBlue);
        QCOMPARE(t.background(calFactor), paleGreen);
        // And its commands go out as usual.
        t.port.expect(frame("K90"), reply('K', "R"));
        t.clickCalibration(QStringLiteral("calib"));
        QCOMPARE(t.port.written, frame("K90"));
        QVERIFY(t.messages.shown.isEmpty());
    }

    void survivesTheMainWindowsClose()
    {
        Rig t;
        t.window->show();
        QPointer<CalibrationWindow> calibration = t.openCalibration();
        QVERIFY(t.window->close());
        deleteClosedWindows();
        QCoreApplication::processEvents();
        QVERIFY(!t.window->isVisible());
        QVERIFY(calibration);
        QVERIFY(calibration->isVisible());

        // Its exchanges still run on the main window's link, replies and messages included.
        t.edit(calFactor)->setText(QStringLiteral("3000"));
        t.port.expect(frame("F3000"), reply('F', "B"), 20);
        t.clickCalibration(QStringLiteral("write_factor"));
        t.port.expect(frame("C"), reply('C', "R"));
        t.clickCalibration(QStringLiteral("calib360"));
        QCOMPARE(t.port.written, frame("F3000") + frame("C"));
        QCOMPARE(t.messages.shown, QStringList{refusal('F')});
        QVERIFY(!t.port.isOpen());
        QVERIFY(calibration->isVisible());
    }

    void closedWhileItsExchangeWaits()
    {
        Rig t;
        t.window->show();
        QPointer<CalibrationWindow> calibration = t.openCalibration();
        t.port.expect(frame("C"), reply('C', "B"), 60);
        bool closedInTime = false;
        QTimer::singleShot(20, [&] { closedInTime = t.port.isOpen() && calibration && calibration->close(); });
        // The window outlives the handler that runs its exchange.
        bool aliveAtTheReply = false;
        t.messages.onInform = [&](const QString&) { aliveAtTheReply = !calibration.isNull(); };
        // Clicked with the mouse, as the operator does.
        QTest::mouseClick(t.calibrationControl<QAbstractButton>(QStringLiteral("calib360")), Qt::LeftButton);
        QVERIFY(closedInTime);
        QCOMPARE(t.messages.shown, QStringList{refusal('C')});
        QVERIFY(aliveAtTheReply);
        QVERIFY(!t.port.isOpen());

        // Then it is hidden, and the next opening starts afresh.
        deleteClosedWindows();
        QVERIFY(!calibration->isVisible());
        t.openCalibration();
        QCOMPARE(t.edit(calAngle)->text(), QStringLiteral("90"));
        QCOMPARE(calibrationWindows().size(), 1);
    }

    void reopenedWhileItsClosedExchangeWaits()
    {
        // Closed during its exchange, then opened again before the reply: the window stays, with
        // fresh entries, once the exchange is over.
        Rig t;
        t.window->show();
        QPointer<CalibrationWindow> calibration = t.openCalibration();
        t.edit(calAngle)->setText(QStringLiteral("250"));
        t.edit(calFactor)->setText(QStringLiteral("500"));
        t.port.expect(frame("K250"), reply('K', "R"), 60);
        QTimer::singleShot(20, [&] { calibration->close(); });
        bool reopenedSame = false;
        QTimer::singleShot(30, [&] { reopenedSame = t.openCalibration() == calibration; });
        t.clickCalibration(QStringLiteral("calib"));
        QVERIFY(t.messages.shown.isEmpty());
        deleteClosedWindows();
        QVERIFY(reopenedSame);
        QVERIFY(calibration);
        QVERIFY(calibration->isVisible());
        QCOMPARE(t.window->calibrationWindow(), calibration.data());
        QCOMPARE(t.edit(calAngle)->text(), QStringLiteral("90"));
        QCOMPARE(t.edit(calFactor)->text(), QStringLiteral("?"));
        QCOMPARE(t.background(calAngle), lightBlue);
        QCOMPARE(t.background(calFactor), paleGreen);

        // Closed again with nothing running, it goes as usual.
        QVERIFY(calibration->close());
        deleteClosedWindows();
        QVERIFY(!calibration->isVisible());
    }
};

QTEST_MAIN(CalibrationTest)
#include "tst_calibration.moc"
