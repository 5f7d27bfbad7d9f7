// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The communication monitor: keeps the port open, lists every frame the CBOX sends in
// `cbox_reply_text` and decodes status frames live into `fast_pos` and `fast_status`.
//
// It keeps its state (idle, running, ending) and the caption of `cmd_monitor` follows it:
// "STOP" while it runs, "START..." otherwise. While it runs, every other exchange only sends its
// frame and the reply is listed here.
//
// The listing holds one line per frame: each line is one block of the text box, and the CR LF
// that ends a line is the paragraph break after it. Read back as plain text, every line therefore
// ends with "\n" ("1: <h|A,?,45,R|r>\n"). Its length, for the 65000-character bound, counts each
// line end as the two characters CR LF, as the operator would see it.
//
// While frames stream in, the window is drawn at most once every `paintPeriodMs`, and the lines
// listed meanwhile go into the text box together, just before it is drawn: putting each line in
// on its own made the text box lay itself out, scroll and signal for every frame, which cost more
// than everything else the monitor does. Whoever reads the listing through the window
// (MainWindow::text, MainWindow::setText) gets the waiting lines put in first, so that the listing
// is always seen whole and in order.

#include "protocol/field.h"
#include "protocol/view.h"

#include <QString>

class Controls;
class QPlainTextEdit;
class QWidget;
class Session;

class Monitor {
public:
    // The listing is emptied before a status line when it holds more than this many characters.
    static constexpr int listingBound = 65000;
    // While the monitor runs, the window is drawn at most once in this many milliseconds,
    // however fast frames come.
    static constexpr int paintPeriodMs = 100;

    // Lists in `window`'s listing and drives `session`'s link, commands and lock; `view` shows
    // its state and the live fields, `controls` gives the listing and the button.
    Monitor(Session& session, View& view, const Controls& controls, QWidget* window);

    // The click on `cmd_monitor`: starts monitoring (and returns only when it has ended), or,
    // while it runs, stops it.
    void MONITOR_RUN();

    // Idle, running or ending; the caption of cmd_monitor follows it ("STOP" while it runs,
    // "START..." otherwise). Only the monitor changes it, and a test that needs a running monitor
    // without a line.
    MonitorState state() const { return m_state; }
    void setState(MonitorState state);

    // The listing's length with CR LF line ends (the text box's, without lines still waiting).
    static qsizetype listingLength(const QPlainTextEdit& listing);
    // Puts the lines listed since the window was last drawn into the text box.
    void flushListing();

private:
    void start();
    void stop();
    // Sleeps until STX arrives; false when monitoring is to end (stop click, port lost, quitting).
    bool awaitHeader();
    // Reads and lists one frame after its STX; false when the frame ends monitoring.
    bool readFrame();
    // Appends the current line and a line end at the end of the listing, which keeps its end in
    // view; the line waits for the next drawing of the window, or for a reader.
    void writeLine(bool bounded);

    class PaintPacer;

    Session& m_session;
    View& m_view;
    const Controls& m_controls;
    QWidget* m_window;
    PaintPacer* m_pacer = nullptr;  // while the listening loop runs
    int m_frameCounter = 1;
    MonitorState m_state = MonitorState::Idle;
    QString m_line;
    // Lines listed but not yet in the text box, each ending in a paragraph separator; their
    // number, and their length with CR LF line ends.
    static constexpr int waitingLinesMax = 64;
    QString m_waiting;
    int m_waitingLines = 0;
    qsizetype m_waitingLength = 0;
};
