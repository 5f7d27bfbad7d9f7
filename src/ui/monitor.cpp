// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/monitor.h"

#include "protocol/session.h"
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
#include <utility>

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

Monitor::Monitor(Session& session, const Controls& controls, QWidget* window)
    : m_monitor(session.monitor()),
      m_controls(controls),
      m_window(window)
{
    m_monitor.setListing(this);
}

Monitor::~Monitor()
{
    m_monitor.setListing(nullptr);
    delete m_pacer;
}

void Monitor::MONITOR_RUN()
{
    switch (m_monitor.state()) {
    case MonitorState::Idle:
        if (!m_monitor.run())
            refuseClick(m_controls.control(Field::cmd_monitor));
        break;
    case MonitorState::Running: m_monitor.stop(); break;
    // The last frame is still being read, or the closing S waits: nothing to start or stop.
    case MonitorState::Ending: refuseClick(m_controls.control(Field::cmd_monitor)); break;
    }
}

MonitorState Monitor::state() const { return m_monitor.state(); }

void Monitor::setState(MonitorState state) { m_monitor.setState(state); }

qsizetype Monitor::listingLength(const QPlainTextEdit& listing)
{
    // The document counts one separator after every block, the last one included; seen as text
    // with CR LF line ends, every block but the last is followed by two characters.
    const QTextDocument* document = listing.document();
    return document->characterCount() + document->blockCount() - 2;
}

void Monitor::listingStarts()
{
    // The listing is only ever appended to or emptied: nothing in it is to be undone.
    auto* listing = m_controls.control<QPlainTextEdit>(Field::cbox_reply_text);
    listing->setUndoRedoEnabled(false);
    // The listing's scroll bar moves with every line. Filling its own background (the panel's
    // colour, as before) spares drawing the panel behind it, frame and caption, each time.
    listing->verticalScrollBar()->setAutoFillBackground(true);
    m_pacer = new PaintPacer(m_window, [this] { flushListing(); });
}

void Monitor::listingEnds()
{
    flushListing();
    delete std::exchange(m_pacer, nullptr);
}

void Monitor::list(const MonitorFrame& frame)
{
    const QString& line = frame.line;
    const bool bounded = frame.status;
    auto* listing = m_controls.control<QPlainTextEdit>(Field::cbox_reply_text);
    // The bound applies to the listing as the operator will see it, the waiting lines included;
    // those go in before it is emptied, as every line always has.
    if (bounded && listingLength(*listing) + m_waitingLength > listingBound) {
        flushListing();
        listing->clear();
    }
    m_waiting += line + QChar(QChar::ParagraphSeparator);
    m_waitingLength += line.size() + 2;
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
