// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up sequence and the close of the main window: the connect prompt, the stored port
// choice, the S, V and L exchanges in order with both parameter panels filled, every way the
// sequence stops early, and the close refused while the monitor runs.

#include "ui/monitor.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"

#include <QAccessible>
#include <QtTest>

namespace {

const QString connectPrompt =
    QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");

// A block that turns every control of the set panel away from the example.
const QByteArray turnedData = "-00005,B,00000,00010,00450,01220,00000,00049,00012,00015,00012,00000,00610,65531,00001,"
                              "00005,36585,00001,01234";

const char* const setEntries[] = {"pwm_period",  "pwm_max_duty", "pwm_min_duty",     "ramp",
                                  "lower_limit", "upper_limit",  "inv_delay",        "pres_delay",
                                  "rot_timeout", "offset_write", "check_angle_write"};
const char* const readFields[] = {"curr_pos",          "cbox_status",    "mode_msg",          "read_lower_limit",
                                  "read_upper_limit",  "read_inv_delay", "pwm_msg",           "read_pwm_period",
                                  "read_pwm_max_duty", "read_ramp",      "read_pwm_min_duty", "optimize_msg",
                                  "read_pres_delay",   "offset_read",    "mot_check_msg",     "check_angle",
                                  "read_rot_timeout",  "dipsw",          "cal_fact"};

// The S, V and L exchanges of a start that goes through, with `block` as the parameter block.
void scriptNormalStart(TestWindow& t, const QByteArray& block = exampleBlock)
{
    t.port.expect(frame("S"), reply('S', "R"));
    t.port.expect(frame("V"), reply('V', "00322"));
    t.port.expect(frame("L"), reply('L', block));
}

QStringList panelTexts(const TestWindow& t, const auto& names)
{
    QStringList texts;
    for (const char* name : names)
        texts << t.window->text(fieldNamed(QLatin1String(name)).value());
    return texts;
}

int selectedPortOption(const TestWindow& t)
{
    int selected = 0;
    for (int n = 1; n <= 4; ++n) {
        if (t.button(QStringLiteral("COM%1").arg(n))->isChecked()) {
            if (selected)
                return -1;
            selected = n;
        }
    }
    return selected;
}

}  // namespace

