// SPDX-License-Identifier: GPL-3.0-or-later
// The azimuth dial and the status bar: what the dial draws for a reading in either theme, what the
// dial and the status bar learn from the exchanges (never from the window's texts), the angle a
// click or the keys offer to the go-to entry, and the dial's own state file.

#include "support/test_window.h"
#include "storage/settings_file.h"
#include "ui/azimuth_dial.h"
#include "ui/dial_window.h"
#include "ui/session_status_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <cmath>

namespace {

const QString degree = QString(QChar(0x00B0));

// A palette of each theme, with the roles the dial draws with set apart.
QPalette themePalette(bool dark)
{
    QPalette p;
    p.setColor(QPalette::Base, dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    p.setColor(QPalette::Window, dark ? QColor(45, 45, 45) : QColor(239, 239, 239));
    p.setColor(QPalette::Text, dark ? QColor(230, 230, 230) : QColor(0, 0, 0));
    p.setColor(QPalette::WindowText, p.color(QPalette::Text));
    p.setColor(QPalette::Highlight, dark ? QColor(42, 130, 218) : QColor(48, 140, 198));
    p.setColor(QPalette::Link, dark ? QColor(100, 180, 255) : QColor(0, 0, 255));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
    return p;
}

// The block of an "L" reply with the position, state, stop mode and limits given.
QByteArray block(const char* position, char state, const char* mode, const char* lower, const char* upper)
{
    return QByteArray(position) + ',' + state + ',' + mode + ',' + lower + ',' + upper
           + ",01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,03049,00000,01000";
}

}  // namespace

class AzimuthDialTest : public QObject {
    Q_OBJECT
private slots:
    void dialDrawsNeedleTargetAndTravel_data();
    void dialDrawsNeedleTargetAndTravel();
    void dialAndStatusBarLearnFromTheExchanges_data();
    void dialAndStatusBarLearnFromTheExchanges();
    void dialOffersAnAngleAndSendsNothing_data();
    void dialOffersAnAngleAndSendsNothing();
    void dialStateIsKeptInItsOwnFile_data();
    void dialStateIsKeptInItsOwnFile();
    void dialFollowsATurn_data();
    void dialFollowsATurn();
    void needleLabelLeavesTheNumbersClear();
};

void AzimuthDialTest::dialDrawsNeedleTargetAndTravel_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("position");   // -1: nothing received
    QTest::addColumn<int>("state");      // RotorState
    QTest::addColumn<double>("target");  // negative: none
    QTest::addColumn<int>("lower");      // -1: no block read
    QTest::addColumn<int>("upper");

    const int ready = int(RotorState::Ready);
    const int busy = int(RotorState::Busy);
    for (bool dark : {false, true}) {
        const char* theme = dark ? "dark" : "light";
        QTest::addRow("%s, nothing received", theme) << dark << -1 << int(RotorState::Unknown) << -1.0 << -1 << -1;
        QTest::addRow("%s, ready at 45, travel 0 to 360", theme) << dark << 45 << ready << -1.0 << 0 << 360;
        QTest::addRow("%s, busy at 200 towards 300", theme) << dark << 200 << busy << 300.0 << 90 << 350;
        QTest::addRow("%s, busy at 30 in the overlap, travel to 450", theme)
            << dark << 390 << busy << 420.0 << 0 << 450;
        QTest::addRow("%s, ready at 30 below the overlap, travel to 450", theme)
            << dark << 30 << ready << -1.0 << 0 << 450;
    }
}

