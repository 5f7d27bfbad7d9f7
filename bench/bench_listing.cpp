// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of one more line in the monitor's listing. First the whole cost through the running
// monitor: status frames are always waiting on the line, so that the monitor never waits for
// them, and the time from one emptying of the listing to the next (its bound, 65000 characters)
// divided by the lines listed in between is the whole cost of reading, decoding, listing and
// drawing one frame. Lines go into the text box together, before each drawing of the window,
// so a single line's cost cannot be told apart inside a cycle; only whole cycles are timed.
// Meanwhile a probe timer measures the longest time the window's events were left waiting, and
// the listing's paint events are counted.
//
// Then the insertion alone: one line put into the text box on its own, as the monitor does when
// lines come one at a time, timed line by line with the listing nearly empty and near its bound.
// The whole cost of a line is held against it.

#include "bench_support.h"

#include "support/recording_messages.h"
#include "support/test_window.h"
#include "ui/main_window.h"
#include "ui/monitor.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace {

constexpr qsizetype nearlyEmpty = 1500;  // characters: about the first 60 lines
constexpr qsizetype nearlyFull = 63000;  // to the bound, about the last 80 lines
constexpr double wholeToInsertionGoal = 4;
constexpr double gapGoalMs = 10;

// A line on which status frames are always waiting once the monitor listens. The opening S, ?
// and M and the closing S get their replies; the port the monitor opens after M hears the status
// frame over and over, read from a ring, so that reading costs the same however far it has got.
class StreamingPort : public Port {
public:
    bool applyLineSettings() override { return true; }
    bool open(const PortChoice&) override
    {
        m_open = true;
        m_rx.clear();
        m_next = 0;
        m_streaming = m_streamOnOpen;
        m_streamOnOpen = false;
        if (m_streaming)
            QTimer::singleShot(0, this, &Port::readyRead);
        return true;
    }
    void close() override
    {
        m_open = false;
        m_streaming = false;
    }
    bool isOpen() const override { return m_open; }
    qint64 pendingCount() const override { return m_streaming ? 1 << 20 : m_rx.size() - m_next; }
    void discard() override { m_next = m_rx.size(); }
    QByteArray readOne() override
    {
        if (m_streaming) {
            const char c = m_frame.at(m_position);
            m_position = (m_position + 1) % m_frame.size();
            return QByteArray(1, c);
        }
        if (m_next >= m_rx.size())
            return {};
        return m_rx.mid(m_next++, 1);
    }
    void write(const QByteArray& bytes) override
    {
        if (bytes.size() < 3)
            return;
        const char letter = bytes.at(2);
        if (letter == 'S')
            m_rx += reply('S', "R");
        else if (letter == '?')
            m_rx += reply('?', "123,R");
        else if (letter == 'M') {
            m_rx += reply('M', "R");
            m_streamOnOpen = true;  // the port opened next is the monitor's
        }
        QTimer::singleShot(0, this, &Port::readyRead);
    }

private:
    const QByteArray m_frame = reply('?', "123,R");
    qsizetype m_position = 0;
    QByteArray m_rx;
    qsizetype m_next = 0;
    bool m_open = false;
    bool m_streaming = false;
    bool m_streamOnOpen = false;
};

// Each cycle of the listing gives a median per line nearly empty and one near the bound; their
// ratio is taken within the cycle, so that a change of the machine's load between cycles does not
// enter it.
Row insertionRow(const QString& name, const QList<double>& emptyMedians, const QList<double>& fullMedians, int lines)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < emptyMedians.size(); ++i)
        ratios << fullMedians.at(i) / emptyMedians.at(i);
    const double ratio = median(ratios);
    return {name,
            QStringLiteral("~0 chars: %1 µs, ~64000 chars: %2 µs per line; **ratio %3** (per cycle: %4; %5 lines)")
                .arg(fixed(median(emptyMedians), 1), fixed(median(fullMedians), 1), fixed(ratio, 2), listOf(ratios, 2))
                .arg(lines),
            QStringLiteral("ratio ≈ 1 (≤ 1.5)"), ratio <= 1.5 ? QStringLiteral("pass") : QStringLiteral("FAIL")};
}

// The monitor's steps for one line put in on its own: the bound check, the line and its line end
// at the end in one insertion, the caret after it, the end in view.
void insertLine(QPlainTextEdit* listing, const QString& line)
{
    if (Monitor::listingLength(*listing) > Monitor::listingBound)
        listing->clear();
    QTextCursor cursor(listing->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(line + QChar(QChar::ParagraphSeparator));
    listing->setTextCursor(cursor);
    listing->ensureCursorVisible();
}

}  // namespace

