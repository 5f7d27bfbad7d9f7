// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/monitor.h"

#include "protocol/monitor_frame.h"
#include "protocol/session.h"
#include "protocol/session_observer.h"
#include "serial/messages.h"
#include "ui/controls.h"
#include "ui/refused_click.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

const QString STX = QStringLiteral("\x02");
const QString idleCaption = QStringLiteral("START...");
const QString runningCaption = QStringLiteral("STOP");

}  // namespace

// Draws the window at most once every `Monitor::paintPeriodMs` while the monitor lists frames.
// Every change to a widget asks for its window to be drawn at the next turn of the event loop: at
// full line rate that is every frame (the listing, its scroll bar, the live fields), and drawing
// costs many times what reading the frame does. A request that comes too soon is held back, and
// the window is drawn once the period is over, with everything that changed meanwhile; the lines
// waiting for the listing go into it just before. Nothing is lost: whatever was held back is
// drawn when the period ends, and when the pacer goes.
class Monitor::PaintPacer : public QObject {
public:
    PaintPacer(QWidget* window, std::function<void()> beforeDrawing)
        : m_window(window),
          m_beforeDrawing(std::move(beforeDrawing))
    {
        m_due.setSingleShot(true);
        m_due.setTimerType(Qt::PreciseTimer);
        connect(&m_due, &QTimer::timeout, this, &PaintPacer::drawNow);
        window->installEventFilter(this);
    }
    ~PaintPacer() override
    {
        if (!m_window)
            return;
        m_window->removeEventFilter(this);
        if (m_heldBack)
            QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
    PaintPacer(const PaintPacer&) = delete;
    PaintPacer& operator=(const PaintPacer&) = delete;

    // Something is waiting to be shown: the window is drawn when the period is over.
    void drawWhenDue()
    {
        m_heldBack = true;
        if (!m_due.isActive())
            m_due.start(int(std::max<qint64>(0, Monitor::paintPeriodMs - sinceDrawn())));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window || event->type() != QEvent::UpdateRequest)
            return false;
        if (sinceDrawn() < Monitor::paintPeriodMs) {
            drawWhenDue();
            return true;
        }
        m_heldBack = false;
        m_sinceDrawn.start();
        m_beforeDrawing();
        return false;
    }

private:
    qint64 sinceDrawn() const { return m_sinceDrawn.isValid() ? m_sinceDrawn.elapsed() : Monitor::paintPeriodMs; }

    void drawNow()
    {
        if (!m_window || !m_heldBack)
            return;
        if (const qint64 since = sinceDrawn(); since < Monitor::paintPeriodMs) {
            m_due.start(int(Monitor::paintPeriodMs - since));
            return;
        }
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(m_window, &request);
    }

    QPointer<QWidget> m_window;
    std::function<void()> m_beforeDrawing;
    QElapsedTimer m_sinceDrawn;
    QTimer m_due;
    bool m_heldBack = false;
};

Monitor::Monitor(Session& session, View& view, const Controls& controls, QWidget* window)
    : m_session(session),
      m_view(view),
      m_controls(controls),
      m_window(window)
{
}

void Monitor::MONITOR_RUN()
{
    switch (m_state) {
    case MonitorState::Idle: start(); break;
    case MonitorState::Running: stop(); break;
    // The last frame is still being read, or the closing S waits: nothing to start or stop.
    case MonitorState::Ending: refuseClick(m_controls.control(Field::cmd_monitor)); break;
    }
}

void Monitor::setState(MonitorState state)
{
    m_state = state;
    const QString& caption = state == MonitorState::Running ? runningCaption : idleCaption;
    if (m_view.text(Field::cmd_monitor) != caption)
        m_view.setText(Field::cmd_monitor, caption);
}

qsizetype Monitor::listingLength(const QPlainTextEdit& listing)
{
    // The document counts one separator after every block, the last one included; seen as text
    // with CR LF line ends, every block but the last is followed by two characters.
    const QTextDocument* document = listing.document();
    return document->characterCount() + document->blockCount() - 2;
}

