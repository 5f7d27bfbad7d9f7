// SPDX-License-Identifier: GPL-3.0-or-later
// The port chooser and what its OK does: the list of ports following adapters plugged in and out,
// the Device field, the assignment from Port > Choose serial port… (link, settings file, option,
// no exchange), the chooser a first start opens, the options' hints and Help > About rotor.

#include "support/silent_pty.h"
#include "support/test_window.h"
#include "support/sample_blocks.h"
#include "ui/port_menu.h"
#include "ui/monitor.h"
#include "ui/port_chooser.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

Q_DECLARE_METATYPE(SerialPortEntry)
Q_DECLARE_METATYPE(Platform)

namespace {

class ListedPorts : public PortDiscovery {
public:
    QList<SerialPortEntry> ports() const override { return list; }
    QList<SerialPortEntry> list;
};

const SerialPortEntry onBoard{"/dev/ttyS0", "Serial port", "", "", ""};
const SerialPortEntry adapter{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1B2C3",
                              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"};
const SerialPortEntry modem{"/dev/ttyACM0", "CBOX USB", "Maker", "0042", "/dev/serial/by-id/usb-Maker_CBOX_0042-if00"};

const QString connectPrompt =
    QStringLiteral("Connect the PC to the CBOX, power-on it and click on OK when the CBOX is ready");
QStringList rowTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int c = 0; c < item->columnCount(); ++c)
        texts << item->text(c);
    return texts;
}

QString linkOf(const TestWindow& t, int n)
{
    const QString path = t.settingsDir.filePath(QStringLiteral("ports/com%1").arg(n));
    return QFileInfo(path).isSymLink() ? QFile::symLinkTarget(path) : QStringLiteral("<none>");
}

int selectedOption(const TestWindow& t)
{
    for (int n = 1; n <= 4; ++n)
        if (t.window->isChecked(portOption(n)))
            return n;
    return 0;
}

void trigger(const TestWindow& t, const char* action)
{
    t.window->findChild<QAction*>(QLatin1String(action))->trigger();
}

}  // namespace