void AzimuthDialTest::dialDrawsNeedleTargetAndTravel()
{
    QFETCH(bool, dark);
    QFETCH(int, position);
    QFETCH(int, state);
    QFETCH(double, target);
    QFETCH(int, lower);
    QFETCH(int, upper);

    AzimuthDial dial;
    const QPalette palette = themePalette(dark);
    dial.setPalette(palette);
    dial.resize(dial.sizeHint());
    DialReading reading;
    if (position >= 0)
        reading.position = position;
    reading.state = RotorState(state);
    if (target >= 0)
        reading.target = target;
    if (lower >= 0) {
        reading.lowerLimit = lower;
        reading.upperLimit = upper;
        reading.stopMode = QStringLiteral("South-stop");
    }
    dial.setReading(reading);
    const QImage image = dial.grab().toImage();

    const QColor base = palette.color(QPalette::Base);
    const auto pixel = [&](double angle, double fraction) {
        return QColor(image.pixel(dial.pointAt(angle, fraction).toPoint()));
    };
    const auto check = [&](const char* what, double angle, double fraction, const QColor& want) {
        const QColor got = pixel(angle, fraction);
        QVERIFY2(got == want, qPrintable(QStringLiteral("%1 at %2%3, %4 of the radius: %5, expected %6")
                                             .arg(QString::fromLatin1(what))
                                             .arg(angle)
                                             .arg(degree)
                                             .arg(fraction)
                                             .arg(got.name(), want.name())));
    };

    // The needle, red while busy; into the outer track only for a position in the overlap.
    const double inside = AzimuthDial::needleReach - 0.05;
    const double outside = (AzimuthDial::rim + AzimuthDial::overlapTrack) / 2;
    if (position < 0) {
        QVERIFY(dial.accessibleDescription().contains(QLatin1String("Nothing received yet")));
        for (double angle : {15.0, 105.0, 195.0, 285.0})  // between the ticks
            check("no needle", angle, inside, base);
    } else {
        const QColor needle = RotorState(state) == RotorState::Busy ? QColor(255, 0, 0) : palette.color(QPalette::Text);
        check("needle", position, inside, needle);
        if (position >= 360)
            check("needle in the overlap", position, outside, needle);
        else
            QVERIFY(pixel(position, outside) != needle);
        QVERIFY(dial.accessibleDescription().startsWith(QStringLiteral("Position %1%2").arg(position).arg(degree)));
    }

    // The target on the travel track, where it lies in the box's degrees.
    if (target >= 0) {
        check("target", target, target >= 360 ? AzimuthDial::overlapTrack : AzimuthDial::travelTrack,
              palette.color(QPalette::Link));
        QVERIFY(dial.accessibleDescription().contains(QStringLiteral("Target %1%2").arg(target).arg(degree)));
    }

    // The travel: inside the rim from the lower limit to 360, outside it beyond 360.
    const QColor travel = palette.color(QPalette::Highlight);
    if (lower < 0) {
        check("no travel", 10, AzimuthDial::travelTrack, base);
    } else {
        check("travel after the lower limit", lower + 5, AzimuthDial::travelTrack, travel);
        check("travel before the upper limit", std::min(upper, 360) - 5, AzimuthDial::travelTrack, travel);
        if (lower >= 10)
            check("no travel before the lower limit", lower - 5, AzimuthDial::travelTrack, base);
        if (upper <= 350)
            check("no travel after the upper limit", upper + 5, AzimuthDial::travelTrack, base);
        if (upper > 360) {
            check("overlap", upper - 360 - 5, AzimuthDial::overlapTrack, travel);
            check("no overlap beyond the upper limit", upper - 360 + 5, AzimuthDial::overlapTrack, base);
        } else {
            check("no overlap", 180, AzimuthDial::overlapTrack, base);
        }
        QVERIFY(dial.accessibleDescription().contains(
            QStringLiteral("Travel %1%3 to %2%3, South-stop").arg(lower).arg(upper).arg(degree)));
    }
}

