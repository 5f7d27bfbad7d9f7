// SPDX-License-Identifier: GPL-3.0-or-later
// Assigning a device to a port number (the Windows COM names and the Linux links), the stable
// by-id names, the all-or-nothing writing of link and settings file, and the words that say why a
// port would not open.

#include "storage/port_assignment.h"
#include "serial/port_discovery.h"
#include "serial/serial_link.h"
#include "serial/serial_port.h"
#include "storage/settings_file.h"
#include "support/fake_port.h"
#include "support/recording_messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool makeFile(const QString& path, const QByteArray& contents = {})
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

// The link's target as written, or "<none>".
QString linkTarget(const QString& path)
{
    const QFileInfo link(path);
    return link.isSymLink() ? QFile::symLinkTarget(path) : QStringLiteral("<none>");
}

}  // namespace

class PortAssignmentTest : public QObject {
    Q_OBJECT
private slots:
    // Windows: COM1 to COM255, in any case and with or without the device prefix, is the port
    // number; nothing else is a port; no link is ever made.
    void windowsPortNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("port");  // 0: refused
        QTest::newRow("COM1") << "COM1" << 1;
        QTest::newRow("com5, lower case") << "com5" << 5;
        QTest::newRow("COM255") << "COM255" << 255;
        QTest::newRow("device prefix") << "\\\\.\\COM12" << 12;
        QTest::newRow("blanks around") << "  COM3 " << 3;
        QTest::newRow("COM0") << "COM0" << 0;
        QTest::newRow("COM256") << "COM256" << 0;
        QTest::newRow("leading zero") << "COM05" << 0;
        QTest::newRow("a Linux device") << "/dev/ttyUSB0" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("line break") << "COM\n3" << 0;
    }
    void windowsPortNames()
    {
        QFETCH(QString, typed);
        QFETCH(int, port);
        // The selected option plays no part on Windows: the name carries the number.
        const PortAssignment assignment = assignDevice(typed, Platform::Windows, 2);
        QCOMPARE(assignment.error.isEmpty(), port != 0);
        QCOMPARE(assignment.portNumber, port);
        QVERIFY(assignment.linkTarget.isEmpty());
    }

    // Linux: the device goes to the selected option's port number (1 when none is selected). A
    // device that is not there is accepted; a name no device can have, or a folder, is refused.
    void posixDeviceNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("port");  // 0: refused
        QTest::addColumn<QString>("target");
        QTest::newRow("adapter, COM3 selected") << "/dev/ttyUSB0" << 3 << 3 << "/dev/ttyUSB0";
        QTest::newRow("none selected") << "/dev/ttyACM0" << 0 << 1 << "/dev/ttyACM0";
        QTest::newRow("pseudo-terminal") << "/dev/pts/7" << 4 << 4 << "/dev/pts/7";
        QTest::newRow("bare name") << "ttyUSB1" << 2 << 2 << "/dev/ttyUSB1";
        QTest::newRow("not plugged in") << "/dev/ttyUSB97" << 1 << 1 << "/dev/ttyUSB97";
        QTest::newRow("blanks around") << " /dev/ttyS0\t" << 1 << 1 << "/dev/ttyS0";
        QTest::newRow("empty") << "" << 1 << 0 << "";
        QTest::newRow("blanks only") << "   " << 1 << 0 << "";
        QTest::newRow("line break inside") << "/dev/tty\nUSB0" << 1 << 0 << "";
        QTest::newRow("control character") << "/dev/tty\x01USB0" << 1 << 0 << "";
        QTest::newRow("NUL") << QString::fromUtf16(u"/dev/tty\0USB0", 13) << 1 << 0 << "";
        QTest::newRow("relative path") << "dev/ttyUSB0" << 1 << 0 << "";
        QTest::newRow("a folder") << "/dev" << 1 << 0 << "";
        QTest::newRow("a folder by bare name") << "pts" << 1 << 0 << "";
        QTest::newRow("too long") << "/dev/" + QString(5000, QLatin1Char('x')) << 1 << 0 << "";
    }
    void posixDeviceNames()
    {
        QFETCH(QString, typed);
        QFETCH(int, option);
        QFETCH(int, port);
        QFETCH(QString, target);
        const PortAssignment assignment = assignDevice(typed, Platform::Posix, option);
        QVERIFY2(assignment.error.isEmpty() == (port != 0), qPrintable(assignment.error));
        QCOMPARE(assignment.portNumber, port);
        QCOMPARE(assignment.linkTarget, target);
    }

    // A device with a stable name is assigned by it, whichever of its names was typed; dangling
    // stable names (an adapter just unplugged) are not offered.
    void stableNameIsPreferred()
    {
        QTemporaryDir dir;
        const QString dev = dir.filePath(QStringLiteral("dev"));
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        QVERIFY(QDir().mkpath(dev) && QDir().mkpath(byId));
        QVERIFY(makeFile(dev + QStringLiteral("/ttyUSB0")));
        QVERIFY(makeFile(dev + QStringLiteral("/ttyUSB1")));
        const QString stable = byId + QStringLiteral("/usb-Maker_Box_A1-if00-port0");
        QVERIFY(QFile::link(dev + QStringLiteral("/ttyUSB0"), stable));
        QVERIFY(QFile::link(dev + QStringLiteral("/gone"), byId + QStringLiteral("/usb-Maker_Gone-if00-port0")));
        // Another name for the same device, as a udev rule makes.
        QVERIFY(QFile::link(dev + QStringLiteral("/ttyUSB0"), dev + QStringLiteral("/cbox")));

        const QHash<QString, QString> names = byIdNames(byId);
        QCOMPARE(names.size(), 1);
        QCOMPARE(assignDevice(dev + QStringLiteral("/ttyUSB0"), Platform::Posix, 2, names).linkTarget, stable);
        QCOMPARE(assignDevice(dev + QStringLiteral("/cbox"), Platform::Posix, 2, names).linkTarget, stable);
        QCOMPARE(assignDevice(stable, Platform::Posix, 2, names).linkTarget, stable);
        QCOMPARE(assignDevice(dev + QStringLiteral("/ttyUSB1"), Platform::Posix, 2, names).linkTarget,
                 dev + QStringLiteral("/ttyUSB1"));
        QVERIFY(byIdNames(dir.filePath(QStringLiteral("missing"))).isEmpty());
    }

    // The link is made (folders too) or replaced, the number stored, nothing left beside them;
    // the port number then opens the new device.
    void assignmentWritesLinkAndSettings_data()
    {
        QTest::addColumn<QString>("oldTarget");  // empty: no link yet, no folder either
        QTest::newRow("first link, folders made") << "";
        QTest::newRow("old link replaced") << "/dev/ttyS7";
    }
    void assignmentWritesLinkAndSettings()
    {
        QFETCH(QString, oldTarget);
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("rotor"));
        const QString settings = config + QStringLiteral("/rotor.ini");
        const QString links = portLinksFolder(settings);
        QCOMPARE(links, config + QStringLiteral("/ports"));
        if (!oldTarget.isEmpty()) {
            QVERIFY(QDir().mkpath(links));
            QVERIFY(QFile::link(oldTarget, portLinkPath(links, 2)));
        }
        QCOMPARE(portDevice(2, Platform::Posix, links), oldTarget.isEmpty() ? "/dev/ttyS1" : oldTarget);

        const PortAssignment assignment = assignDevice(QStringLiteral("/dev/ttyUSB0"), Platform::Posix, 2);
        QString error;
        QVERIFY2(applyAssignment(assignment, settings, links, &error), qPrintable(error));

        QCOMPARE(linkTarget(portLinkPath(links, 2)), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(contents(settings), QByteArray(" 2 \r\n"));
        QCOMPARE(QDir(links).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), QStringList{"com2"});
        QCOMPARE(portDevice(2, Platform::Posix, links), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(portDevice(3, Platform::Posix, links), QStringLiteral("/dev/ttyS2"));
    }

    // Windows keeps the number in the settings file only.
    void windowsAssignmentWritesNoLink()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("rotor.ini"));
        const PortAssignment assignment = assignDevice(QStringLiteral("COM12"), Platform::Windows, 1);
        QString error;
        QVERIFY2(applyAssignment(assignment, settings, portLinksFolder(settings), &error), qPrintable(error));
        QCOMPARE(contents(settings), QByteArray(" 12 \r\n"));
        QVERIFY(!QFileInfo::exists(portLinksFolder(settings)));
        QCOMPARE(portDevice(12, Platform::Windows, portLinksFolder(settings)), QStringLiteral("COM12"));
    }

    // A link or a settings file that cannot be written: a sentence that says so, and link and
    // settings file as they were (a link already replaced is put back).
    void failedWriteChangesNothing_data()
    {
        QTest::addColumn<QString>("blocked");  // "links", "link", "settings"
        QTest::addColumn<bool>("oldLink");
        QTest::addColumn<QString>("words");
        QTest::newRow("links folder under a file") << "links" << false << "could not be made";
        QTest::newRow("a plain file where the link goes") << "link" << false << "is not a link";
        QTest::newRow("settings file under a file, old link") << "settings" << true << "settings file";
        QTest::newRow("settings file under a file, no old link") << "settings" << false << "settings file";
    }
    void failedWriteChangesNothing()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, oldLink);
        QFETCH(QString, words);
        QTemporaryDir dir;
        QVERIFY(makeFile(dir.filePath(QStringLiteral("file"))));
        QString settings = dir.filePath(QStringLiteral("rotor.ini"));
        QVERIFY(makeFile(settings, " 4 \r\n"));
        QString links = dir.filePath(QStringLiteral("ports"));
        QVERIFY(QDir().mkpath(links));
        if (oldLink)
            QVERIFY(QFile::link(QStringLiteral("../old-device"), portLinkPath(links, 1)));
        if (blocked == QLatin1String("links"))
            links = dir.filePath(QStringLiteral("file/ports"));
        else if (blocked == QLatin1String("link"))
            QVERIFY(makeFile(portLinkPath(links, 1), "keep me"));
        else
            settings = dir.filePath(QStringLiteral("file/rotor.ini"));
        const QString linkBefore = linkTarget(portLinkPath(links, 1));
        const QByteArray linkFileBefore = contents(portLinkPath(links, 1));
        const QStringList entriesBefore = QDir(links).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

        QString error;
        QVERIFY(!applyAssignment(assignDevice(QStringLiteral("/dev/ttyUSB0"), Platform::Posix, 1), settings, links,
                                 &error));
        QVERIFY2(error.contains(words), qPrintable(error));
        QVERIFY2(error.startsWith(QStringLiteral("Port 1 was not assigned to /dev/ttyUSB0: ")), qPrintable(error));
        QVERIFY2(error.endsWith(QStringLiteral("Nothing was changed.")), qPrintable(error));
        QCOMPARE(linkTarget(portLinkPath(links, 1)), linkBefore);
        QCOMPARE(contents(portLinkPath(links, 1)), linkFileBefore);
        QCOMPARE(QDir(links).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), entriesBefore);
        QCOMPARE(contents(dir.filePath(QStringLiteral("rotor.ini"))), QByteArray(" 4 \r\n"));
    }

    // The port message keeps its exact text; its informative text names the device tried and
    // what to do about the reason.
    void openFailureSaysWhy_data()
    {
        QTest::addColumn<PortOpenFailure>("failure");
        QTest::addColumn<QString>("details");
        const QString device = QStringLiteral("Device tried: /dev/ttyUSB0\n");
        QTest::newRow("no such device")
            << PortOpenFailure::NoSuchDevice
            << device
                   + "No such device: is the adapter plugged in? If it is, choose its port with Port > Choose "
                     "serial port\u2026";
        QTest::newRow("permission denied")
            << PortOpenFailure::PermissionDenied
            << device
                   + "Permission denied: you may not use this device. Add yourself to the dialout group (sudo "
                     "usermod -aG dialout $USER), then log out and in again.";
        QTest::newRow("in use") << PortOpenFailure::InUse
                                << device + "The device is in use by another program: close it there, then try again.";
        QTest::newRow("anything else") << PortOpenFailure::Other
                                       << device + "The system says: Inappropriate ioctl for device";
    }
    void openFailureSaysWhy()
    {
        QFETCH(PortOpenFailure, failure);
        QFETCH(QString, details);
        FakePort port;
        RecordingMessages messages;
        SettingsFile settings;
        SerialLink link(port, settings, messages, 100);
        port.failOpen = true;
        port.failure = failure;
        port.failureText = QStringLiteral("Inappropriate ioctl for device");
        port.device = QStringLiteral("/dev/ttyUSB0");
        link.choice().setNumber(3);
        QVERIFY(link.OPEN_PORT());
        QCOMPARE(messages.shown, QStringList{"ERROR OPENING COM PORT # 3"});
        QCOMPARE(messages.details, QStringList{details});
    }

    // What QSerialPort reports, in the operator's terms: a refusal for permission is the user's
    // rights only when the device is there and the user may not use it; otherwise another program
    // holds it. On Windows "access denied" always means in use.
    void openFailureReasons_data()
    {
        QTest::addColumn<QSerialPort::SerialPortError>("error");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<Platform>("platform");
        QTest::addColumn<PortOpenFailure>("failure");
        using E = QSerialPort;
        using F = PortOpenFailure;
        QTest::newRow("not found") << E::DeviceNotFoundError << false << false << Platform::Posix << F::NoSuchDevice;
        QTest::newRow("no rights") << E::PermissionError << true << true << Platform::Posix << F::PermissionDenied;
        QTest::newRow("locked or busy") << E::PermissionError << true << false << Platform::Posix << F::InUse;
        QTest::newRow("permission, nothing there")
            << E::PermissionError << false << false << Platform::Posix << F::NoSuchDevice;
        QTest::newRow("Windows access denied") << E::PermissionError << true << true << Platform::Windows << F::InUse;
        QTest::newRow("not a terminal") << E::UnknownError << true << false << Platform::Posix << F::Other;
        QTest::newRow("went through") << E::NoError << true << false << Platform::Posix << F::None;
    }
    void openFailureReasons()
    {
        QFETCH(QSerialPort::SerialPortError, error);
        QFETCH(bool, exists);
        QFETCH(bool, denied);
        QFETCH(Platform, platform);
        QFETCH(PortOpenFailure, failure);
        QCOMPARE(openFailureOf(error, exists, denied, platform), failure);
    }

    // A real open of a device that is not there says so.
    void realPortReportsAMissingDevice()
    {
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        const QString links = dir.filePath(QStringLiteral("rotor/ports"));
        QString error;
        QVERIFY2(writePortLink(links, 1, dir.filePath(QStringLiteral("unplugged")), &error), qPrintable(error));
        SerialPort port;
        SettingsFile settings;
        PortChoice choice(settings);
        choice.setNumber(1);
        QVERIFY(port.applyLineSettings());
        QVERIFY(!port.open(choice));
        QCOMPARE(port.lastOpenDevice(), dir.filePath(QStringLiteral("unplugged")));
        QCOMPARE(port.lastOpenFailure(), PortOpenFailure::NoSuchDevice);
    }
};

QTEST_MAIN(PortAssignmentTest)
#include "tst_port_assignment.moc"