class PortChooserTest : public QObject {
    Q_OBJECT
private slots:
    // A listed port fills the Device field with its stable name when it has one, else its device.
    void selectingAPortFillsDevice_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("device");
        QTest::newRow("no stable name") << 0 << "/dev/ttyS0";
        QTest::newRow("stable name") << 1 << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    }
    void selectingAPortFillsDevice()
    {
        QFETCH(int, row);
        QFETCH(QString, device);
        ListedPorts ports;
        ports.list = {onBoard, adapter};
        PortChooser chooser(ports, QStringLiteral("/dev/pts/3"));
        QCOMPARE(chooser.device(), QStringLiteral("/dev/pts/3"));
        QCOMPARE(rowTexts(chooser.portList()->topLevelItem(1)),
                 (QStringList{adapter.device, adapter.description, adapter.manufacturer, adapter.serialNumber,
                              adapter.byIdName}));
        chooser.portList()->setCurrentItem(chooser.portList()->topLevelItem(row));
        QCOMPARE(chooser.device(), device);
    }

    // Plugged in and out while the dialog is open: the list follows, the selection stays on its
    // device and what the operator typed stays as typed.
    void listFollowsPlugAndUnplug()
    {
        ListedPorts ports;
        ports.list = {onBoard, adapter};
        PortChooser chooser(ports, adapter.device, nullptr, 10);
        auto* none = chooser.findChild<QLabel*>(QStringLiteral("no_ports"));
        QCOMPARE(chooser.portList()->currentItem()->text(0), adapter.device);
        chooser.deviceField()->setText(QStringLiteral("/dev/pts/9"));

        ports.list = {onBoard, modem, adapter};
        QTRY_COMPARE(chooser.portList()->topLevelItemCount(), 3);
        QCOMPARE(chooser.portList()->topLevelItem(1)->text(0), modem.device);
        QCOMPARE(chooser.portList()->currentItem()->text(0), adapter.device);
        QCOMPARE(chooser.device(), QStringLiteral("/dev/pts/9"));
        QVERIFY(none->isHidden());

        ports.list = {onBoard, modem};
        QTRY_COMPARE(chooser.portList()->topLevelItemCount(), 2);
        ports.list = {};
        QTRY_COMPARE(chooser.portList()->topLevelItemCount(), 0);
        QVERIFY(!none->isHidden());
        QCOMPARE(chooser.device(), QStringLiteral("/dev/pts/9"));
    }

    // Reachable from the keyboard and named for assistive technology: the menu items have
    // mnemonics, the field its labelled buddy, the dialog its title and OK and Cancel.
    void chooserAndMenusAreNamed()
    {
        TestWindow t;
        QCOMPARE(t.window->findChild<QAction*>(QStringLiteral("action_choose_port"))->text(),
                 QStringLiteral("&Choose serial port\u2026"));
        QVERIFY(t.window->portMenu()->actions().contains(
            t.window->findChild<QAction*>(QStringLiteral("action_choose_port"))));
        QCOMPARE(t.window->findChild<QAction*>(QStringLiteral("action_about"))->text(), QStringLiteral("&About rotor"));
        QVERIFY(
            t.window->helpMenu()->actions().contains(t.window->findChild<QAction*>(QStringLiteral("action_about"))));

        ListedPorts ports;
        PortChooser chooser(ports, QString());
        QCOMPARE(chooser.windowTitle(), QStringLiteral("Serial port"));
        QLabel* deviceLabel = nullptr;
        QLabel* listLabel = nullptr;
        for (QLabel* label : chooser.findChildren<QLabel*>()) {
            if (label->buddy() == chooser.deviceField())
                deviceLabel = label;
            if (label->buddy() == chooser.portList())
                listLabel = label;
        }
        QVERIFY(deviceLabel && listLabel);
        QCOMPARE(deviceLabel->text(), QStringLiteral("&Device"));
        QCOMPARE(chooser.deviceField()->accessibleName(), QStringLiteral("Device"));
        auto* buttons = chooser.findChild<QDialogButtonBox*>(QStringLiteral("buttons"));
        QVERIFY(buttons->button(QDialogButtonBox::Ok) && buttons->button(QDialogButtonBox::Cancel));
    }

    // OK assigns the device to the selected option's port (1 when none is): the link, the number
    // in the settings file, the option, the hint. Nothing is sent; the next exchange opens it.
    void assignmentFromTheMenu_data()
    {
        QTest::addColumn<int>("option");  // 0: none selected
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("startedWith");
        QTest::newRow("COM3 selected") << 3 << "/dev/ttyUSB0" << 3 << "/dev/ttyUSB0"
                                       << "/dev/ttyS2";
        QTest::newRow("none selected") << 0 << "/dev/pts/4" << 1 << "/dev/pts/4"
                                       << "/dev/ttyS0";
        QTest::newRow("bare name") << 2 << "ttyACM0" << 2 << "/dev/ttyACM0"
                                   << "/dev/ttyS1";
    }
    void assignmentFromTheMenu()
    {
        QFETCH(int, option);
        QFETCH(QString, typed);
        QFETCH(int, port);
        QFETCH(QString, target);
        QFETCH(QString, startedWith);
        TestWindow t;
        for (int n = 1; n <= 4; ++n)
            t.window->setChecked(portOption(n), n == option);
        t.dialogs.devices = {typed};

        trigger(t, "action_choose_port");

        QCOMPARE(t.dialogs.asked, QStringList{"Serial port"});
        QCOMPARE(t.dialogs.chooserStartedWith, QStringList{startedWith});
        QCOMPARE(t.messages.shown, QStringList());
        QCOMPARE(linkOf(t, port), target);
        QCOMPARE(t.settingsBytes(), QStringLiteral(" %1 \r\n").arg(port).toLatin1());
        QCOMPARE(selectedOption(t), port);
        QCOMPARE(int(t.window->link().choice().number()), port);
        QCOMPARE(t.port.opens, 0);
        QVERIFY(t.port.written.isEmpty());
        const QString hint = QStringLiteral("Port %1 opens %2").arg(port).arg(target);
        QCOMPARE(t.button(QStringLiteral("COM%1").arg(port))->toolTip(), hint);
        QCOMPARE(t.button(QStringLiteral("COM%1").arg(port))->accessibleDescription(), hint);
    }

    // Cancel, a refused name, or a link that cannot be written: a message when there is
    // something to say, and the link, settings file, option and port as they were.
    void nothingChanges_data()
    {
        QTest::addColumn<QStringList>("answers");  // empty: Cancel
        QTest::addColumn<bool>("portsIsAFile");
        QTest::addColumn<QString>("message");  // its start; empty: no message
        QTest::newRow("cancel") << QStringList{} << false << "";
        QTest::newRow("empty") << QStringList{""} << false
                               << "No device was given: choose one from the list or type its name.";
        QTest::newRow("line break") << QStringList{"/dev/tty\nUSB0"} << false
                                    << "The device name holds a control character";
        QTest::newRow("folder") << QStringList{"/dev"} << false << "/dev is a folder, not a device";
        QTest::newRow("links folder cannot be made")
            << QStringList{"/dev/ttyUSB0"} << true << "Port 2 was not assigned to /dev/ttyUSB0: the folder ";
    }
    void nothingChanges()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, portsIsAFile);
        QFETCH(QString, message);
        TestWindow t;
        QVERIFY(t.writeSettings(" 2 \r\n"));
        t.window->setChecked(Field::COM2, true);
        if (portsIsAFile) {
            QFile file(t.settingsDir.filePath(QStringLiteral("ports")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        t.dialogs.devices = answers;
        const int portBefore = t.window->link().choice().number();

        trigger(t, "action_choose_port");

        QCOMPARE(t.dialogs.asked, QStringList{"Serial port"});
        QCOMPARE(t.messages.shown.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(t.messages.shown.first().startsWith(message), qPrintable(t.messages.shown.first()));
        QCOMPARE(linkOf(t, 2), QStringLiteral("<none>"));
        QCOMPARE(t.settingsBytes(), QByteArray(" 2 \r\n"));
        QCOMPARE(selectedOption(t), 2);
        QCOMPARE(int(t.window->link().choice().number()), portBefore);
    }

    // Port > Find the CBOX… sends nothing until the operator agrees, and never while the monitor
    // runs; agreed, the query reaches every port, here a silent one linked as COM 2.
    void findTheCboxAsksFirst_data()
    {
        QTest::addColumn<bool>("monitorRuns");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("shown");
        QTest::newRow("answered No") << false << QList<bool>{false} << 1 << QByteArray() << "";
        QTest::newRow("answered Yes") << false << QList<bool>{true} << 1
                                      << QByteArray("\x02"
                                                    "A?\r")
                                      << "No CBOX answered.";
        QTest::newRow("monitor runs") << true << QList<bool>{true} << 0 << QByteArray()
                                      << "The CBOX cannot be searched for while an exchange or the monitor runs";
    }
    void findTheCboxAsksFirst()
    {
        QFETCH(bool, monitorRuns);
        QFETCH(QList<bool>, answers);
        QFETCH(int, questions);
        QFETCH(QByteArray, sent);
        QFETCH(QString, shown);
        TestWindow t;
        SilentPty pty;
        QVERIFY(!pty.device().isEmpty());
        QDir().mkpath(t.settingsDir.filePath(QStringLiteral("ports")));
        QVERIFY(QFile::link(pty.device(), t.settingsDir.filePath(QStringLiteral("ports/com2"))));
        ListedPorts none;  // the machine's own ports stay untouched
        t.window->findChild<PortMenu*>()->setDiscovery(&none);
        if (monitorRuns)
            t.window->monitor().setState(MonitorState::Running);
        t.messages.answers = answers;

        trigger(t, "action_find_cbox");

        QCOMPARE(t.messages.questions.size(), questions);
        QCOMPARE(pty.written(), sent);
        QVERIFY(shown.isEmpty() ? t.messages.shown.isEmpty() : t.messages.shown.value(0).startsWith(shown));
        QVERIFY(t.port.written.isEmpty());
    }

    // Each option names the device its port number opens: at start, and after an assignment.
    void optionHintsNameTheDevice()
    {
        TestWindow t;
        QVERIFY(t.writeSettings(" 2 \r\n"));
        QVERIFY(QDir().mkpath(t.settingsDir.filePath(QStringLiteral("ports"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/9"), t.settingsDir.filePath(QStringLiteral("ports/com2"))));
        t.port.expect(frame("S"), reply('S', "R"));
        t.port.expect(frame("V"), reply('V', "00322"));
        t.port.expect(frame("L"), reply('L', exampleBlock));
        t.window->startUp();

        QStringList hints;
        for (int n = 1; n <= 4; ++n)
            hints << t.button(QStringLiteral("COM%1").arg(n))->toolTip();
        QCOMPARE(hints, (QStringList{"Port 1 opens /dev/ttyS0", "Port 2 opens /dev/pts/9", "Port 3 opens /dev/ttyS2",
                                     "Port 4 opens /dev/ttyS3"}));
        QCOMPARE(t.button(QStringLiteral("COM2"))->accessibleDescription(), hints[1]);

        t.dialogs.devices = {QStringLiteral("/dev/ttyACM0")};
        trigger(t, "action_choose_port");
        QCOMPARE(t.button(QStringLiteral("COM2"))->toolTip(), QStringLiteral("Port 2 opens /dev/ttyACM0"));
        QCOMPARE(t.button(QStringLiteral("COM2"))->accessibleDescription(),
                 QStringLiteral("Port 2 opens /dev/ttyACM0"));
    }

    // A first start, without a settings file, opens the chooser once the sequence has ended (which
    // sent nothing); OK runs the start-up's exchanges once, Cancel nothing. A settings file that
    // is there, usable or not, opens no chooser.
    void firstStartOpensTheChooser_data()
    {
        QTest::addColumn<QByteArray>("settings");  // "<none>": no file
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QByteArray>("sReply");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("pwmPeriod");  // a set-panel entry: filled by a start-up read only
        const QStringList chooser{"Serial port"};
        const QList<QByteArray> all{frame("S"), frame("V"), frame("L")};
        QTest::newRow("no file, OK") << QByteArray("<none>") << QStringList{"/dev/ttyUSB0"} << reply('S', "R") << all
                                     << QStringList{connectPrompt} << chooser << "49";
        QTest::newRow("no file, OK, S refused")
            << QByteArray("<none>") << QStringList{"/dev/ttyUSB0"} << reply('S', "B") << QList<QByteArray>{frame("S")}
            << QStringList{connectPrompt, "R not received:B"} << chooser << "???";
        QTest::newRow("no file, Cancel") << QByteArray("<none>") << QStringList{} << reply('S', "R")
                                         << QList<QByteArray>{} << QStringList{connectPrompt} << chooser << "???";
        QTest::newRow("no file, refused name")
            << QByteArray("<none>") << QStringList{"/dev"} << reply('S', "R") << QList<QByteArray>{}
            << QStringList{connectPrompt, "/dev is a folder, not a device: choose a device such as /dev/ttyUSB0."}
            << chooser << "???";
        QTest::newRow("number out of range")
            << QByteArray(" 40000 \r\n") << QStringList{"/dev/ttyUSB0"} << reply('S', "R") << QList<QByteArray>{}
            << QStringList{connectPrompt} << QStringList{} << "???";
        QTest::newRow("usable file") << QByteArray(" 1 \r\n") << QStringList{"/dev/ttyUSB0"} << reply('S', "R") << all
                                     << QStringList{connectPrompt} << QStringList{} << "49";
    }
    void firstStartOpensTheChooser()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, answers);
        QFETCH(QByteArray, sReply);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, asked);
        QFETCH(QString, pwmPeriod);
        TestWindow t;
        if (settings != "<none>")
            QVERIFY(t.writeSettings(settings));
        qsizetype writtenWhenAsked = -1;
        t.dialogs.devices = answers;
        t.port.expect(frame("S"), sReply);
        t.port.expect(frame("V"), reply('V', "00322"));
        t.port.expect(frame("L"), reply('L', exampleBlock));
        t.window->setText(Field::pwm_period, QStringLiteral("???"));
        t.dialogs.onChooser = [&] { writtenWhenAsked = t.port.written.size(); };

        t.window->startUp();

        QCOMPARE(t.dialogs.asked, asked);
        // The chooser comes once the sequence has ended, which sent nothing.
        QCOMPARE(writtenWhenAsked, asked.isEmpty() ? -1 : 0);
        QCOMPARE(t.port.writes, frames);
        QCOMPARE(t.messages.shown, messages);
        QCOMPARE(t.edit(QStringLiteral("pwm_period"))->text(), pwmPeriod);
        QVERIFY(!t.window->commands().fillingPanel());
        QVERIFY(!t.port.isOpen());
        if (asked.isEmpty())
            return;
        const bool assigned = answers == QStringList{"/dev/ttyUSB0"};
        QCOMPARE(t.settingsBytes(), assigned ? QByteArray(" 1 \r\n") : QByteArray("<none>"));
        QCOMPARE(linkOf(t, 1), assigned ? QStringLiteral("/dev/ttyUSB0") : QStringLiteral("<none>"));
        // Once the port is assigned the run goes on as after a normal start.
        QCOMPARE(t.window->link().choice().startUpPhase() == PortChoice::StartUpPhase::SettingsMissing, !assigned);

        // A chooser opened later from the menu runs no exchange.
        const qsizetype sent = t.port.writes.size();
        t.dialogs.devices = {QStringLiteral("/dev/ttyUSB1")};
        trigger(t, "action_choose_port");
        QCOMPARE(t.port.writes.size(), sent);
        QCOMPARE(linkOf(t, 1), QStringLiteral("/dev/ttyUSB1"));
    }

    // Opened by a first start, the chooser says why it is there and which port the choice becomes;
    // opened from the menu it says nothing of the kind.
    void chooserExplainsAFirstStart_data()
    {
        QTest::addColumn<bool>("firstStart");
        QTest::addColumn<QString>("intro");
        QTest::newRow("first start")
            << true << "rotor has no serial port yet: choose the CBOX's adapter; it becomes COM port 1.";
        QTest::newRow("from the menu") << false << "";
    }
    void chooserExplainsAFirstStart()
    {
        QFETCH(bool, firstStart);
        QFETCH(QString, intro);
        TestWindow t;
        if (firstStart)
            t.window->startUp();
        else
            trigger(t, "action_choose_port");
        QCOMPARE(t.dialogs.chooserIntros, QStringList{intro});

        ListedPorts ports;
        PortChooser chooser(ports, QString());
        chooser.setIntro(intro);
        auto* shown = chooser.findChild<QLabel*>(QStringLiteral("intro"));
        QCOMPARE(shown->isHidden(), intro.isEmpty());
        QCOMPARE(shown->text(), intro);
    }

    // The hint under the Device field speaks of COM names only on Windows.
    void deviceHintFitsThePlatform_data()
    {
        QTest::addColumn<Platform>("platform");
        QTest::addColumn<bool>("namesCom");
        QTest::newRow("Linux") << Platform::Posix << false;
        QTest::newRow("Windows") << Platform::Windows << true;
    }
    void deviceHintFitsThePlatform()
    {
        QFETCH(Platform, platform);
        QFETCH(bool, namesCom);
        ListedPorts ports;
        PortChooser chooser(ports, QString(), nullptr, PortChooser::pollIntervalMs, platform);
        const QString hint = chooser.findChild<QLabel*>(QStringLiteral("device_hint"))->text();
        QCOMPARE(hint.contains(QLatin1String("COM1")), namesCom);
        QCOMPARE(hint.contains(QLatin1String("Windows")), false);
        QCOMPARE(chooser.deviceField()->accessibleDescription(), hint);
    }

    // A Device field that starts empty or with a built-in port gives way to a listed USB adapter; an
    // adapter, or a device the operator gave (a pseudo-terminal), stays.
    void usbAdapterIsPreselected_data()
    {
        SerialPortEntry windowsAdapter{"COM5", "USB Serial Port", "FTDI", "A1", ""};
        windowsAdapter.usb = true;
        const SerialPortEntry windowsBuiltIn{"COM1", "Communications Port", "", "", ""};
        QTest::addColumn<QList<SerialPortEntry>>("listed");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("device");
        QTest::newRow("built-in port") << QList<SerialPortEntry>{onBoard, adapter} << "/dev/ttyS0" << adapter.byIdName;
        QTest::newRow("built-in port not listed") << QList<SerialPortEntry>{modem} << "/dev/ttyS0" << modem.byIdName;
        QTest::newRow("nothing yet") << QList<SerialPortEntry>{onBoard, adapter} << "" << adapter.byIdName;
        QTest::newRow("an adapter already")
            << QList<SerialPortEntry>{onBoard, modem, adapter} << adapter.device << adapter.device;
        QTest::newRow("a pseudo-terminal") << QList<SerialPortEntry>{onBoard, adapter} << "/dev/pts/3"
                                           << "/dev/pts/3";
        QTest::newRow("no adapter") << QList<SerialPortEntry>{onBoard} << "/dev/ttyS0"
                                    << "/dev/ttyS0";
        QTest::newRow("Windows") << QList<SerialPortEntry>{windowsBuiltIn, windowsAdapter} << "COM1"
                                 << "COM5";
    }
    void usbAdapterIsPreselected()
    {
        QFETCH(QList<SerialPortEntry>, listed);
        QFETCH(QString, current);
        QFETCH(QString, device);
        ListedPorts ports;
        ports.list = listed;
        PortChooser chooser(ports, current);
        QCOMPARE(chooser.device(), device);
    }

    // Help > About rotor: the versions, the configuration folder and the settings file in use.
    void aboutNamesVersionsAndFiles()
    {
        TestWindow t;
        trigger(t, "action_about");
        QCOMPARE(t.dialogs.asked, QStringList{"About rotor"});
        const QString text = t.dialogs.abouts.value(0);
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("^rotor \\d+\\.\\d+"))), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Configuration folder: %1\n").arg(t.settingsDir.path())),
                 qPrintable(text));
        QVERIFY2(
            text.contains(
                QStringLiteral("Settings file: %1 (not written yet)").arg(t.window->link().choice().settingsPath())),
            qPrintable(text));
    }
};

QTEST_MAIN(PortChooserTest)
#include "tst_port_chooser.moc"