void AzimuthDialTest::dialAndStatusBarLearnFromTheExchanges_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("goTo");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");  // empty: none
    QTest::addColumn<QString>("exchange");   // the status bar's words, as a pattern
    QTest::addColumn<QString>("position");   // the dial's texts
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("travel");

    const QString nothing = QStringLiteral("Nothing received yet");
    const QString noTarget = QStringLiteral("No target");
    const QString noTravel = QStringLiteral("Travel not read yet");
    QTest::newRow("status reply, busy") << 2 << "command_qm"
                                        << "" << frame("?") << reply('?', "200,B") << R"(^cmd \? answered in \d+ ms$)"
                                        << "200" + degree + "  BUSY" << noTarget << noTravel;
    QTest::newRow("status reply, state X")
        << 2 << "command_qm"
        << "" << frame("?") << reply('?', "045,X") << R"(^cmd \?: faulty reply after \d+ ms$)"
        << "45" + degree + "  state unknown" << noTarget << noTravel;
    QTest::newRow("status reply, no angle")
        << 2 << "command_qm"
        << "" << frame("?") << reply('?', "") << R"(^cmd \?: faulty reply after \d+ ms$)" << nothing << noTarget
        << noTravel;
    QTest::newRow("M refused") << 2 << "command_c"
                               << "" << frame("M") << reply('M', "B") << R"(^cmd M refused by the CBOX in \d+ ms$)"
                               << nothing << noTarget << noTravel;
    QTest::newRow("no reply, port 7") << 7 << "command_s"
                                      << "" << frame("S") << QByteArray() << R"(^cmd S: no reply in \d+ ms$)" << nothing
                                      << noTarget << noTravel;
    QTest::newRow("parameter read") << 2 << "read_info"
                                    << "" << frame("L") << reply('L', block("00123", 'R', "00001", "00000", "00500"))
                                    << R"(^cmd L answered in \d+ ms$)"
                                    << "123" + degree + "  READY" << noTarget
                                    << "Travel 0" + degree + " to 500" + degree + ", South-stop";
    QTest::newRow("parameter read, in the overlap")
        << 2 << "read_info"
        << "" << frame("L") << reply('L', block("00390", 'B', "00002", "00000", "00450"))
        << R"(^cmd L answered in \d+ ms$)"
        << "390" + degree + " (overlap)  BUSY" << noTarget << "Travel 0" + degree + " to 450" + degree + ", Absolute";
    QTest::newRow("go-to accepted") << 2 << "execute"
                                    << " 90 " << frame("G90") << reply('G', "R") << R"(^cmd G answered in \d+ ms$)"
                                    << nothing << "Target 90" + degree << noTravel;
    QTest::newRow("go-to refused") << 2 << "execute"
                                   << "90" << frame("G90") << reply('G', "E")
                                   << R"(^cmd G refused by the CBOX in \d+ ms$)" << nothing << noTarget << noTravel;
    QTest::newRow("fast stop") << 2 << "fast_stop"
                               << "" << frame("G999") << reply('G', "R") << R"(^cmd G999 answered in \d+ ms$)"
                               << nothing << noTarget << noTravel;
}

void AzimuthDialTest::dialAndStatusBarLearnFromTheExchanges()
{
    QFETCH(int, portNumber);
    QFETCH(QString, button);
    QFETCH(QString, goTo);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    QFETCH(QString, exchange);
    QFETCH(QString, position);
    QFETCH(QString, target);
    QFETCH(QString, travel);

    TestWindow t;
    t.click(QStringLiteral("COM2"));
    auto* port = t.window->findChild<QLabel*>(QStringLiteral("status_port"));
    auto* outcome = t.window->findChild<QLabel*>(QStringLiteral("status_exchange"));
    QVERIFY(port && outcome);
    QCOMPARE(port->text(), QStringLiteral("COM 2 \u2192 /dev/ttyS1"));
    t.window->link().choice().setNumber(portNumber);
    if (!goTo.isEmpty())
        t.edit(QStringLiteral("go_to_angle"))->setText(goTo);
    // What the window shows is no source for the dial.
    t.window->setText(Field::fast_pos, QStringLiteral("77") + degree);
    t.window->setText(Field::read_lower_limit, QStringLiteral("11") + degree);

    t.port.expect(sent, answer, answer.isEmpty() ? -1 : 0);
    // The operator reads each message for over a second: no exchange's time counts it.
    t.messages.onInform = [](const QString&) { QThread::msleep(1100); };
    t.click(button);

    QCOMPARE(t.port.written, sent);
    QVERIFY2(QRegularExpression(exchange).match(outcome->text()).hasMatch(), qPrintable(outcome->text()));
    QCOMPARE(port->text(), QStringLiteral("COM %1 \u2192 /dev/ttyS%2").arg(portNumber).arg(portNumber - 1));
    const DialReading& reading = dialWindow(*t.window)->dial()->reading();
    QCOMPARE(dialPositionText(reading), position);
    QCOMPARE(dialTargetText(reading), target);
    QCOMPARE(dialTravelText(reading), travel);
}

