// SPDX-License-Identifier: GPL-3.0-or-later
// The serial link on a scripted port: the character reader and its timer, opening the port,
// the port choice, and the fixed-width numeric readers.

#include "serial/serial_link.h"
#include "storage/settings_file.h"
#include "support/fake_port.h"
#include "support/recording_messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int period = 150;
}

class SerialLinkTest : public QObject {
    Q_OBJECT

    struct Rig {
        FakePort port;
        RecordingMessages messages;
        SettingsFile settings;
        SerialLink link{port, settings, messages, period};
        QTemporaryDir dir;
        // The COM option the window has selected, as it tells the link.
        void select(int option) { link.choice().setSelectedOption(option); }
        Rig()
        {
            select(1);  // as the window is built
            settings.setPath(dir.filePath(QStringLiteral("rotor.ini")));
            port.open(link.choice());
        }
    };

private slots:
    void replyTimeoutIs3300ms()
    {
        QCOMPARE(SerialLink::replyTimeoutMs, 3300);
        FakePort port;
        RecordingMessages messages;
        SettingsFile settings;
        SerialLink link(port, settings, messages);
        QCOMPARE(link.replyPeriodMs(), 3300);
        QVERIFY(!link.timerArmed());
    }

    void twoCharactersTwoReads()
    {
        Rig rig;
        rig.port.arrive("AB");
        QCOMPARE(rig.link.GET_CHAR(), QStringLiteral("A"));
        QCOMPARE(rig.link.GET_CHAR(), QStringLiteral("B"));
        QVERIFY(!rig.link.timerArmed());
        QVERIFY(!rig.link.timedOut());
    }

    void characterArrivingLateIsWaitedFor()
    {
        Rig rig;
        rig.port.arrive("Z", period / 3);
        QCOMPARE(rig.link.GET_CHAR(), QStringLiteral("Z"));
    }

    void timeoutLeavesTheFlagRaised()
    {
        Rig rig;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.link.GET_CHAR(), QString());
        QVERIFY(clock.elapsed() >= period - 20);
        QVERIFY(rig.link.timedOut());
        QVERIFY(!rig.link.timerArmed());

