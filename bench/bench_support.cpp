// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

void printRow(const Row& row)
{
    std::printf("| %s | %s | %s | %s |\n", qPrintable(row.benchmark), qPrintable(row.measured), qPrintable(row.goal),
                qPrintable(row.verdict));
    std::fflush(stdout);
}

void note(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString listOf(const QList<double>& values, int decimals)
{
    QStringList parts;
    for (double v : values)
        parts << fixed(v, decimals);
    return parts.join(QStringLiteral(", "));
}

double processSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

namespace {
qint64 statusField(const char* name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
}  // namespace

qint64 residentKb() { return statusField("VmRSS"); }
qint64 peakResidentKb() { return statusField("VmHWM"); }

int openDescriptorCount()
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    closedir(dir);
    return count - 1;  // the listing's own descriptor
}

void runEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        runEvents(5);
    }
    return true;
}

ConfigFolder::ConfigFolder()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    QDir(m_dir.path()).mkpath(QStringLiteral("rotor/ports"));
}

void ConfigFolder::writePortChoice(int n)
{
    // The settings file's own format: a space, the number, a space, CR LF.
    QFile file(m_dir.filePath(QStringLiteral("rotor/rotor.ini")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QByteArray(" ") + QByteArray::number(n) + " \r\n");
}

void ConfigFolder::linkPort(int n, const QString& device)
{
    const QString link = m_dir.filePath(QStringLiteral("rotor/ports/com%1").arg(n));
    QFile::remove(link);
    QFile::link(device, link);
}

SilentLine::SilentLine()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        return;
    }
    const char* name = ptsname(master);
    if (!name) {
        ::close(master);
        return;
    }
    m_device = QString::fromLocal8Bit(name);
    // A slave of our own keeps the line up while the tool has its end closed.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave >= 0 && tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    m_master = master;
}

SilentLine::~SilentLine()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool Simulator::available() { return !program().isEmpty() && QFileInfo(program()).isExecutable(); }

QString Simulator::program()
{
#ifdef ROTOR_SIM_PROGRAM
    return QStringLiteral(ROTOR_SIM_PROGRAM);
#else
    return {};
#endif
}

Simulator::Simulator(const ConfigFolder& config) : m_config(config)
{
    m_logPath = config.path() + QStringLiteral("/cbox-sim.log");
}

Simulator::~Simulator() { stop(); }

bool Simulator::start(const QStringList& options)
{
    QFile::remove(m_logPath);
    m_process.setProgram(program());
    m_process.setArguments(options
                           + QStringList{QStringLiteral("--plug"), QStringLiteral("1"), QStringLiteral("--config-dir"),
                                         m_config.path(), QStringLiteral("--log"), m_logPath});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < 5000)
        m_process.waitForReadyRead(100);
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    // The device is announced once the link is in place.
    return !m_device.isEmpty() && QFileInfo(m_config.path() + QStringLiteral("/rotor/ports/com1")).isSymLink();
}

void Simulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString Simulator::endText() const
{
    if (running())
        return QStringLiteral("running");
    // Its log notes a signal it was sent ("signal received: shutting down").
    if (logLinesWith(QStringLiteral("signal received")) > 0)
        return QStringLiteral("the simulator was stopped by a signal from outside during the run");
    return QStringLiteral("the simulator ended during the run (exit code %1)").arg(m_process.exitCode());
}

int Simulator::sentCount(const QString& noteText) const
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = "(" + noteText.toLatin1();
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // "hh:mm:ss.mmm tx <bytes>  (note)"
        if (line.size() > 16 && line.mid(13, 3) == "tx " && line.contains(wanted))
            ++count;
    }
    return count;
}

int Simulator::logLinesWith(const QString& text) const
{
    QFile file(m_logPath);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = text.toLatin1();
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        count += line.contains(wanted) ? 1 : 0;
    return count;
}

CountingPort::CountingPort(QObject* parent) : Port(parent)
{
    connect(&m_inner, &Port::readyRead, this, &Port::readyRead);
    connect(&m_inner, &Port::lost, this, &Port::lost);
}

void CountingPort::trace(const QString& what)
{
    if (tracing)
        m_trace.append({wallSeconds(), what});
}

void CountingPort::printTrace()
{
    if (m_trace.isEmpty())
        return;
    const double start = m_trace.first().first;
    double previous = start;
    for (const auto& [time, what] : m_trace) {
        note(QStringLiteral("  %1 ms (+%2) %3")
                 .arg(fixed(1000 * (time - start), 2), fixed(1000 * (time - previous), 2), what));
        previous = time;
    }
    m_trace.clear();
}

bool CountingPort::open(const PortChoice& choice)
{
    const bool wasOpen = m_inner.isOpen();
    if (!wasOpen)
        trace(QStringLiteral("open"));
    const double t0 = wallSeconds();
    const bool ok = m_inner.open(choice);
    openCloseSeconds += wallSeconds() - t0;
    if (ok && !wasOpen) {
        ++opens;
        trace(QStringLiteral("opened"));
    }
    return ok;
}