void Monitor::start()
{
    View& view = m_view;
    SerialLink& link = m_session.link();
    Commands& commands = m_session.commands();
    ExchangeLock& lock = m_session.lock();

    // The opening exchanges read their replies themselves: no click may run an exchange between
    // them. While another exchange runs, the start is refused and nothing changes.
    const bool started = lock.run([&] {
        view.DISABLE_MONITOR_BUTTON();
        view.setEnabled(Field::goto_replay, false);
        view.DISABLE_WRITE_BUTTON();
        commands.CMD_S();
        commands.CMD_STATUS();
        commands.CMD_M();
    });
    if (!started) {
        refuseClick(m_controls.control(Field::cmd_monitor));
        return;
    }

    setState(MonitorState::Running);
    view.DISABLE_WRITE_BUTTON();
    view.ENABLE_MONITOR_BUTTON();

    // The listing is only ever appended to or emptied: nothing in it is to be undone.
    auto* listing = m_controls.control<QPlainTextEdit>(Field::cbox_reply_text);
    listing->setUndoRedoEnabled(false);
    // The listing's scroll bar moves with every line. Filling its own background (the panel's
    // colour, as before) spares drawing the panel behind it, frame and caption, each time.
    listing->verticalScrollBar()->setAutoFillBackground(true);

    m_frameCounter = 1;
    link.OPEN_PORT();
    m_line.clear();
    if (SessionObserver* observer = view.sessionObserver())
        observer->monitorFrames(0, true);

    // While the monitor waits for a header, the exchange lock is free: a command clicked then only
    // sends its frame (the caption reads "STOP") and its reply is listed here. While a frame is
    // being read, the lock is held, so that no exchange can lower the timeout flag or disarm
    // Timer1 under the frame's character waits; every click meanwhile is sent right after the
    // frame, in the order clicked, but a stop, which goes out at once and leaves the frame's
    // waits as they were.
    bool goOn = true;
    {
        PaintPacer pacer(m_window, [this] { flushListing(); });
        m_pacer = &pacer;
        while (goOn && m_state == MonitorState::Running && awaitHeader())
            lock.run(
                [&] {
                    goOn = readFrame();
                    // A frame that ends monitoring, or one during which STOP was clicked: the
                    // clicks queued behind it are no longer send-only frames: they run after the
                    // closing S, which passes over the replies to the stops sent meanwhile.
                    if (!goOn || m_state != MonitorState::Running) {
                        setState(MonitorState::Ending);
                        lock.holdQueuedUntilNextExchange();
                    }
                },
                ExchangeLock::Kind::MonitorFrame);
        flushListing();
        m_pacer = nullptr;
    }

    // Monitoring ends. A start is refused while the lock is held, so nothing further up the stack
    // holds it here and the closing S runs at once.
    if (link.port().isOpen())
        link.port().close();
    setState(MonitorState::Idle);
    // An application that is quitting waits for nothing any more: no closing exchange then, and
    // no click held back for after it.
    if (!link.aborted())
        lock.run([&] { commands.CMD_S_AFTER_MONITOR(); });
    else
        lock.dropHeld();
    view.setEnabled(Field::goto_replay, true);
    view.ENABLE_BUTTONS();
    if (SessionObserver* observer = view.sessionObserver())
        observer->monitorFrames(m_frameCounter - 1, false);
}

void Monitor::stop()
{
    setState(MonitorState::Ending);
    m_view.ENABLE_MONITOR_BUTTON();
    m_view.setEnabled(Field::goto_replay, true);
    m_view.ENABLE_WRITE_BUTTON();
    // The listening loop may be asleep waiting for a header: let it see the new state.
    m_session.link().wake();
}

bool Monitor::awaitHeader()
{
    SerialLink& link = m_session.link();
    // No time limit: the wait sleeps until a character arrives, the stop click wakes it, the port
    // is lost or the application quits.
    link.yieldToEvents();
    for (;;) {
        link.yieldToEvents();
        if (m_state != MonitorState::Running || link.aborted() || !link.port().isOpen())
            return false;
        const QString c = link.readWaiting();
        if (c == STX)
            return true;
        if (c.isEmpty())
            link.sleep();
    }
}

bool Monitor::readFrame()
{
    const int number = m_frameCounter++;
    if (SessionObserver* observer = m_view.sessionObserver())
        observer->monitorFrames(number, true);
    MonitorFrameReader reader(m_session.link(), m_view);
    const MonitorFrame frame = reader.read(number);
    if (!frame.line.isEmpty()) {
        m_line = frame.line;
        writeLine(frame.status);
    }
    return !frame.endsMonitoring;
}

void Monitor::writeLine(bool bounded)
{
    auto* listing = m_controls.control<QPlainTextEdit>(Field::cbox_reply_text);
    // The bound applies to the listing as the operator will see it, the waiting lines included;
    // those go in before it is emptied, as every line always has.
    if (bounded && listingLength(*listing) + m_waitingLength > listingBound) {
        flushListing();
        listing->clear();
    }
    m_waiting += m_line + QChar(QChar::ParagraphSeparator);
    m_waitingLength += m_line.size() + 2;
    // At the line's pace a few lines wait for each drawing. Frames that come faster than the
    // line can carry them (a backlog) still go in by the few dozen, so that putting them in never
    // keeps the window's events waiting.
    if (m_pacer && ++m_waitingLines < waitingLinesMax)
        m_pacer->drawWhenDue();
    else
        flushListing();
}

void Monitor::flushListing()
{
    if (m_waiting.isEmpty())
        return;
    auto* listing = m_controls.control<QPlainTextEdit>(Field::cbox_reply_text);
    // The lines go in at the end, whatever the listing holds: the rest of the text is not touched.
    // The caret follows them, which keeps the end of the listing in view. Each line is a block of
    // its own, ended by the paragraph separator.
    QTextCursor cursor(listing->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_waiting);
    listing->setTextCursor(cursor);
    listing->ensureCursorVisible();
    m_waiting.clear();
    m_waitingLength = 0;
    m_waitingLines = 0;
}
