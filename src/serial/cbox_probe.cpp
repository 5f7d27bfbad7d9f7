// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/cbox_probe.h"

#include "serial/port_devices.h"
#include "serial/port_discovery.h"
#include "serial/serial_port.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>

namespace {
constexpr char STX = '\x02';
constexpr char CR = '\r';
constexpr int statusFrameLength = 11;

// What came, as the operator can read it: printable ASCII as it is, the rest as \xNN.
QString shown(const QByteArray& bytes)
{
    constexpr qsizetype most = 24;
    QString text;
    for (const char c : bytes.left(most)) {
        const auto u = static_cast<unsigned char>(c);
        text += u >= 0x20 && u < 0x7F ? QString(QChar(u)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return bytes.size() > most ? text + QStringLiteral("\u2026") : text;
}
}  // namespace

std::optional<StatusFrame> findStatusFrame(const QByteArray& bytes)
{
    for (qsizetype at = bytes.indexOf(STX); at >= 0 && at + statusFrameLength <= bytes.size();
         at = bytes.indexOf(STX, at + 1)) {
        const QByteArray f = bytes.mid(at, statusFrameLength);
        const auto digit = [&f](int i) { return f[i] >= '0' && f[i] <= '9'; };
        if (f.startsWith("\x02"
                         "A,?,")
            && digit(5) && digit(6) && digit(7) && f[8] == ',' && (f[9] == 'R' || f[9] == 'B') && f[10] == CR)
            return StatusFrame{f.mid(5, 3).toInt(), QChar(f[9])};
    }
    return std::nullopt;
}

QString outcomeText(const ProbeOutcome& outcome)
{
    switch (outcome.kind) {
    case ProbeOutcome::Kind::Found:
        return QStringLiteral("CBOX found at %1\u00B0, %2")
            .arg(outcome.frame.angle)
            .arg(outcome.frame.state == QLatin1Char('B') ? QStringLiteral("BUSY") : QStringLiteral("READY"));
    case ProbeOutcome::Kind::NoAnswer: return QStringLiteral("no answer");
    case ProbeOutcome::Kind::SomethingElse: return QStringLiteral("something else answered: %1").arg(outcome.detail);
    case ProbeOutcome::Kind::NotOpened: return QStringLiteral("could not be opened: %1").arg(outcome.detail);
    case ProbeOutcome::Kind::InUse: return QStringLiteral("in use by another program, not probed");
    case ProbeOutcome::Kind::Cancelled: return QStringLiteral("not probed to the end: cancelled");
    }
    return {};
}

CboxProbe::CboxProbe(QObject* parent) : QObject(parent) {}

CboxProbe::~CboxProbe() { closeAll(); }

QList<ProbeOutcome> CboxProbe::run(const QStringList& devices, int limit)
{
    // The deadline counts from here: opening the devices is part of the probe's time.
    QElapsedTimer clock;
    clock.start();
    m_cancelled = false;
    m_lines.clear();
    m_lines.reserve(devices.size());
    for (const QString& device : devices) {
        Line line;
        line.outcome.device = device;
        m_lines.append(line);
    }
    for (qsizetype i = 0; i < m_lines.size() && !m_cancelled; ++i)
        open(m_lines[i]);

    // One deadline for all: the loop sleeps until a byte comes, the deadline passes or the
    // probe is cancelled.
    if (!m_cancelled && !allDecided()) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(int(std::max<qint64>(0, limit - clock.elapsed())));
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
    }
    closeAll();

    QList<ProbeOutcome> outcomes;
    for (Line& line : m_lines) {
        if (!line.decided) {
            line.outcome.kind = m_cancelled            ? ProbeOutcome::Kind::Cancelled
                                : line.heard.isEmpty() ? ProbeOutcome::Kind::NoAnswer
                                                       : ProbeOutcome::Kind::SomethingElse;
            line.outcome.detail = shown(line.heard);
        }
        outcomes.append(line.outcome);
    }
    m_lines.clear();
    return outcomes;
}

void CboxProbe::cancel()
{
    m_cancelled = true;
    closeAll();
    if (m_loop)
        m_loop->quit();
}

void CboxProbe::open(Line& line)
{
    const QString device = line.outcome.device;
    // A line another program holds is left alone: opening it could disturb that program's work.
    if (lockedByAnotherProgram(device)) {
        line.outcome.kind = ProbeOutcome::Kind::InUse;
        line.decided = true;
        return;
    }
    // Opened by its real name, so that the lock it takes is the one any other program takes.
    const QString real = hostPlatform() == Platform::Posix ? QFileInfo(device).canonicalFilePath() : QString();
    const QString opened = real.isEmpty() ? device : real;
    auto* port = new QSerialPort(opened, this);
    if (!port->open(QIODevice::ReadWrite)) {
        const bool exists = hostPlatform() == Platform::Windows || QFileInfo::exists(opened);
        line.outcome.kind = ProbeOutcome::Kind::NotOpened;
        switch (openFailureOf(port->error(), exists, exists && !QFileInfo(opened).isWritable())) {
        case PortOpenFailure::NoSuchDevice: line.outcome.detail = QStringLiteral("no such device"); break;
        case PortOpenFailure::PermissionDenied: line.outcome.detail = QStringLiteral("permission denied"); break;
        case PortOpenFailure::InUse: line.outcome.detail = QStringLiteral("in use by another program"); break;
        default: line.outcome.detail = port->errorString(); break;
        }
        line.decided = true;
        delete port;
        return;
    }
    line.port = port;
    // No flow control and no modem lines set: the query needs only the data lines.
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    // Not flushed on open: a box that streams its status already, and what it sent before the
    // query, count as heard.
    const qsizetype index = &line - m_lines.data();
    connect(port, &QSerialPort::readyRead, this, [this, index] { hear(m_lines[index]); });
    // A device that goes away (hung up, unplugged) is heard no more; what it said still counts.
    connect(port, &QSerialPort::errorOccurred, this, [port](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            port->close();
    });
    port->write(QByteArray("\x02"
                           "A?\r"));
    port->flush();
}

void CboxProbe::hear(Line& line)
{
    if (line.decided || !line.port)
        return;
    line.heard += line.port->readAll();
    if (const std::optional<StatusFrame> frame = findStatusFrame(line.heard)) {
        line.outcome.kind = ProbeOutcome::Kind::Found;
        line.outcome.frame = *frame;
        line.decided = true;
        line.port->close();
    }
    if (m_loop && allDecided())
        m_loop->quit();
}

void CboxProbe::closeAll()
{
    for (Line& line : m_lines) {
        if (!line.port)
            continue;
        line.port->disconnect(this);
        line.port->close();
        line.port->deleteLater();
        line.port = nullptr;
    }
}

bool CboxProbe::allDecided() const
{
    return std::all_of(m_lines.cbegin(), m_lines.cend(), [](const Line& line) { return line.decided; });
}