void CountingPort::close()
{
    if (m_inner.isOpen())
        trace(QStringLiteral("close"));
    discarded += m_inner.pendingCount();
    const double t0 = wallSeconds();
    m_inner.close();
    openCloseSeconds += wallSeconds() - t0;
    trace(QStringLiteral("closed"));
}

void CountingPort::discard()
{
    discarded += m_inner.pendingCount();
    m_inner.discard();
}

QByteArray CountingPort::readOne()
{
    QByteArray c = m_inner.readOne();
    read += c.size();
    if (tracing && !c.isEmpty())
        trace(QStringLiteral("read %1").arg(c.at(0) < ' ' ? QStringLiteral("<%1>").arg(int(c.at(0)))
                                                          : QString::fromLatin1(c)));
    return c;
}

void CountingPort::write(const QByteArray& bytes)
{
    written += bytes.size();
    trace(QStringLiteral("write %1 bytes").arg(bytes.size()));
    m_inner.write(bytes);
}

BareReader::BareReader() = default;

BareReader::~BareReader()
{
    for (const qint64 pid : {m_readerPid, m_simPid}) {
        if (pid > 0)
            ::kill(pid_t(pid), SIGTERM);
    }
}

bool BareReader::available()
{
#ifdef ROTOR_READER_PROGRAM
    return Simulator::available() && QFileInfo(QStringLiteral(ROTOR_READER_PROGRAM)).isExecutable();
#else
    return false;
#endif
}

bool BareReader::prepare()
{
    if (!available() || !m_dir.isValid())
        return false;
    QProcess sim;
    sim.setProgram(Simulator::program());
    sim.setArguments({QStringLiteral("--status-interval"), QStringLiteral("0")});
    sim.setStandardOutputFile(m_dir.filePath(QStringLiteral("sim.out")));
    sim.setStandardErrorFile(m_dir.filePath(QStringLiteral("sim.err")));
    if (!sim.startDetached(&m_simPid))
        return false;
    // The simulator's first line is its device.
    QFile out(m_dir.filePath(QStringLiteral("sim.out")));
    runEventsUntil(
        [&] {
            if (!out.isOpen() && !out.open(QIODevice::ReadOnly))
                return false;
            out.seek(0);
            const QByteArray text = out.readAll();
            if (!text.contains('\n'))
                return false;
            m_device = QString::fromLocal8Bit(text.left(text.indexOf('\n'))).trimmed();
            return true;
        },
        5000);
    return !m_device.isEmpty();
}

bool BareReader::start(double seconds)
{
#ifdef ROTOR_READER_PROGRAM
    if (m_device.isEmpty())
        return false;
    QProcess reader;
    reader.setProgram(QStringLiteral(ROTOR_READER_PROGRAM));
    reader.setArguments({m_device, QString::number(seconds)});
    reader.setStandardOutputFile(m_dir.filePath(QStringLiteral("reader.out")));
    return reader.startDetached(&m_readerPid);
#else
    Q_UNUSED(seconds);
    return false;
#endif
}

ReaderRun BareReader::result(int timeoutMs)
{
    ReaderRun run;
    if (m_readerPid <= 0)
        return run;
    QFile out(m_dir.filePath(QStringLiteral("reader.out")));
    QByteArray line;
    runEventsUntil(
        [&] {
            if (!out.isOpen() && !out.open(QIODevice::ReadOnly))
                return false;
            out.seek(0);
            line = out.readAll();
            return line.endsWith('\n') || ::kill(pid_t(m_readerPid), 0) != 0;
        },
        timeoutMs);
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 3)
        return run;
    run.frames = fields.at(0).toInt();
    run.wall = fields.at(1).toDouble();
    run.cpu = fields.at(2).toDouble();
    run.ok = run.wall > 0;
    return run;
}

EventGapProbe::EventGapProbe()
{
    m_timer.setInterval(1);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        const double now = wallSeconds();
        if (m_ticks++ > 0)
            m_maxGapMs = std::max(m_maxGapMs, 1000 * (now - m_last));
        m_last = now;
    });
}

void EventGapProbe::start()
{
    m_ticks = 0;
    m_maxGapMs = 0;
    m_timer.start();
}

void EventGapProbe::stop() { m_timer.stop(); }

void PaintCounter::watch(QWidget* widget)
{
    m_counts.insert(widget, 0);
    widget->installEventFilter(this);
}

qint64 PaintCounter::count(QWidget* widget) const { return m_counts.value(widget); }

void PaintCounter::reset()
{
    for (auto it = m_counts.begin(); it != m_counts.end(); ++it)
        it.value() = 0;
}

bool PaintCounter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        if (auto it = m_counts.find(watched); it != m_counts.end())
            ++it.value();
    }
    return false;
}