void AzimuthDialTest::dialOffersAnAngleAndSendsNothing_data()
{
    QTest::addColumn<int>("position");    // received before
    QTest::addColumn<double>("clickAt");  // negative: keys instead
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("entry");

    QTest::newRow("click at 90") << 10 << 90.0 << QList<int>{} << "90";
    QTest::newRow("click at the top is 0") << 10 << 0.0 << QList<int>{} << "0";
    QTest::newRow("click at 271") << 10 << 271.0 << QList<int>{} << "271";
    QTest::newRow("right three times from 10")
        << 10 << -1.0 << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right} << "13";
    QTest::newRow("left from 0 wraps to 359") << 0 << -1.0 << QList<int>{Qt::Key_Left} << "359";
    QTest::newRow("page up from 395, in the overlap") << 395 << -1.0 << QList<int>{Qt::Key_PageUp} << "45";
}

void AzimuthDialTest::dialOffersAnAngleAndSendsNothing()
{
    QFETCH(int, position);
    QFETCH(double, clickAt);
    QFETCH(QList<int>, keys);
    QFETCH(QString, entry);

    TestWindow t;
    t.window->show();
    QAction* open = t.window->findChild<QAction*>(QStringLiteral("action_azimuth_dial"));
    QVERIFY(open);
    QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    open->trigger();
    DialWindow* window = dialWindow(*t.window);
    QVERIFY(window && window->isVisible());
    AzimuthDial* dial = window->dial();
    QCOMPARE(dial->accessibleName(), QStringLiteral("Azimuth dial"));
    QCOMPARE(dial->focusPolicy(), Qt::StrongFocus);
    t.window->sessionObserver()->statusRead({position, RotorState::Ready});

    if (clickAt >= 0) {
        QTest::mouseClick(dial, Qt::LeftButton, {}, dial->pointAt(clickAt, 0.5).toPoint());
    } else {
        for (int key : keys)
            QTest::keyClick(dial, Qt::Key(key));
        QCOMPARE(t.window->text(Field::go_to_angle), QStringLiteral("?"));  // not before Enter
        QTest::keyClick(dial, Qt::Key_Return);
    }
    QCOMPARE(t.window->text(Field::go_to_angle), entry);
    QVERIFY(dial->accessibleDescription().contains(QStringLiteral("Proposed ") + entry + degree));
    QCoreApplication::processEvents();
    QVERIFY(t.port.written.isEmpty());
    QCOMPARE(t.port.opens, 0);
    QCOMPARE(t.messages.shown, QStringList());
}

void AzimuthDialTest::dialStateIsKeptInItsOwnFile_data()
{
    QTest::addColumn<bool>("leftOpen");
    QTest::newRow("left open") << true;
    QTest::newRow("closed again") << false;
}

void AzimuthDialTest::dialStateIsKeptInItsOwnFile()
{
    QFETCH(bool, leftOpen);

    TestWindow t;
    QVERIFY(writePortNumber(t.window->link().choice().settingsPath(), 3));
    t.window->show();
    QAction* open = t.window->findChild<QAction*>(QStringLiteral("action_azimuth_dial"));
    open->trigger();
    DialWindow* dial = dialWindow(*t.window);
    const QRect place(100, 120, 280, 360);
    dial->setGeometry(place);
    t.find<QCheckBox>(QStringLiteral("follow_rotor"))->setChecked(leftOpen);
    if (!leftOpen)
        open->trigger();
    t.window->close();

    QFile settings(t.window->link().choice().settingsPath());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll(), QByteArray(" 3 \r\n"));
    const QString statePath = t.settingsDir.filePath(QStringLiteral("dial.ini"));
    QFile stateFile(statePath);
    QVERIFY(stateFile.open(QIODevice::ReadOnly));
    const std::optional<DialState> kept = parseDialState(stateFile.readAll());
    QVERIFY(kept);
    QCOMPARE(kept->open, leftOpen);
    QCOMPARE(kept->follow, leftOpen);
    QCOMPARE(kept->geometry.value_or(QRect()).size(), place.size());

    // The next run opens it where it was, or leaves it closed.
    auto next = std::make_unique<MainWindow>(t.port, t.messages, TestWindow::replyPeriodMs);
    next->settingsFile().setPath(t.window->link().choice().settingsPath());
    next->show();
    restoreDial(*next, next->link());
    QCOMPARE(dialWindow(*next)->isVisible(), leftOpen);
    QCOMPARE(next->findChild<QAction*>(QStringLiteral("action_azimuth_dial"))->isChecked(), leftOpen);
    QCOMPARE(dialWindow(*next)->size(), place.size());
    QCOMPARE(dialWindow(*next)->following(), leftOpen);
    QCOMPARE(t.messages.shown, QStringList());
}

