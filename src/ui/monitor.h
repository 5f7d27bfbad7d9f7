#pragma once
// The communication monitor: keeps the port open, lists every frame the CBOX sends in
// `cbox_reply_text` and decodes status frames live into `fast_pos` and `fast_status`.
//
// Its state is the caption of `cmd_monitor`: "START..." while idle, "STOP" while it runs. While
// it runs, every other exchange only sends its frame and the reply is listed here.
//
// The listing holds one line per frame: each line is one block of the text box, and the CR LF
// that ends a line is the paragraph break after it. Read back as plain text, every line therefore
// ends with "\n" ("1: <h|A,?,45,R|r>\n"). Its length, for the 65000-character bound, counts each
// line end as the two characters CR LF, as the operator would see it.

#include <QString>

class MainWindow;
class QPlainTextEdit;

class Monitor {
public:
    // The listing is emptied before a status line when it holds more than this many characters.
    static constexpr int listingBound = 65000;

    explicit Monitor(MainWindow& window);

    // The click on `cmd_monitor`: starts monitoring (and returns only when it has ended), or,
    // while it runs, stops it.
    void MONITOR_RUN();

    // The listing's length with CR LF line ends.
    static qsizetype listingLength(const QPlainTextEdit& listing);

private:
    void start();
    void stop();
    // Sleeps until STX arrives; false when monitoring is to end (stop click, port lost, quitting).
    bool awaitHeader();
    // Reads and lists one frame after its STX; false when the frame ends monitoring.
    bool readFrame();
    // The rest of a status frame after its command letter "?", then the line is written.
    void MONITOR_STATUS_LINE();
    // The rest of any other frame up to its CR, then the line is written; dropped on a timeout.
    void MONITOR_RAW_LINE();
    // Appends the current line and a line end at the end of the listing and keeps the end in view.
    void writeLine(bool bounded);
    QString readChar();

    MainWindow& m_window;
    int m_frameCounter = 1;
    QString m_line;
};
