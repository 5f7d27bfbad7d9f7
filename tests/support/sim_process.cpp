// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sim_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {
// Generous: the simulator comes up in milliseconds, also under the sanitizers on a loaded machine.
constexpr int StartPatienceMs = 15000;
constexpr int EndPatienceMs = 10000;
}  // namespace

SimProcess::SimProcess(const QString& program, const QString& configDir, int port)
    : m_program(program),
      m_configDir(configDir),
      m_port(port)
{
    m_process.setStandardErrorFile(QDir(m_configDir).filePath(QStringLiteral("cbox-sim.stderr")));
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning && !terminate()) {
        m_process.kill();
        m_process.waitForFinished(EndPatienceMs);
    }
    if (QTest::currentTestFailed())
        qInfo().noquote() << "cbox-sim log:\n" + log();
}

bool SimProcess::start(const QStringList& args, bool fast)
{
    QStringList all;
    if (fast)
        all << QStringLiteral("--fast");
    all << args << QStringLiteral("--plug") << QString::number(m_port) << QStringLiteral("--config-dir") << m_configDir
        << QStringLiteral("--log") << QDir(m_configDir).filePath(QStringLiteral("cbox-sim.log"));
    m_process.start(m_program, all);
    if (!m_process.waitForStarted(StartPatienceMs))
        return false;
    m_device = nextDevice(StartPatienceMs);
    // The link is in place before the device is announced.
    return !m_device.isEmpty() && QFileInfo(linkPath()).symLinkTarget() == m_device;
}

QString SimProcess::nextDevice(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < timeoutMs && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(50);
    if (!m_process.canReadLine())
        return {};
    const QString device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (!device.isEmpty())
        m_device = device;
    return device;
}

QString SimProcess::linkPath() const
{
    return QDir(m_configDir).filePath(QStringLiteral("rotor/ports/com%1").arg(m_port));
}

QString SimProcess::log() const
{
    QFile file(QDir(m_configDir).filePath(QStringLiteral("cbox-sim.log")));
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    QFile errors(QDir(m_configDir).filePath(QStringLiteral("cbox-sim.stderr")));
    if (errors.open(QIODevice::ReadOnly) && errors.size() > 0)
        text += QStringLiteral("standard error:\n") + QString::fromLocal8Bit(errors.readAll());
    return text;
}

QStringList SimProcess::received() const
{
    // "hh:mm:ss.mmm rx <bytes>" with an optional "  (note)" after the bytes.
    static const QRegularExpression line(QStringLiteral("^\\S+ rx (.*?)(?:  \\(.*\\))?$"));
    QStringList frames;
    for (const QString& text : log().split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (match.hasMatch())
            frames << match.captured(1);
    }
    return frames;
}

bool SimProcess::waitForLog(const QString& text, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (log().contains(text))
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QTest::qWait(10);
    }
}

void SimProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(EndPatienceMs);
}

bool SimProcess::terminate()
{
    m_process.terminate();
    return m_process.waitForFinished(EndPatienceMs) && m_process.exitStatus() == QProcess::NormalExit
           && m_process.exitCode() == 0;
}