void AzimuthDialTest::dialFollowsATurn_data()
{
    QTest::addColumn<bool>("follow");
    QTest::newRow("following") << true;
    QTest::newRow("not following") << false;
}

void AzimuthDialTest::dialFollowsATurn()
{
    QFETCH(bool, follow);
    TestWindow t;
    t.window->findChild<QAction*>(QStringLiteral("action_azimuth_dial"))->trigger();
    DialWindow* window = dialWindow(*t.window);
    qint64 now = 0;
    window->setClock([&now] { return now; });
    window->setFollowing(follow);
    const DialReading& reading = window->dial()->reading();
    t.window->sessionObserver()->statusRead({45, RotorState::Ready});
    t.edit(QStringLiteral("go_to_angle"))->setText(QStringLiteral("90"));
    t.port.expect(frame("G90"), reply('G', "R"));
    t.click(QStringLiteral("execute"));
    QCOMPARE(dialPositionText(reading), "45" + degree + "  turning to 90" + degree);
    t.port.written.clear();
    if (!follow) {
        window->tick();
        now = 12'400;
        window->tick();
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(dialPositionText(reading), "45" + degree + "  turning to 90" + degree + ", as of 12 s ago");
        return;
    }
    // "?" is clicked while the dial's own waits: it is queued behind it, and no button was greyed.
    t.port.expect(frame("?"), reply('?', "050,B"), 50);
    t.port.expect(frame("?"), reply('?', "060,B"));
    bool greyed = true;
    QTimer::singleShot(10, [&] {
        greyed = !t.button(QStringLiteral("command_qm"))->isEnabled();
        t.click(QStringLiteral("command_qm"));
    });
    window->tick();
    QCOMPARE(t.port.written, frame("?") + frame("?"));
    QVERIFY(!greyed);
    QCOMPARE(dialPositionText(reading), "60" + degree + "  turning to 90" + degree);
    // Asked until ready, then no more.
    t.port.expect(frame("?"), reply('?', "090,R"));
    window->tick();
    window->tick();
    QCOMPARE(t.port.written, frame("?") + frame("?") + frame("?"));
    QCOMPARE(dialPositionText(reading), "90" + degree + "  READY");
    QCOMPARE(dialTargetText(reading), QStringLiteral("No target"));
    QCOMPARE(t.messages.shown, QStringList());
}

void AzimuthDialTest::needleLabelLeavesTheNumbersClear()
{
    AzimuthDial dial;
    for (const QSize& size : {dial.sizeHint(), dial.minimumSizeHint(), QSize(700, 300)}) {
        dial.resize(size);
        for (int position = -30; position < 450; ++position) {
            DialReading reading;
            reading.position = position;
            dial.setReading(reading);
            for (int a = 0; a < 360; a += 30)
                QVERIFY2(!dial.needleLabelRect().intersects(dial.numberRect(a)),
                         qPrintable(QStringLiteral("%1 hides %2, width %3").arg(position).arg(a).arg(size.width())));
        }
    }
}

QTEST_MAIN(AzimuthDialTest)
#include "tst_azimuth_dial.moc"
