// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/session_status_bar.h"

#include "ui/session_signals.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

namespace {

// Milliseconds under a second, seconds with one decimal from there on.
QString duration(qint64 ms)
{
    if (ms < 1000)
        return QStringLiteral("%1 ms").arg(ms);
    return QStringLiteral("%1 s").arg(QString::number(double(ms) / 1000.0, 'f', 1));
}

QLabel* addLabel(QStatusBar* bar, const char* name, const QString& accessibleName, bool permanent)
{
    auto* label = new QLabel(bar);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(accessibleName);
    label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    if (permanent)
        bar->addPermanentWidget(label);
    else
        bar->addWidget(label, 1);
    return label;
}

// The count of the monitor's frames: at full line rate frames come every millisecond or so, and
// the count is written into its label at most a few times a second.
class FrameCount : public QObject {
public:
    FrameCount(QLabel* label) : QObject(label), m_label(label)
    {
        m_due.setSingleShot(true);
        m_due.setInterval(250);
        connect(&m_due, &QTimer::timeout, this, [this] { write(); });
    }
    void counted(int frames, bool running)
    {
        m_frames = frames;
        if (!running) {
            m_due.stop();
            m_label->hide();
            return;
        }
        if (!m_label->isVisibleTo(m_label->parentWidget()) || frames == 0) {
            write();
            m_label->show();
        } else if (!m_due.isActive()) {
            m_due.start();
        }
    }

private:
    void write() { m_label->setText(QStringLiteral("Monitor: %1 frames").arg(m_frames)); }

    QLabel* m_label;
    QTimer m_due;
    int m_frames = 0;
};

}  // namespace

QString exchangeOutcomeText(const ExchangeResult& result)
{
    const QString& command = result.command;
    const qint64 elapsedMs = result.elapsedMs;
    switch (result.outcome) {
    case ExchangeOutcome::Answered: return QStringLiteral("%1 answered in %2").arg(command, duration(elapsedMs));
    case ExchangeOutcome::Refused:
        return QStringLiteral("%1 refused by the CBOX in %2").arg(command, duration(elapsedMs));
    case ExchangeOutcome::Faulty: return QStringLiteral("%1: faulty reply after %2").arg(command, duration(elapsedMs));
    case ExchangeOutcome::NoReply: return QStringLiteral("%1: no reply in %2").arg(command, duration(elapsedMs));
    case ExchangeOutcome::LeftToMonitor: return QStringLiteral("%1 sent; the monitor lists the reply").arg(command);
    case ExchangeOutcome::PortFailed: return QStringLiteral("%1: the port could not be opened").arg(command);
    }
    return command;
}

const QString stopHeldText = QStringLiteral("STOP held until the write ends");

QString portInUseText(int number, const QString& device)
{
    return QStringLiteral("COM %1 \u2192 %2").arg(number).arg(device);
}

void addSessionStatusBar(QStatusBar* bar, SessionSignals& session)
{
    bar->setObjectName(QStringLiteral("status_bar"));
    // The window keeps its size: nothing to grip.
    bar->setSizeGripEnabled(false);
    QLabel* exchange = addLabel(bar, "status_exchange", QStringLiteral("Last exchange"), false);
    QLabel* frames = addLabel(bar, "status_monitor", QStringLiteral("Monitor frames"), true);
    QLabel* port = addLabel(bar, "status_port", QStringLiteral("Port in use"), true);
    frames->hide();
    auto* count = new FrameCount(frames);

    QObject::connect(&session, &SessionSignals::exchange, exchange,
                     [exchange](const ExchangeResult& result) { exchange->setText(exchangeOutcomeText(result)); });
    QObject::connect(&session, &SessionSignals::refused, exchange,
                     [exchange](const QString& command, const QString& why) {
                         exchange->setText(QStringLiteral("%1 not sent: %2").arg(command, why));
                     });
    QObject::connect(&session, &SessionSignals::port, port,
                     [port](int number, const QString& device) { port->setText(portInUseText(number, device)); });
    // Shown over the last exchange's words until the held stop has gone.
    QObject::connect(&session, &SessionSignals::stopHeldChanged, bar, [bar](bool held) {
        if (held)
            bar->showMessage(stopHeldText);
        else
            bar->clearMessage();
    });
    QObject::connect(&session, &SessionSignals::frames, count,
                     [count](int counted, bool running) { count->counted(counted, running); });
}
