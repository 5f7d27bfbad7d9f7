// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The communication monitor's side in the window: the click on `cmd_monitor`, and the listing of
// every frame in `cbox_reply_text`. The session's monitor reads the frames, decodes status frames
// live into `fast_pos` and `fast_status` and keeps the state; this lists its lines.
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

#include "protocol/communication_monitor.h"

#include <QString>

class Controls;
class QPlainTextEdit;
class QWidget;
class Session;

class Monitor : private MonitorListing {
public:
    // The listing is emptied before a status line when it holds more than this many characters.
    static constexpr int listingBound = 65000;
    // While the monitor runs, the window is drawn at most once in this many milliseconds,
    // however fast frames come.
    static constexpr int paintPeriodMs = 100;

    // Lists `session`'s monitor in `window`'s listing; `controls` gives the listing and the button.
    Monitor(Session& session, const Controls& controls, QWidget* window);
    ~Monitor() override;
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // The click on `cmd_monitor`: starts monitoring (and returns only when it has ended), or,
    // while it runs, stops it.
    void MONITOR_RUN();

    // The session's monitor state (idle, running or ending); setting it is for a test that needs
    // a running monitor without a line.
    MonitorState state() const;
    void setState(MonitorState state);

    // The listing's length with CR LF line ends (the text box's, without lines still waiting).
    static qsizetype listingLength(const QPlainTextEdit& listing);
    // Puts the lines listed since the window was last drawn into the text box.
    void flushListing();

private:
    void listingStarts() override;
    void list(const MonitorFrame& frame) override;
    void listingEnds() override;

    class PaintPacer;

    CommunicationMonitor& m_monitor;
    const Controls& m_controls;
    QWidget* m_window;
    PaintPacer* m_pacer = nullptr;  // while the listening loop runs
    // Lines listed but not yet in the text box, each ending in a paragraph separator; their
    // number, and their length with CR LF line ends.
    static constexpr int waitingLinesMax = 64;
    QString m_waiting;
    int m_waitingLines = 0;
    qsizetype m_waitingLength = 0;
};
