// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: the exact bytes written, the reading rules of its first line, where it
// lives, and which device a port number opens.

#include "serial/serial_port.h"
#include "storage/settings_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class SettingsFileTest : public QObject {
    Q_OBJECT
private slots:
    void writesOneLine_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("port 3") << 3 << QByteArray("\x20\x33\x20\x0D\x0A");
        QTest::newRow("port 2") << 2 << QByteArray("\x20\x32\x20\x0D\x0A");
        QTest::newRow("port 12") << 12 << QByteArray(" 12 \r\n");
    }
    void writesOneLine()
    {
        QFETCH(int, port);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/rotor.ini"));  // the folder is created
        QVERIFY(writePortNumber(path, 7));
        QVERIFY(writePortNumber(path, port));  // rewritten whole
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        QCOMPARE(readPortNumber(path), std::optional<qint16>(qint16(port)));
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("expected");  // -99999: the read fails
        QTest::newRow("as written") << QByteArray(" 3 \r\n") << 3;
        QTest::newRow("bare digit") << QByteArray("2") << 2;
        QTest::newRow("space and digit, no line end") << QByteArray(" 2") << 2;
        QTest::newRow("seven") << QByteArray("7\r\n") << 7;
        QTest::newRow("seven in spaces") << QByteArray("   7   ") << 7;
        QTest::newRow("LF only") << QByteArray("4\n9\n") << 4;
        QTest::newRow("only the first line counts") << QByteArray(" 1 \r\n 4 \r\n") << 1;
        QTest::newRow("CR drops the character after it") << QByteArray("3\rX\n") << 3;
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("empty first line") << QByteArray("\r\n5\r\n") << 0;
        QTest::newRow("garbage") << QByteArray("abc\r\n") << 0;
        QTest::newRow("leading number then garbage") << QByteArray("2abc") << 2;
        QTest::newRow("rounded") << QByteArray("2.7") << 3;
        QTest::newRow("half to even, down") << QByteArray("2.5") << 2;
        QTest::newRow("half to even, up") << QByteArray("3.5") << 4;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("largest") << QByteArray("32767") << 32767;
        QTest::newRow("smallest") << QByteArray("-32768") << -32768;
        QTest::newRow("beyond 16 bits") << QByteArray("32768") << -99999;
        QTest::newRow("far beyond") << QByteArray("1e400") << -99999;
        QTest::newRow("below 16 bits") << QByteArray("-32769") << -99999;
        QTest::newRow("binary noise") << QByteArray("\x00\xff\x02", 3) << 0;
    }
    void readingRules()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, expected);
        const auto number = parsePortNumber(contents);
        if (expected == -99999) {
            QVERIFY(!number);
        } else {
            QVERIFY(number);
            QCOMPARE(int(*number), expected);
        }
    }

    void missingFileFails()
    {
        QTemporaryDir dir;
        QVERIFY(!readPortNumber(dir.filePath(QStringLiteral("rotor.ini"))));
    }

    void unwritablePlaceFails()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QString error;
        QVERIFY(!writePortNumber(dir.filePath(QStringLiteral("file/rotor.ini")), 1, &error));
        QVERIFY(!error.isEmpty());
    }

#ifndef Q_OS_WIN
    void placesFollowXdgConfigHome()
    {
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QCOMPARE(settingsFilePath(), dir.path() + QStringLiteral("/rotor/rotor.ini"));
        QCOMPARE(portDeviceName(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(portDeviceName(4), QStringLiteral("/dev/ttyS3"));
        QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/rotor/ports")));
        QVERIFY(QFile::link(QStringLiteral("/dev/ttyUSB0"), dir.path() + QStringLiteral("/rotor/ports/com2")));
        QCOMPARE(portDeviceName(2), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(portDeviceName(1), QStringLiteral("/dev/ttyS0"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(settingsFilePath(), QDir::homePath() + QStringLiteral("/.config/rotor/rotor.ini"));
    }
#endif
};

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "tst_settings_file.moc"
