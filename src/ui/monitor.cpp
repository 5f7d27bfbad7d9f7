#include "ui/monitor.h"

#include "protocol/exchange.h"
#include "serial/messages.h"
#include "ui/main_window.h"
#include "ui/refused_click.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QString STX = QStringLiteral("\x02");
const QString CR = QStringLiteral("\r");
const QString idleCaption = QStringLiteral("START...");
const QString runningCaption = QStringLiteral("STOP");

// A character as the listing shows it: a space contributes nothing, and every other character
// below code 32 is shown by its code, so that nothing the box sent is hidden and one frame stays
// one line.
QString listed(const QString& c)
{
    if (c.isEmpty() || c == QLatin1String(" "))
        return {};
    const char16_t code = c.front().unicode();
    if (code < 32)
        return QLatin1Char('<') + QString::number(code) + QLatin1Char('>');
    return c;
}

}  // namespace

Monitor::Monitor(MainWindow& window) : m_window(window) {}

void Monitor::MONITOR_RUN()
{
    if (m_window.monitorIdle())
        start();
    else
        stop();
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
    MainWindow& window = m_window;
    SerialLink& link = window.link();
    Commands& commands = window.commands();
    ExchangeLock& lock = window.exchangeLock();

    // The opening exchanges read their replies themselves: no click may run an exchange between
    // them. While another exchange runs, the start is refused and nothing changes.
    const bool started = lock.run([&] {
        window.DISABLE_MONITOR_BUTTON();
        window.setEnabled(Field::goto_replay, false);
        window.DISABLE_WRITE_BUTTON();
        commands.CMD_S();
        commands.CMD_STATUS();
        commands.CMD_M();
    });
    if (!started) {
        refuseClick(window.control(Field::cmd_monitor));
        return;
    }

    window.setText(Field::cmd_monitor, runningCaption);
    window.DISABLE_WRITE_BUTTON();
    window.ENABLE_MONITOR_BUTTON();

    // The listing is only ever appended to or emptied: nothing in it is to be undone.
    window.control<QPlainTextEdit>(Field::cbox_reply_text)->setUndoRedoEnabled(false);

    m_frameCounter = 1;
    link.OPEN_PORT();
    m_line.clear();

    // While the monitor waits for a header, the exchange lock is free: a command clicked then only
    // sends its frame (the caption reads "STOP") and its reply is listed here. While a frame is
    // being read, the lock is held, so that no exchange can lower the timeout flag or disarm
    // Timer1 under the frame's character waits; every click meanwhile is sent right after the
    // frame, in the order clicked.
    bool goOn = true;
    while (goOn && window.text(Field::cmd_monitor) == runningCaption && awaitHeader())
        lock.run([&] { goOn = readFrame(); }, ExchangeLock::Kind::MonitorFrame);

    // Monitoring ends. A start is refused while the lock is held, so nothing further up the stack
    // holds it here and the closing S runs at once.
    if (!window.monitorIdle())
        window.setText(Field::cmd_monitor, idleCaption);
    if (link.port().isOpen())
        link.port().close();
    // An application that is quitting waits for nothing any more: no closing exchange then.
    if (!link.aborted())
        lock.run([&] { commands.CMD_S_AFTER_MONITOR(); });
    window.setEnabled(Field::goto_replay, true);
    window.ENABLE_BUTTONS();
}

void Monitor::stop()
{
    m_window.setText(Field::cmd_monitor, idleCaption);
    m_window.ENABLE_MONITOR_BUTTON();
    m_window.setEnabled(Field::goto_replay, true);
    m_window.ENABLE_WRITE_BUTTON();
    // The listening loop may be asleep waiting for a header: let it see the new caption.
    m_window.link().wake();
}

bool Monitor::awaitHeader()
{
    SerialLink& link = m_window.link();
    // No time limit: the wait sleeps until a character arrives, the stop click wakes it, the port
    // is lost or the application quits.
    link.yieldToEvents();
    for (;;) {
        link.yieldToEvents();
        if (m_window.monitorIdle() || link.aborted() || !link.port().isOpen())
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
    SerialLink& link = m_window.link();
    m_line = QString::number(m_frameCounter) + QStringLiteral(": <h|");
    ++m_frameCounter;
    // A character wait that ran out in an earlier frame says nothing about this one.
    link.timeoutFlag = false;

    QString c = link.GET_CHAR();
    if (c != QLatin1String("A")) {
        MONITOR_RAW_LINE();
        return false;
    }
    m_line += c;
    c = link.GET_CHAR();
    if (c != QLatin1String(",")) {
        MONITOR_RAW_LINE();
        return false;
    }
    m_line += c;
    c = link.GET_CHAR();
    m_line += listed(c);
    if (c == QLatin1String("?"))
        MONITOR_STATUS_LINE();
    else
        MONITOR_RAW_LINE();
    return true;
}

QString Monitor::readChar()
{
    const QString c = m_window.link().GET_CHAR();
    m_line += listed(c);
    return c;
}

void Monitor::MONITOR_STATUS_LINE()
{
    SerialLink& link = m_window.link();
    Messages& messages = m_window.messages();
    // Every character read is added to the line before it is tested; the line is written however
    // far the frame was read.
    const auto decode = [&] {
        QString c = readChar();
        if (c != QLatin1String(",")) {
            messages.inform(QStringLiteral("<Separator> invalid, received:") + c);
            return;
        }
        const QString angle = link.GET_NUM03S();
        m_line += angle;
        if (angle.isEmpty())
            return;
        m_window.setText(Field::fast_pos, angle + QChar(0x00B0));
        c = readChar();
        if (c != QLatin1String(",")) {
            messages.inform(QStringLiteral("Separator invalid, received:") + c);
            return;
        }
        const QString state = readChar();
        const Field status = Field::fast_status;
        if (state == QLatin1String("B")) {
            m_window.setText(status, QStringLiteral("BUSY"));
            m_window.setBackground(status, Colour::InvalidRed);
        } else if (state == QLatin1String("R")) {
            m_window.setText(status, QStringLiteral("READY"));
            m_window.setBackground(status, Colour::Window);
        } else {
            m_window.setText(status, QStringLiteral("???"));
        }
        c = link.GET_CHAR();
        if (c == CR) {
            m_line += QStringLiteral("|r>");
        } else {
            m_line += listed(c);
            // nothing after the colon when the terminator did not come in time
            messages.inform(QStringLiteral("Terminator invalid, received ASC:") + characterCode(c));
        }
    };
    decode();
    writeLine(true);
}

void Monitor::MONITOR_RAW_LINE()
{
    SerialLink& link = m_window.link();
    for (;;) {
        const QString c = link.GET_CHAR();
        if (c.isEmpty())
            return;  // the frame stopped short: nothing is listed for it
        if (c == CR) {
            m_line += QStringLiteral("|r>");
            writeLine(false);
            return;
        }
        m_line += listed(c);
    }
}

void Monitor::writeLine(bool bounded)
{
    auto* listing = m_window.control<QPlainTextEdit>(Field::cbox_reply_text);
    if (bounded && listingLength(*listing) > listingBound)
        listing->clear();
    // The line goes in at the end, whatever the listing holds: the rest of the text is not
    // touched. The caret follows it, which keeps the end of the listing in view.
    QTextCursor cursor(listing->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_line);
    cursor.insertBlock();
    listing->setTextCursor(cursor);
    listing->ensureCursorVisible();
}
