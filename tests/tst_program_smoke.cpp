// SPDX-License-Identifier: GPL-3.0-or-later
// The built program: it starts headless with a private configuration folder and no settings file,
// stays up (its start-up then waits on the connect prompt, a modal box), and ends on SIGTERM by
// that signal rather than by a crash. It writes nothing while it waits.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString Program = QStringLiteral(ROTOR_BUILD_DIR "/src/app/rotor");

// Long enough for the window and its first message box to come up, also under the sanitizers.
constexpr int StayUpMs = 2500;
constexpr int Patience = 20000;

}  // namespace

class ProgramSmokeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startsAndEndsOnSigterm();
};

void ProgramSmokeTest::initTestCase()
{
    QVERIFY2(QFileInfo(Program).isExecutable(), qPrintable(Program + QStringLiteral(" is not built")));
}

void ProgramSmokeTest::startsAndEndsOnSigterm()
{
    QTemporaryDir config;
    QTemporaryDir runtime;
    QVERIFY(config.isValid());
    QVERIFY(runtime.isValid());
    QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(Program, {});
    QVERIFY2(program.waitForStarted(Patience), qPrintable(program.errorString()));

    // Still running after a while: it came up and did not crash on the way.
    QVERIFY2(!program.waitForFinished(StayUpMs),
             qPrintable(QStringLiteral("ended early, status %1, code %2, output:\n%3")
                            .arg(program.exitStatus())
                            .arg(program.exitCode())
                            .arg(QString::fromLocal8Bit(program.readAll()))));
    QCOMPARE(program.state(), QProcess::Running);

    program.terminate();
    QVERIFY(program.waitForFinished(Patience));
    const QString output = QString::fromLocal8Bit(program.readAll());
    // Ended by SIGTERM itself (the program has no handler of its own), or, should it ever get one,
    // by a clean exit; a crash would end it by another signal or with another code.
    const bool bySignal = program.exitStatus() == QProcess::CrashExit && program.exitCode() == SIGTERM;
    const bool cleanExit = program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    QVERIFY2(bySignal || cleanExit, qPrintable(QStringLiteral("status %1, code %2, output:\n%3")
                                                   .arg(program.exitStatus())
                                                   .arg(program.exitCode())
                                                   .arg(output)));
    QVERIFY2(!output.contains(QLatin1String("Sanitizer")) && !output.contains(QLatin1String("runtime error")),
             qPrintable(output));

    // Waiting on the connect prompt, it has read no settings and written nothing.
    QCOMPARE(QDir(config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

QTEST_MAIN(ProgramSmokeTest)
#include "tst_program_smoke.moc"
