// SPDX-License-Identifier: GPL-3.0-or-later
// The built program's command line with no display at all: --help and --version answer on standard
// output, a mistaken option on standard error with exit status 2, and Qt's own options are taken
// for what they are. None of it may reach for the window system.

#include "rotor/version.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString Program = QStringLiteral(ROTOR_BUILD_DIR "/src/app/rotor");
constexpr int Patience = 20000;

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
};

void CommandLineTest::initTestCase()
{
    QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program + QStringLiteral(" is not built")));
}

void CommandLineTest::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // a pattern standard output matches whole
    QTest::addColumn<QString>("err");  // the same for standard error
    const QString version = QRegularExpression::escape(QStringLiteral("rotor " ROTOR_VERSION "\n"));
    const QString help = QStringLiteral("Usage: rotor \\[options\\]\n.*\n  -h, --help .*\n  -v, --version .*");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("-v after a Qt option") << QStringList{"-platform", "xcb", "-v"} << 0 << version << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << help << QString();
    QTest::newRow("-h") << QStringList{"-h"} << 0 << help << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QString()
                                    << QStringLiteral("rotor: Unknown option 'bogus'\\.\nTry 'rotor --help'\\.\n");
    QTest::newRow("no option, no display")
        << QStringList{} << 1 << QString() << QStringLiteral("rotor: no display found [^\n]*xvfb-run[^\n]*\n");
    QTest::newRow("Qt option without its value") << QStringList{"-platform"} << 2 << QString()
                                                 << QStringLiteral("rotor: .*'-platform'.*\nTry 'rotor --help'\\.\n");
}

void CommandLineTest::answersWithoutDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(Program, args);
    QVERIFY(program.waitForFinished(Patience));
    const QString gotOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString gotErr = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const auto whole = [](const QString& pattern) {
        return QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                  QRegularExpression::DotMatchesEverythingOption);
    };
    QVERIFY2(whole(out).match(gotOut).hasMatch(), qPrintable(gotOut));
    QVERIFY2(whole(err).match(gotErr).hasMatch(), qPrintable(gotErr));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
