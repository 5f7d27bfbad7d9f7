// The cost of one more line in the monitor's listing, with the listing nearly empty and nearly at
// its bound (65000 characters). Status frames go through the scripted port into the running
// monitor, always a batch ahead, so that the monitor never waits for the line: the time between
// two lines going into the listing is the whole cost of reading, decoding and listing one frame.
// Then the insertion alone: the same steps as the monitor's, timed one line at a time.

#include "bench_support.h"

#include "support/test_window.h"
#include "ui/monitor.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace {

constexpr qsizetype nearlyEmpty = 1500;   // characters: about the first 60 lines
constexpr qsizetype nearlyFull = 63000;   // to the bound, about the last 80 lines

struct Bins {
    QList<double> empty;   // µs per line, listing nearly empty
    QList<double> full;    // µs per line, listing near its bound
    QList<double> clears;  // µs for the line that found the listing over its bound
};

// Each cycle of the listing gives a median per line nearly empty and one near the bound; their
// ratio is taken within the cycle, so that a change of the machine's load between cycles does not
// enter it.
Row appendRow(const QString& name, const QList<double>& emptyMedians, const QList<double>& fullMedians, int lines)
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

}  // namespace

int benchListingAppend(const BenchOptions& options)
{
    TestWindow t;
    t.window->show();
    runEvents(300);
    auto* listing = t.window->findChild<QPlainTextEdit*>(QStringLiteral("cbox_reply_text"));
    QTextDocument* document = listing->document();
    auto* button = t.button(QStringLiteral("cmd_monitor"));

    // The monitor's opening exchanges and its closing S.
    t.port.expect(frame("S"), reply('S', "R"));
    t.port.expect(frame("?"), reply('?', "123,R"));
    t.port.expect(frame("M"), reply('M', "R"));
    t.port.expect(frame("S"), reply('S', "R"));

    QByteArray batch;
    for (int i = 0; i < 40; ++i)
        batch += reply('?', "123,R");

    // Cycles of the listing from empty to its bound; the first one warms up.
    const int cycles = options.runs + 1;
    QList<Bins> perCycle(1);
    int clearsSeen = 0;
    qint64 linesListed = 0;
    QElapsedTimer clock;
    qint64 previous = -1;
    QObject::connect(document, &QTextDocument::contentsChange, [&](int position, int, int added) {
        const QTextBlock block = document->findBlock(position);
        if (added <= 1 || block.position() != position || block.text().size() != added)
            return;
        const qint64 now = clock.nsecsElapsed();
        const double us = previous < 0 ? -1 : double(now - previous) / 1000.0;
        previous = now;
        ++linesListed;
        const qsizetype length = Monitor::listingLength(*listing);
        if (document->blockCount() == 2 && linesListed > 1) {
            // The first line after the listing was emptied: this frame paid for the emptying.
            ++clearsSeen;
            if (us >= 0)
                perCycle.last().clears << us;
            perCycle.append(Bins{});
        } else if (us >= 0 && length <= nearlyEmpty) {
            perCycle.last().empty << us;
        } else if (us >= 0 && length >= nearlyFull) {
            perCycle.last().full << us;
        }
        if (clearsSeen >= cycles) {
            if (button->text() == QLatin1String("STOP"))
                button->click();
            return;
        }
        if (t.port.pendingCount() < batch.size() / 2)
            t.port.arrive(batch);
    });

    QTimer running;
    running.setInterval(5);
    QObject::connect(&running, &QTimer::timeout, [&] {
        if (button->text() != QLatin1String("STOP"))
            return;
        running.stop();
        clock.start();
        t.port.arrive(batch);
        t.port.arrive(batch);
    });
    // A stuck monitor is stopped after two minutes.
    QTimer::singleShot(120000, [&] {
        if (button->text() == QLatin1String("STOP"))
            button->click();
    });
    running.start();
    button->click();  // returns when monitoring has ended
    running.stop();

    QList<double> emptyMedians, fullMedians, clearCosts;
    // Whole cycles only, the warm-up one left out.
    for (qsizetype c = 1; c < perCycle.size(); ++c) {
        if (perCycle.at(c).empty.isEmpty() || perCycle.at(c).full.isEmpty())
            continue;
        emptyMedians << median(perCycle.at(c).empty);
        fullMedians << median(perCycle.at(c).full);
    }
    for (const Bins& b : perCycle)
        clearCosts << b.clears;
    if (emptyMedians.isEmpty() || !t.messages.shown.isEmpty()) {
        note(QStringLiteral("listing-append: no whole cycle; messages: ") + t.messages.shown.join(QStringLiteral(" / ")));
        printRow({QStringLiteral("4a. Listing line through the running monitor"), QStringLiteral("not run"),
                  QStringLiteral("ratio ≈ 1"), QStringLiteral("FAIL")});
        return 1;
    }
    note(QStringLiteral("listing-append: the line that empties the listing costs %1 µs (median of %2)")
             .arg(fixed(median(clearCosts), 1))
             .arg(clearCosts.size()));
    printRow(appendRow(QStringLiteral("4a. One status line through the running monitor (scripted port, frames pending)"),
                       emptyMedians, fullMedians, int(linesListed)));

    // The insertion alone, as the monitor does it: the bound check, the line at the end with its
    // line end, the caret after it, the end in view.
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
            if (Monitor::listingLength(*listing) > Monitor::listingBound)
                listing->clear();
            QTextCursor cursor(document);
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(line);
            cursor.insertBlock();
            listing->setTextCursor(cursor);
            listing->ensureCursorVisible();
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
    printRow(appendRow(QStringLiteral("4b. The listing's insertion alone (the monitor's steps)"), emptyAlone, fullAlone,
                       int(linesAlone)));
    return 0;
}