int benchListingAppend(const BenchOptions& options)
{
    const QString wholeName =
        QStringLiteral("4a. One status line through the running monitor (scripted port, frames pending)");
    const QString wholeGoal =
        QStringLiteral("≤ %1 × 4b; events wait ≤ %2 ms").arg(fixed(wholeToInsertionGoal, 0), fixed(gapGoalMs, 0));
    StreamingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages, TestWindow::replyPeriodMs);
    window.show();
    runEvents(300);
    auto* listing = window.findChild<QPlainTextEdit*>(QStringLiteral("cbox_reply_text"));
    QTextDocument* document = listing->document();
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("cmd_monitor"));

    // Cycles of the listing from empty to its bound, a few dozen per run (one is a few
    // milliseconds); the first one warms up.
    constexpr int cyclesPerRun = 40;
    const int cycles = options.runs * cyclesPerRun + 1;
    QList<double> cycleStarts;  // seconds, at each emptying
    QList<qint64> cycleLines;   // lines listed up to each emptying
    qint64 linesListed = 0;
    EventGapProbe probe;
    PaintCounter paints;
    paints.watch(listing->viewport());
    double streamStart = 0, streamEnd = 0;
    QObject::connect(document, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
        if (removed > 1 && document->blockCount() <= 2) {
            // The listing was emptied: a cycle ends, the next one starts.
            cycleStarts << wallSeconds();
            cycleLines << linesListed;
        }
        // Lines arrive at the end, together, each a block ended by its paragraph separator.
        for (QTextBlock block = document->findBlock(position);
             block.isValid() && block.position() + block.length() <= position + added; block = block.next()) {
            if (block.length() > 1)
                ++linesListed;
        }
        if (cycleStarts.size() > cycles && button->text() == QLatin1String("STOP")) {
            probe.stop();
            streamEnd = wallSeconds();
            button->click();
        }
    });

    QTimer running;
    running.setInterval(5);
    QObject::connect(&running, &QTimer::timeout, [&] {
        if (button->text() != QLatin1String("STOP"))
            return;
        running.stop();
        probe.start();
        paints.reset();
        streamStart = wallSeconds();
    });
    // A stuck monitor is stopped after two minutes.
    QTimer::singleShot(120000, [&] {
        if (button->text() == QLatin1String("STOP"))
            button->click();
    });
    running.start();
    button->click();  // returns when monitoring has ended
    running.stop();

    // Whole cycles only, the warm-up one left out; each run is cyclesPerRun of them.
    QList<double> perLine;
    for (qsizetype c = 1; c + cyclesPerRun < cycleStarts.size(); c += cyclesPerRun) {
        const qint64 lines = cycleLines.at(c + cyclesPerRun) - cycleLines.at(c);
        if (lines > 0)
            perLine << 1e6 * (cycleStarts.at(c + cyclesPerRun) - cycleStarts.at(c)) / double(lines);
    }
    if (perLine.isEmpty() || !messages.shown.isEmpty()) {
        note(QStringLiteral("listing-append: no whole cycle; messages: ") + messages.shown.join(QStringLiteral(" / ")));
        printRow({wholeName, QStringLiteral("not run"), wholeGoal, QStringLiteral("FAIL")});
        return 1;
    }
    const double listingPaints =
        streamEnd > streamStart ? double(paints.count(listing->viewport())) / (streamEnd - streamStart) : 0;

    // The insertion alone, one line at a time.
    const QString line = QStringLiteral("12345: <h|A,?,123,R|r>");
    QList<double> emptyAlone, fullAlone;
    qint64 linesAlone = 0;
    for (int cycle = 0; cycle <= options.runs; ++cycle) {
        listing->clear();
        QList<double> empty, full;
        for (;;) {
            const qsizetype length = Monitor::listingLength(*listing);
            if (length > Monitor::listingBound)
                break;
            QElapsedTimer one;
            one.start();
            insertLine(listing, line);
            const double us = double(one.nsecsElapsed()) / 1000.0;
            ++linesAlone;
            if (length <= nearlyEmpty && length > 0)
                empty << us;
            else if (length >= nearlyFull)
                full << us;
        }
        if (cycle == 0)
            continue;  // warm-up
        emptyAlone << median(empty);
        fullAlone << median(full);
    }
    const Row alone =
        insertionRow(QStringLiteral("4b. The listing's insertion alone, one line on its own (the monitor's steps)"),
                     emptyAlone, fullAlone, int(linesAlone));

    // The whole line against the insertion alone (its median over the listing's cycle).
    QList<double> aloneAll = emptyAlone + fullAlone;
    const double whole = median(perLine);
    const double toAlone = whole / median(aloneAll);
    const bool cheap = toAlone <= wholeToInsertionGoal;
    const bool responsive = probe.ticks() > 0 && probe.maxGapMs() <= gapGoalMs;
    QStringList failures;
    if (!cheap)
        failures << QStringLiteral("against 4b");
    if (!responsive)
        failures << QStringLiteral("events waited");
    printRow({wholeName,
              QStringLiteral("%1 µs per line (runs of %7 listing cycles: %2; %3 lines); against 4b: **%4 ×**; listing "
                             "drawn %5 times/s; events waited at most %6 ms")
                  .arg(fixed(whole, 1), listOf(perLine, 1))
                  .arg(linesListed)
                  .arg(fixed(toAlone, 2), fixed(listingPaints, 1), fixed(probe.maxGapMs(), 1))
                  .arg(cyclesPerRun),
              wholeGoal,
              failures.isEmpty() ? QStringLiteral("pass")
                                 : QStringLiteral("FAIL (%1)").arg(failures.join(QStringLiteral(", ")))});
    printRow(alone);
    return 0;
}