        // While the flag stays raised, the next read gives up at once and swallows one character.
        rig.port.arrive("XY");
        QTest::qWait(10);
        clock.restart();
        QCOMPARE(rig.link.GET_CHAR(), QString());
        QVERIFY(clock.elapsed() < period / 2);
        QCOMPARE(rig.port.pendingCount(), 1);
    }

    void armingAnArmedTimerDoesNotRestartIt()
    {
        Rig rig;
        rig.link.armTimer();
        QTest::qWait(period / 2);
        const int remaining = rig.link.timerRemainingMs();
        rig.link.armTimer();
        QVERIFY(rig.link.timerRemainingMs() <= remaining);
        rig.link.disarmTimer();
        QVERIFY(!rig.link.timerArmed());
    }

    void headerWaitSkipsNoiseAndLowersTheFlag()
    {
        Rig rig;
        rig.link.raiseTimeoutFlag();
        rig.port.arrive("\xff\r\nA,\x02"
                        "A");
        QVERIFY(rig.link.waitForHeader());
        QCOMPARE(rig.link.GET_CHAR(), QStringLiteral("A"));
    }

    void openPortFailureMessage_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 3") << 3 << QStringLiteral("ERROR OPENING COM PORT # 3");
        QTest::newRow("port 0") << 0 << QStringLiteral("ERROR OPENING COM PORT # 0");
        QTest::newRow("negative") << -1 << QStringLiteral("ERROR OPENING COM PORT #-1");
    }
    void openPortFailureMessage()
    {
        QFETCH(int, number);
        QFETCH(QString, message);
        Rig rig;
        rig.port.close();
        rig.port.failOpen = true;
        rig.link.choice().setNumber(qint16(number));
        QVERIFY(rig.link.OPEN_PORT());
        QCOMPARE(rig.messages.shown, QStringList{message});
        QVERIFY(!rig.port.isOpen());
    }

    void openPortDuringStartUpConfiguresInFull()
    {
        Rig rig;
        rig.port.close();
        rig.link.choice().setStartUpPhase(PortChoice::StartUpPhase::Configuring);
        rig.select(3);
        QVERIFY(!rig.link.OPEN_PORT());
        QCOMPARE(int(rig.link.choice().number()), 3);
        QCOMPARE(rig.port.portNumber, 3);
        QCOMPARE(rig.port.settingsApplied, 1);
        QVERIFY(rig.port.isOpen());

        // No option selected: the stored number is used as it is.
        rig.port.close();
        rig.select(0);
        rig.link.choice().setNumber(7);
        QVERIFY(!rig.link.OPEN_PORT());
        QCOMPARE(rig.port.portNumber, 7);

        // Afterwards an exchange only opens the port.
        rig.port.close();
        rig.link.choice().setStartUpPhase(PortChoice::StartUpPhase::Over);
        rig.select(2);
        QVERIFY(!rig.link.OPEN_PORT());
        QCOMPARE(rig.port.portNumber, 7);
        QCOMPARE(rig.port.settingsApplied, 2);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void portChoiceIsStored()
    {
        Rig rig;
        rig.link.SELECT_PORT(2);
        QFile file(rig.link.choice().settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\x20\x32\x20\x0D\x0A"));
        QCOMPARE(int(rig.link.choice().number()), 2);
        QCOMPARE(rig.link.LOAD_SETTINGS(), true);
        QCOMPARE(int(rig.link.choice().number()), 2);
    }

    void portChoiceDuringStartUpStoresNothing()
    {
        Rig rig;
        rig.link.choice().setStartUpPhase(PortChoice::StartUpPhase::Configuring);
        rig.link.SELECT_PORT(4);
        QVERIFY(!QFile::exists(rig.link.choice().settingsPath()));
        QCOMPARE(int(rig.link.choice().number()), 0);
    }

    void portChoiceAfterAStartWithoutSettingsIsStored()
    {
        // A start-up that found no settings file leaves the start-up flag raised; once the
        // sequence has ended, a port choice must still be stored, or it never could be.
        Rig rig;
        rig.link.choice().setStartUpPhase(PortChoice::StartUpPhase::SettingsMissing);
        rig.link.SELECT_PORT(3);
        QCOMPARE(readPortNumber(rig.link.choice().settingsPath()), std::optional<qint16>(3));
    }

    void portChoiceThatCannotBeSavedIsReported()
    {
        Rig rig;
        QFile blocker(rig.dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        rig.settings.setPath(rig.dir.filePath(QStringLiteral("blocker/rotor.ini")));
        rig.link.SELECT_PORT(1);
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown.first().startsWith(QStringLiteral("The port choice could not be saved in ")));
        QCOMPARE(int(rig.link.choice().number()), 1);  // the choice still applies to this run
    }

    void loadSettingsFailsWithoutFile()
    {
        Rig rig;
        rig.link.choice().setNumber(0);
        QVERIFY(!rig.link.LOAD_SETTINGS());
        QCOMPARE(int(rig.link.choice().number()), 0);
    }

    void numberFields_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("left");  // characters left unread after the field
        QTest::newRow("05 plain") << "05" << QByteArray("00120,") << "120" << 1;
        QTest::newRow("05 zeros") << "05" << QByteArray("00000,") << "0" << 1;
        QTest::newRow("05 no leading zero") << "05" << QByteArray("12345,") << "12345" << 1;
        QTest::newRow("05 inner zeros kept") << "05" << QByteArray("01020,") << "1020" << 1;
        QTest::newRow("05 not digits") << "05" << QByteArray("0 AB0,") << "AB0" << 1;
        QTest::newRow("03 zeros") << "03" << QByteArray("000,") << "0" << 1;
        QTest::newRow("03 045") << "03" << QByteArray("045,") << "45" << 1;
        QTest::newRow("03 450") << "03" << QByteArray("450,") << "450" << 1;
        QTest::newRow("NT plain") << "NT" << QByteArray("00042,") << "42" << 1;
        QTest::newRow("NT zeros") << "NT" << QByteArray("00000,") << "0" << 1;
        QTest::newRow("NT negative") << "NT" << QByteArray("-00042,") << "-42" << 1;
        QTest::newRow("NT negative zero") << "NT" << QByteArray("-00000\r") << "-" << 1;
        QTest::newRow("NT negative full") << "NT" << QByteArray("-12345,") << "-12345" << 1;
    }
    void numberFields()
    {
        QFETCH(QString, reader);
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QFETCH(int, left);
        Rig rig;
        rig.link.raiseTimeoutFlag();  // a reader lowers a raised flag first
        rig.port.arrive(line);
        const QString result = reader == QLatin1String("05")   ? rig.link.GET_NUM05()
                               : reader == QLatin1String("03") ? rig.link.GET_NUM03S()
                                                               : rig.link.GET_NUM05NT();
        QCOMPARE(result, expected);
        QCOMPARE(rig.port.pendingCount(), left);
        QVERIFY(!rig.link.timedOut());
        QVERIFY(!rig.link.timerArmed());
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void fieldArrivingInPiecesIsWaitedFor()
    {
        Rig rig;
        rig.port.trickle("-00123,", 5);
        QCOMPARE(rig.link.GET_NUM05NT(), QStringLiteral("-123"));
    }

    void shortFields_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("left");
        QTest::newRow("05 four characters")
            << "05" << QByteArray("0012") << QStringList{"GET_NUM05() Communication problems!"} << 4;
        QTest::newRow("03 nothing") << "03" << QByteArray() << QStringList{} << 0;
        QTest::newRow("NT four characters")
            << "NT" << QByteArray("0001") << QStringList{"GET_NUM05NT() Communication timeout!"} << 4;
        // After a minus sign the reader waits for the rest of the field under the reply period.
        QTest::newRow("NT minus then silence")
            << "NT" << QByteArray("-0004") << QStringList{"GET_NUM05NT() Communication timeout!"} << 4;
    }
    void shortFields()
    {
        QFETCH(QString, reader);
        QFETCH(QByteArray, line);
        QFETCH(QStringList, messages);
        QFETCH(int, left);
        Rig rig;
        rig.port.arrive(line);
        QElapsedTimer clock;
        clock.start();
        const QString result = reader == QLatin1String("05")   ? rig.link.GET_NUM05()
                               : reader == QLatin1String("03") ? rig.link.GET_NUM03S()
                                                               : rig.link.GET_NUM05NT();
        QVERIFY(clock.elapsed() >= period - 20);
        QCOMPARE(result, QString());
        QCOMPARE(rig.messages.shown, messages);
        QCOMPARE(rig.port.pendingCount(), left);
        QVERIFY(!rig.link.timedOut());
        QVERIFY(!rig.link.timerArmed());
    }

    void lostPortEndsAWaitAtOnce()
    {
        Rig rig;
        QTimer::singleShot(10, &rig.port, &FakePort::hangUp);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(rig.link.GET_CHAR(), QString());
        QVERIFY(clock.elapsed() < period);
    }
};

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "tst_serial_link.moc"
