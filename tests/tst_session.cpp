// SPDX-License-Identifier: GPL-3.0-or-later
// A session with no window at all: the start-up and a click's exchange run through the same
// link, commands and lock as behind the window, on a view that is a map of fields. This test
// links no widget module.

#if defined(QT_WIDGETS_LIB)
#error "the session runs without widgets: this test must not link them"
#endif

#include "protocol/session.h"
#include "storage/settings_file.h"
#include "support/fake_port.h"
#include "protocol/field_map_view.h"
#include "support/frames.h"
#include "support/recording_messages.h"
#include "support/sample_blocks.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString connectPrompt =
    QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");
}  // namespace

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    // The start-up fills the view's panels from the box's replies, stops where the box fails, and
    // a status click afterwards goes through the lock; the port is closed after every exchange.
    void sessionRunsWithoutAWindow_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("sReply");
        QTest::addColumn<QByteArrayList>("sent");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("upperLimit");  // read_upper_limit and upper_limit after the start-up
        QTest::addColumn<QString>("position");    // fast_pos after the status click

        const QString degree = QString(QChar(0x00B0));
        QTest::newRow("gone through") << QByteArray(" 2 \r\n") << reply('S', "R")
                                      << QByteArrayList{frame("S"), frame("V"), frame("L"), frame("?")}
                                      << QStringList{connectPrompt} << "500"
                                      << "45" + degree;
        QTest::newRow("S silent") << QByteArray(" 2 \r\n") << QByteArray() << QByteArrayList{frame("S"), frame("?")}
                                  << QStringList{connectPrompt, "cmd S, Communication timeout on <header>"} << QString()
                                  << "45" + degree;
        QTest::newRow("no settings") << QByteArray() << QByteArray() << QByteArrayList{} << QStringList{connectPrompt}
                                     << QString() << QString();
    }
    void sessionRunsWithoutAWindow()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, sReply);
        QFETCH(QByteArrayList, sent);
        QFETCH(QStringList, shown);
        QFETCH(QString, upperLimit);
        QFETCH(QString, position);

        QTemporaryDir dir;
        FakePort port;
        RecordingMessages messages;
        FieldMapView view;
        SettingsFile settingsFile(dir.filePath(QStringLiteral("rotor.ini")));
        Session session(port, settingsFile, messages, view, 200);
        if (!settings.isEmpty()) {
            QFile file(session.link().choice().settingsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(settings);
        }
        port.expect(frame("S"), sReply, sReply.isEmpty() ? -1 : 0);
        if (!sReply.isEmpty()) {
            port.expect(frame("V"), reply('V', "00322"));
            port.expect(frame("L"), reply('L', exampleBlock));
        }

        session.startUp().run(StartUp::From::Prompt);
        QVERIFY(!session.startUp().running());
        QCOMPARE(session.startUp().settingsMissing(), settings.isEmpty());
        QCOMPARE(view.text(Field::read_upper_limit),
                 upperLimit.isEmpty() ? QString() : upperLimit + QString(QChar(0x00B0)));
        QCOMPARE(view.text(Field::upper_limit), upperLimit);
        QCOMPARE(view.isChecked(Field::COM2), !settings.isEmpty());
        QVERIFY(!port.isOpen());

        if (!settings.isEmpty()) {
            port.expect(frame("?"), reply('?', "045,R"));
            QVERIFY(session.lock().run([&] { session.commands().CMD_STATUS(); }));
            QVERIFY(!session.lock().busy());
        }
        QCOMPARE(view.text(Field::fast_pos), position);
        QCOMPARE(port.writes, sent);
        QVERIFY(port.unexpected.isEmpty());
        QCOMPARE(messages.shown, shown);
        QVERIFY(!port.isOpen());
        QVERIFY(!session.link().timerArmed());
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