class StartUpTest : public QObject {
    Q_OBJECT
private slots:
    // A normal start: the prompt, then S, V and L in this order, and both panels filled.
    void normalStart_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("entries");  // the texts of setEntries, in order
        QTest::addColumn<QStringList>("on");       // check boxes and options set
        QTest::addColumn<QStringList>("off");      // check boxes and options cleared
        QTest::addColumn<QString>("position");
        QTest::newRow("example block") << exampleBlock
                                       << QStringList{"49", "100", "50", "10", "0", "500", "3", "3", "5", "0", "2"}
                                       << QStringList{"south_stop", "pwm_on", "optimize"}
                                       << QStringList{"north_stop", "mot_check"} << "123°";
        QTest::newRow("every control turned")
            << turnedData << QStringList{"100", "80.327868852459", "20", "15", "10", "450", "2", "1", "60", "-5", "5"}
            << QStringList{"north_stop", "mot_check"} << QStringList{"south_stop", "pwm_on", "optimize"} << "-5°";
    }
    void normalStart()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, on);
        QFETCH(QStringList, off);
        QFETCH(QString, position);
        TestWindow t;
        QVERIFY(t.writeSettings(" 1 \r\n"));
        // Turn the panel away from what the block holds, so that every control must be set.
        for (const char* name : setEntries)
            t.window->setText(fieldNamed(QLatin1String(name)).value(), QStringLiteral("x"));
        for (const QString& name : off)
            t.window->setChecked(fieldNamed(name).value(), true);
        for (const QString& name : on)
            t.window->setChecked(fieldNamed(name).value(), false);
        qsizetype writtenAtPrompt = -1;
        t.messages.onInform = [&](const QString&) { writtenAtPrompt = t.port.written.size(); };
        scriptNormalStart(t, block);

        t.window->startUp();

        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
        QCOMPARE(writtenAtPrompt, 0);
        QCOMPARE(t.port.writes, (QList<QByteArray>{frame("S"), frame("V"), frame("L")}));
        QCOMPARE(int(t.window->link().choice().number()), 1);
        QCOMPARE(t.port.settingsApplied, 1);  // applied in full once, by the start-up's own opening
        QCOMPARE(t.edit(QStringLiteral("firm_version"))->text(), QStringLiteral("003.22"));
        QCOMPARE(t.edit(QStringLiteral("curr_pos"))->text(), position);
        QCOMPARE(t.edit(QStringLiteral("cal_fact"))->text(), QString::number(block.right(5).toInt()));
        QCOMPARE(panelTexts(t, setEntries), entries);
        for (const QString& name : on)
            QVERIFY2(t.window->isChecked(fieldNamed(name).value()), qPrintable(name));
        for (const QString& name : off)
            QVERIFY2(!t.window->isChecked(fieldNamed(name).value()), qPrintable(name));
        QVERIFY(!t.port.isOpen());
        // The flags are down once the sequence has ended.
        QVERIFY(!t.window->commands().fillingPanel());
        QCOMPARE(t.window->link().choice().startUpPhase(), PortChoice::StartUpPhase::Over);
        QCOMPARE(t.settingsBytes(), QByteArray(" 1 \r\n"));  // reading the choice never rewrites it
    }

    // A start whose S or V fails sends nothing after it, and both panels keep their texts.
    void startStopsEarly_data()
    {
        QTest::addColumn<QByteArray>("sReply");  // empty: never answered
        QTest::addColumn<QByteArray>("vReply");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("version");
        const QList<QByteArray> sOnly{frame("S")};
        const QList<QByteArray> sAndV{frame("S"), frame("V")};
        QTest::newRow("S refused") << reply('S', "B") << QByteArray() << sOnly
                                   << QStringList{connectPrompt, "R not received:B"} << "???.??";
        QTest::newRow("S silent") << QByteArray() << QByteArray() << sOnly
                                  << QStringList{connectPrompt, "cmd S, Communication timeout on <header>"} << "???.??";
        QTest::newRow("S terminator") << QByteArray("\x02"
                                                    "A,S,R\n")
                                      << QByteArray() << sOnly
                                      << QStringList{connectPrompt, "Terminator invalid, received ASC:10"} << "???.??";
        QTest::newRow("V silent") << reply('S', "R") << QByteArray() << sAndV
                                  << QStringList{connectPrompt, "cmd V, Communication timeout on <header>"} << "???.??";
        QTest::newRow("V echo") << reply('S', "R") << reply('S', "R") << sAndV
                                << QStringList{connectPrompt, "V cmd, <Cmd> invalid, received:S"} << "???.??";
        QTest::newRow("V field short") << reply('S', "R")
                                       << QByteArray("\x02"
                                                     "A,V,003")
                                       << sAndV << QStringList{connectPrompt, "GET_NUM05NT() Communication timeout!"}
                                       << "???.??";
        QTest::newRow("V terminator") << reply('S', "R")
                                      << QByteArray("\x02"
                                                    "A,V,00322N")
                                      << sAndV << QStringList{connectPrompt, "V cmd, <return> invalid, received ASC:78"}
                                      << "003.22";
    }
    void startStopsEarly()
    {
        QFETCH(QByteArray, sReply);
        QFETCH(QByteArray, vReply);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QStringList, messages);
        QFETCH(QString, version);
        TestWindow t;
        QVERIFY(t.writeSettings(" 2 \r\n"));
        const QStringList readBefore = panelTexts(t, readFields);
        const QStringList setBefore = t.setPanel();
        t.port.expect(frame("S"), sReply, sReply.isEmpty() ? -1 : 0);
        t.port.expect(frame("V"), vReply, vReply.isEmpty() ? -1 : 0);
        t.port.expect(frame("L"), reply('L', exampleBlock));

        t.window->startUp();

        QCOMPARE(t.messages.shown, messages);
        QCOMPARE(t.port.writes, frames);
        QCOMPARE(t.edit(QStringLiteral("firm_version"))->text(), version);
        QCOMPARE(panelTexts(t, readFields), readBefore);
        QCOMPARE(t.setPanel(), setBefore);
        QVERIFY(!t.port.isOpen());
        QVERIFY(!t.window->commands().fillingPanel());
        QVERIFY(t.find(QStringLiteral("COM"))->isEnabled());
    }

    // However a start-up ends, every button is as a finished exchange leaves it. The start-up
    // after a first start's port choice keeps the form off as the ordinary one does: a key typed
    // into the set panel or a port option clicked while S waits changes nothing.
    void startUpLeavesEveryButtonUsable_data()
    {
        QTest::addColumn<bool>("firstStart");  // no settings file: the chooser, then the exchanges
        QTest::addColumn<bool>("portOpens");
        QTest::addColumn<QByteArray>("sReply");
        QTest::addColumn<QByteArray>("vReply");  // empty: never answered
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QString>("pwmPeriod");
        const QList<QByteArray> all{frame("S"), frame("V"), frame("L")};
        const QList<QByteArray> sOnly{frame("S")};
        const QList<QByteArray> sAndV{frame("S"), frame("V")};
        for (const bool first : {false, true}) {
            const char* start = first ? "first start" : "start";
            QTest::addRow("%s, S refused", start) << first << true << reply('S', "B") << QByteArray() << sOnly << "???";
            QTest::addRow("%s, V silent", start) << first << true << reply('S', "R") << QByteArray() << sAndV << "???";
            QTest::addRow("%s, port not opened", start)
                << first << false << reply('S', "R") << QByteArray() << QList<QByteArray>{} << "???";
            QTest::addRow("%s, gone through", start)
                << first << true << reply('S', "R") << reply('V', "00322") << all << "49";
        }
    }
    void startUpLeavesEveryButtonUsable()
    {
        QFETCH(bool, firstStart);
        QFETCH(bool, portOpens);
        QFETCH(QByteArray, sReply);
        QFETCH(QByteArray, vReply);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QString, pwmPeriod);
        TestWindow t;
        if (firstStart)
            t.dialogs.devices = {QStringLiteral("/dev/ttyUSB0")};
        else
            QVERIFY(t.writeSettings(" 1 \r\n"));
        t.port.failOpen = !portOpens;
        t.port.expect(frame("S"), sReply, 50);
        t.port.expect(frame("V"), vReply, vReply.isEmpty() ? -1 : 0);
        t.port.expect(frame("L"), reply('L', exampleBlock));
        QStringList during;  // the form's state and the start-up's, while S waits
        const auto meddle = [&] {
            QTimer::singleShot(0, t.window.get(), [&] {
                if (!t.window->exchangeLock().busy())
                    return;  // the sequence ended without a wait
                during << QStringLiteral("form on: %1").arg(t.find(QStringLiteral("form"))->isEnabled())
                       << QStringLiteral("start-up: %1").arg(t.window->session().startUp().running());
                QTest::keyClicks(t.edit(QStringLiteral("pwm_period")), QStringLiteral("7"));
                t.click(QStringLiteral("COM3"));
            });
        };
        if (firstStart)
            t.dialogs.onChooser = meddle;
        else
            meddle();

        t.window->startUp();

        QCOMPARE(t.port.writes, frames);
        QCOMPARE(during, frames.isEmpty() ? QStringList() : (QStringList{"form on: 0", "start-up: 1"}));
        QCOMPARE(t.edit(QStringLiteral("pwm_period"))->text(), pwmPeriod);
        QCOMPARE(t.settingsBytes(), QByteArray(" 1 \r\n"));
        QCOMPARE(selectedPortOption(t), 1);
        QVERIFY(t.find(QStringLiteral("form"))->isEnabled());
        QCOMPARE(t.disabled(TestWindow::commandGroup + TestWindow::otherButtons + QStringList{"COM1"}), QStringList());
    }

    // Without a usable settings file only the prompt is shown and nothing is sent. A port chosen
    // afterwards is stored, and each exchange then applies the chosen option in full.
    void startWithoutUsableSettings_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("no file") << false << QByteArray();
        QTest::newRow("number beyond 16 bits") << true << QByteArray(" 40000 \r\n");
    }
    void startWithoutUsableSettings()
    {
        QFETCH(bool, file);
        QFETCH(QByteArray, contents);
        TestWindow t;
        if (file)
            QVERIFY(t.writeSettings(contents));
        scriptNormalStart(t);

        t.window->startUp();

        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
        QCOMPARE(selectedPortOption(t), 1);  // the options keep their state
        QVERIFY(t.find(QStringLiteral("COM"))->isEnabled());

        t.click(QStringLiteral("COM2"));
        QCOMPARE(t.settingsBytes(), QByteArray(" 2 \r\n"));
        const int applied = t.port.settingsApplied;
        t.click(QStringLiteral("command_s"));
        QCOMPARE(t.port.writes, QList<QByteArray>{frame("S")});
        QCOMPARE(int(t.window->link().choice().number()), 2);
        QCOMPARE(t.port.settingsApplied, applied + 1);  // the start-up flag is still raised
        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
    }

    // The port message comes twice: from the start-up's own opening and from the S exchange.
    void portThatCannotBeOpened_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 3") << QByteArray(" 3 \r\n") << 3 << "ERROR OPENING COM PORT # 3";
        QTest::newRow("port 7") << QByteArray(" 7 \r\n") << 0 << "ERROR OPENING COM PORT # 7";
        QTest::newRow("empty file") << QByteArray() << 0 << "ERROR OPENING COM PORT # 0";
    }
    void portThatCannotBeOpened()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, option);
        QFETCH(QString, message);
        TestWindow t;
        QVERIFY(t.writeSettings(contents));
        t.port.failOpen = true;
        scriptNormalStart(t);
        t.window->startUp();
        QCOMPARE(t.messages.shown, (QStringList{connectPrompt, message, message}));
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(selectedPortOption(t), option);
        QCOMPARE(t.edit(QStringLiteral("firm_version"))->text(), QStringLiteral("???.??"));
        QCOMPARE(t.window->link().choice().startUpPhase(), PortChoice::StartUpPhase::Over);
    }

    void storedPortChoice_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("option");  // the selected COM option, 0 for none
        QTest::addColumn<int>("port");
        QTest::newRow("7 with blanks") << QByteArray(" 7 \r\n") << 0 << 7;
        QTest::newRow("7 alone") << QByteArray("7") << 0 << 7;
        QTest::newRow("2 without line end") << QByteArray(" 2") << 2 << 2;
        QTest::newRow("4") << QByteArray(" 4 \r\n") << 4 << 4;
        QTest::newRow("1 after 3") << QByteArray(" 1 \r\n") << 1 << 1;
    }
    void storedPortChoice()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, option);
        QFETCH(int, port);
        TestWindow t;
        t.window->setChecked(Field::COM3, true);
        QVERIFY(t.writeSettings(contents));
        scriptNormalStart(t);
        t.window->startUp();
        QCOMPARE(selectedPortOption(t), option);
        QCOMPARE(int(t.window->link().choice().number()), port);
        QCOMPARE(t.port.writes, (QList<QByteArray>{frame("S"), frame("V"), frame("L")}));
        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
        QCOMPARE(t.settingsBytes(), contents);
    }

    // While the sequence runs the COM PORT panel takes no clicks: a choice then would neither be
    // stored nor applied. Once it has ended, a choice is stored.
    void portPanelIsOffWhileTheSequenceRuns()
    {
        TestWindow t;
        QVERIFY(t.writeSettings(" 1 \r\n"));
        t.port.expect(frame("S"), reply('S', "R"), 40);
        t.port.expect(frame("V"), reply('V', "00322"));
        t.port.expect(frame("L"), reply('L', exampleBlock));
        bool enabledDuring = true;
        QTimer::singleShot(10, [&] {
            // Nothing in the window takes input, the set panel and the port panel included.
            enabledDuring = t.find(QStringLiteral("COM"))->isEnabled() || t.find(QStringLiteral("Frame1"))->isEnabled()
                            || t.find(QStringLiteral("set_default"))->isEnabled();
            t.click(QStringLiteral("COM3"));
        });
        t.window->startUp();
        QVERIFY(!enabledDuring);
        QCOMPARE(t.settingsBytes(), QByteArray(" 1 \r\n"));
        QCOMPARE(selectedPortOption(t), 1);
        QCOMPARE(int(t.window->link().choice().number()), 1);
        QVERIFY(t.find(QStringLiteral("COM"))->isEnabled());

        t.click(QStringLiteral("COM3"));
        QCOMPARE(t.settingsBytes(), QByteArray(" 3 \r\n"));
        QCOMPARE(int(t.window->link().choice().number()), 3);
    }

    // A port option runs its choice however it becomes selected, and only once per click; a
    // click on the option already selected runs it too.
    void portOptionChosenByAnyMeans_data()
    {
        QTest::addColumn<QString>("means");
        QTest::addColumn<int>("port");
        QTest::newRow("mouse") << "mouse" << 2;
        QTest::newRow("keyboard") << "keyboard" << 2;
        QTest::newRow("assistive toggle") << "toggle" << 2;
        QTest::newRow("click on the selected option") << "mouse" << 1;
    }
    void portOptionChosenByAnyMeans()
    {
        QFETCH(QString, means);
        QFETCH(int, port);
        TestWindow t;
        QAbstractButton* option = t.button(QStringLiteral("COM%1").arg(port));
        const int applied = t.port.settingsApplied;
        if (means == QLatin1String("mouse")) {
            QTest::mouseClick(option, Qt::LeftButton);
        } else if (means == QLatin1String("keyboard")) {
            t.window->show();
            QVERIFY(QTest::qWaitForWindowActive(t.window.get()));
            t.button(QStringLiteral("COM1"))->setFocus();
            QTest::keyClick(t.button(QStringLiteral("COM1")), Qt::Key_Right);
        } else {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(option);
            QVERIFY(accessible && accessible->actionInterface());
            accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        }
        QVERIFY(option->isChecked());
        QCOMPARE(t.settingsBytes(), QStringLiteral(" %1 \r\n").arg(port).toLatin1());
        QCOMPARE(int(t.window->link().choice().number()), port);
        QCOMPARE(t.port.settingsApplied, applied + 1);
        QTest::qWait(1);
        QTest::mouseClick(option, Qt::LeftButton);
        QCOMPARE(t.port.settingsApplied, applied + 2);
    }

    void absoluteClearsBothStopOptions()
    {
        TestWindow t;
        QVERIFY(t.writeSettings(" 1 \r\n"));
        QByteArray block = exampleBlock;
        block.replace(8, 5, "00002");
        scriptNormalStart(t, block);
        t.window->startUp();
        QCOMPARE(t.edit(QStringLiteral("mode_msg"))->text(), QStringLiteral("Absolute"));
        QVERIFY(!t.window->isChecked(Field::south_stop));
        QVERIFY(!t.window->isChecked(Field::north_stop));
        QCOMPARE(t.edit(QStringLiteral("lower_limit"))->text(), QStringLiteral("0"));
        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
    }

    // After start-up a read fills only the read panel.
    void laterReadFillsOnlyTheReadPanel()
    {
        TestWindow t;
        QVERIFY(t.writeSettings(" 1 \r\n"));
        scriptNormalStart(t);
        t.window->startUp();
        const QStringList setAfterStart = t.setPanel();
        QCOMPARE(t.edit(QStringLiteral("pwm_period"))->text(), QStringLiteral("49"));

        t.port.expect(frame("L"), reply('L', turnedData));
        t.click(QStringLiteral("read_info"));
        QCOMPARE(t.edit(QStringLiteral("offset_read"))->text(), QStringLiteral("-5°"));
        QCOMPARE(t.edit(QStringLiteral("read_pwm_period"))->text(), QStringLiteral("100ms"));
        QCOMPARE(t.setPanel(), setAfterStart);
        QCOMPARE(t.messages.shown, QStringList{connectPrompt});
    }

    void closeRefusedWhileTheMonitorRuns()
    {
        TestWindow t;
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
        t.window->monitor().setState(MonitorState::Running);
        const QString refusal = QStringLiteral("Please STOP the COMMUNICATION MONITOR before to exit.");

        QVERIFY(!t.window->close());
        QVERIFY(t.window->isVisible());
        QCOMPARE(t.messages.shown, QStringList{refusal});
        QVERIFY(!t.window->close());  // every attempt is refused with the message
        QCOMPARE(t.messages.shown, (QStringList{refusal, refusal}));
        QVERIFY(t.window->isVisible());

        t.window->monitor().setState(MonitorState::Idle);
        t.click(QStringLiteral("calib"));
        QVERIFY(t.window->calibrationWindow());
        QVERIFY(t.window->close());
        QVERIFY(!t.window->isVisible());
        // The calibration window stays open on its own.
        QVERIFY(t.window->calibrationWindow());
        QVERIFY(t.window->calibrationWindow()->isVisible());
        QCOMPARE(t.messages.shown.size(), 2);
        QVERIFY(t.port.written.isEmpty());
        QCOMPARE(t.port.opens, 0);
    }

    void closeWhileAnExchangeWaitsIsDeferred()
    {
        TestWindow t;
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
        t.port.expect(frame("S"), reply('S', "R"), 60);
        bool refusedThen = false;
        QTimer::singleShot(20, [&] { refusedThen = !t.window->close() && t.window->isVisible(); });
        t.click(QStringLiteral("command_s"));
        // The exchange ran to its end undisturbed, then the window closed.
        QVERIFY(refusedThen);
        QVERIFY(t.messages.shown.isEmpty());
        QVERIFY(!t.port.isOpen());
        QTRY_VERIFY(!t.window->isVisible());
    }
};

QTEST_MAIN(StartUpTest)
#include "tst_start_up.moc"
