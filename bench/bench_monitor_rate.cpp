// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor at full line rate: the simulated CBOX sends status frames back to back at 9600 baud
// (11 characters each, about 87 a second) and the monitor lists them. Every line is checked as it
// goes into the listing (numbered one after the other, a well-formed status line); the frames the
// box sent over a window of the run are compared with the lines listed over the same window.
// Resident memory is read at the start, at every emptying of the listing and at the end.
//
// Its processor time is held against rotor-bench-reader, a bare Qt program that only reads the
// same traffic: a second simulator sends it the same frames on a line of its own over the same
// window, so that both see the same load of the machine. Over that window the paint events of
// the listing and of the two live fields are counted; before it, a probe timer measures the
// longest time the window's events were left waiting while frames streamed in.

#include "bench_support.h"

#include "support/recording_messages.h"
#include "ui/main_window.h"
#include "ui/monitor.h"

#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr double frameBytes = 11;  // STX A , ? , d d d , R CR
const double lineRateFrames = 1.0 / lineSeconds(frameBytes);
constexpr double cpuGoalRatio = 2.5;  // the monitor's processor time against the bare reader's
constexpr double paintGoalPerSecond = 40;
constexpr double gapGoalMs = 10;
constexpr double probeSeconds = 5;

struct ListingWatch {
    qint64 lines = 0;
    qint64 lastNumber = 0;
    qint64 gaps = 0;
    qint64 malformed = 0;
    QList<qint64> rssAtClear;  // kB, right after each emptying of the listing
    QString firstBad;
};

// The number of a well-formed status line ("12: <h|A,?,45,R|r>"), or -1. Checked by hand: this
// runs for every line, inside the process whose processor time is measured.
qint64 statusLineNumber(QStringView line)
{
    qsizetype i = 0;
    qint64 number = 0;
    while (i < line.size() && line.at(i).isDigit())
        number = number * 10 + line.at(i++).digitValue();
    if (i == 0 || !line.mid(i).startsWith(u": <h|A,?,"))
        return -1;
    i += 9;
    const qsizetype angle = i;
    while (i < line.size() && line.at(i).isDigit())
        ++i;
    if (i == angle || i - angle > 3 || (line.mid(i) != u",B|r>" && line.mid(i) != u",R|r>"))
        return -1;
    return number;
}

// The rate at which the simulator's status frames reach the least possible client: the line opened
// raw, "M" sent, and the frames counted as they arrive, over `seconds` after the first one; then
// "S". Frames a second, or a negative number when the line could not be used.
double minimalStatusRate(const QString& device, double seconds)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    const auto send = [fd](const char* frame) { return ::write(fd, frame, 4) == 4; };
    double rate = -1;
    if (send("\x02"
             "AM\r")) {
        int frames = -1;  // the first CR ends the reply to M
        double start = 0;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN))
                break;  // the simulator's end of the line has gone
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\r')
                    continue;
                if (++frames == 1)
                    start = wallSeconds();  // the clock starts at the end of the first status frame
            }
            if (frames > 1 && wallSeconds() - start >= seconds) {
                rate = (frames - 1) / (wallSeconds() - start);
                break;
            }
        }
        send("\x02"
             "AS\r");
        runEvents(100);
    }
    ::close(fd);
    return rate;
}

}  // namespace

int benchMonitorRate(const BenchOptions& options)
{
    const QString name = QStringLiteral("3. Monitor at full line rate (`--status-interval 0`, %1 s)");
    const QString goal =
        QStringLiteral("every frame listed; memory flat; processor ≤ %1 × the bare reader's; listing and "
                       "live fields drawn ≤ %2 times/s each; events wait ≤ %3 ms")
            .arg(fixed(cpuGoalRatio, 1), fixed(paintGoalPerSecond, 0), fixed(gapGoalMs, 0));
    const double seconds = options.seconds > 0 ? options.seconds : 60;
    if (!Simulator::available()) {
        printRow({name.arg(fixed(seconds, 0)), QStringLiteral("not run"), goal, QStringLiteral("simulator not built")});
        return 1;
    }
    ConfigFolder config;
    config.writePortChoice(1);
    Simulator sim(config);
    if (!sim.start({QStringLiteral("--status-interval"), QStringLiteral("0")})) {
        note(QStringLiteral("monitor-rate: the simulator did not start"));
        return 1;
    }

    const double baselineSeconds = std::min(seconds, 20.0);
    const double minimalRate = minimalStatusRate(sim.device(), baselineSeconds);
    note(QStringLiteral("monitor-rate: a minimal raw client receives %1 frames/s over %2 s")
             .arg(fixed(minimalRate, 2), fixed(baselineSeconds, 0)));
    // The bare reader runs beside the monitor over the same window, on a line of its own.
    BareReader bareReader;
    if (!bareReader.prepare())
        note(QStringLiteral("monitor-rate: the bare Qt reader could not be prepared"));

    CountingPort port;
    RecordingMessages messages;
    MainWindow window(port, messages);
    window.show();
    runEvents(300);
    window.startUp();
    if (messages.shown.size() != 1)
        note(QStringLiteral("monitor-rate: start-up messages: ") + messages.shown.join(QStringLiteral(" / ")));
    messages.shown.clear();
    QStringList windowMessages;  // shown while the monitor ran, up to the stop click

    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("cmd_monitor"));
    auto* listing = window.findChild<QPlainTextEdit*>(QStringLiteral("cbox_reply_text"));
    auto* position = window.findChild<QLineEdit*>(QStringLiteral("fast_pos"));
    auto* status = window.findChild<QLineEdit*>(QStringLiteral("fast_status"));
    QTextDocument* document = listing->document();
    PaintCounter paints;
    paints.watch(listing->viewport());
    paints.watch(position);
    paints.watch(status);
    EventGapProbe probe;

    // Lines arrive at the end of the listing, several together, each a block ended by its
    // paragraph separator; the listing is otherwise only ever emptied.
    ListingWatch watch;
    QObject::connect(document, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
        if (removed > 1 && document->blockCount() <= 2)
            watch.rssAtClear << residentKb();
        for (QTextBlock block = document->findBlock(position);
             block.isValid() && block.position() + block.length() <= position + added; block = block.next()) {
            if (block.length() <= 1)
                continue;
            ++watch.lines;
            const qint64 number = statusLineNumber(block.text());
            if (number < 0) {
                if (watch.malformed++ == 0)
                    watch.firstBad = block.text();
                continue;
            }
            if (watch.lastNumber != 0 && number != watch.lastNumber + 1)
                ++watch.gaps;
            watch.lastNumber = number;
        }
    });

    double wall0 = 0, wall1 = 0, cpu0 = 0, cpu1 = 0, maxGapMs = 0;
    qint64 paintsListing = 0, paintsPosition = 0, paintsStatus = 0;
    qint64 rss0 = 0, rss1 = 0, peak1 = 0, listed0 = 0, listed1 = 0, read0 = 0, read1 = 0;
    int sent0 = 0, sent1 = 0;
    bool measured = false;
    QTimer sampler;
    sampler.setInterval(60000);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        note(QStringLiteral("monitor-rate: %1 s, %2 lines listed, rss %3 kB")
                 .arg(fixed(wallSeconds() - wall0, 0))
                 .arg(watch.lines)
                 .arg(residentKb()));
    });
    QTimer running;
    running.setInterval(20);
    QObject::connect(&running, &QTimer::timeout, [&] {
        if (button->text() != QLatin1String("STOP"))
            return;
        running.stop();
        // A second in, the frames flow steadily: the probe runs, then the measured window starts.
        QTimer::singleShot(1000, [&] { probe.start(); });
        QTimer::singleShot(int(1000 * (1 + probeSeconds)), [&] {
            probe.stop();
            maxGapMs = probe.maxGapMs();
            paints.reset();
            bareReader.start(seconds);
            // Lines listed but still waiting for the next drawing go in now, as for any reader.
            window.text(Field::cbox_reply_text);
            wall0 = wallSeconds();
            cpu0 = processSeconds();
            rss0 = residentKb();
            listed0 = watch.lines;
            read0 = port.read;
            sent0 = sim.sentCount(QStringLiteral("status"));
            sampler.start();
            QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, [&] {
                wall1 = wallSeconds();
                cpu1 = processSeconds();
                rss1 = residentKb();
                peak1 = peakResidentKb();
                window.text(Field::cbox_reply_text);
                listed1 = watch.lines;
                read1 = port.read;
                sent1 = sim.sentCount(QStringLiteral("status"));
                paintsListing = paints.count(listing->viewport());
                paintsPosition = paints.count(position);
                paintsStatus = paints.count(status);
                measured = true;
                windowMessages = messages.shown;
                messages.shown.clear();
                sampler.stop();
                button->click();  // the stop
            });
        });
    });
    running.start();
    button->click();
    running.stop();

    if (!sim.running()) {
        printRow({name.arg(fixed(seconds, 0)), QStringLiteral("not run"), goal,
                  QStringLiteral("FAIL (%1)").arg(sim.endText())});
        return 1;
    }
    const ReaderRun reader = bareReader.result(15000);
    note(
        QStringLiteral("monitor-rate: the bare Qt reader beside the monitor: %1 frames in %2 s, processor %3 ms = %4 %")
            .arg(reader.frames)
            .arg(fixed(reader.wall, 1), fixed(1000 * reader.cpu, 1), fixed(reader.percent(), 2)));
    if (!measured) {
        printRow({name.arg(fixed(seconds, 0)), QStringLiteral("not run"), goal,
                  QStringLiteral("FAIL (monitor did not run: %1)").arg(messages.shown.join(QStringLiteral(" / ")))});
        return 1;
    }
    const qint64 sent = sent1 - sent0;
    const qint64 listed = listed1 - listed0;
    const qint64 difference = sent - listed;
    const double wall = wall1 - wall0;
    const double rate = double(listed) / wall;
    const double cpu = 100.0 * (cpu1 - cpu0) / wall;
    // The bytes read over the window against the frames listed: nothing read is left unlisted.
    const double framesRead = double(read1 - read0) / frameBytes;
    QStringList clears;
    for (qint64 kb : watch.rssAtClear)
        clears << QString::number(kb);
    note(QStringLiteral("monitor-rate: sent %1, listed %2, read %3 frames' worth of bytes, gaps %4, malformed %5 "
                        "(first: %6), messages: %7")
             .arg(sent)
             .arg(listed)
             .arg(fixed(framesRead, 1))
             .arg(watch.gaps)
             .arg(watch.malformed)
             .arg(watch.firstBad, windowMessages.join(QStringLiteral(" / "))));
    if (!messages.shown.isEmpty()) {
        // Shown after the stop click, by the closing exchange: the end of the simulator's log says
        // what was on the line.
        note(QStringLiteral("monitor-rate: after the stop click: ") + messages.shown.join(QStringLiteral(" / ")));
        QFile log(sim.logPath());
        if (log.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
            for (qsizetype i = std::max<qsizetype>(0, lines.size() - 8); i < lines.size(); ++i)
                note(QStringLiteral("  sim: ") + QString::fromLatin1(lines.at(i)));
        }
    }
    note(QStringLiteral(
             "monitor-rate: rss at start %1 kB, at each emptying of the listing: %2, at end %3 kB, peak %4 kB")
             .arg(rss0)
             .arg(clears.join(QStringLiteral(" ")))
             .arg(rss1)
             .arg(peak1));

    const bool allListed =
        std::abs(difference) <= 1 && watch.gaps == 0 && watch.malformed == 0 && windowMessages.isEmpty();
    const double readerPercent = reader.ok ? reader.percent() : 0;
    const double cpuRatio = readerPercent > 0 ? cpu / readerPercent : 0;
    const bool cheap = readerPercent > 0 && cpuRatio <= cpuGoalRatio;
    const double paintRates[] = {double(paintsListing) / wall, double(paintsPosition) / wall,
                                 double(paintsStatus) / wall};
    const bool paced = std::all_of(std::begin(paintRates), std::end(paintRates),
                                   [](double rate) { return rate <= paintGoalPerSecond; });
    const bool responsive = probe.ticks() > 0 && maxGapMs <= gapGoalMs;
    // Flat memory. The first listing cycles warm the heap up (the resident size rises by about a
    // megabyte and then stays); a leak keeps growing. With four or more emptyings of the listing
    // (runs of two minutes and more) the resident size at the last one is compared with that at
    // the one in the middle of the run: the same listing state, half a run apart. A shorter run
    // cannot tell warm-up from a leak and is only held to a bound of 4 MB over its start.
    const qsizetype clearsSeen = watch.rssAtClear.size();
    const bool longRun = clearsSeen >= 4;
    const qint64 middle = longRun ? watch.rssAtClear.at(clearsSeen / 2) : rss0;
    const qint64 last = longRun ? watch.rssAtClear.last() : rss1;
    const qint64 growth = last - middle;
    const bool flat = longRun ? growth < 512 : growth < 4096;
    const QString memory =
        longRun
            ? QStringLiteral(
                  "RSS start %1 MB, end %2 MB, peak %3 MB; at the listing's %4 emptyings first %5, middle %6, "
                  "last %7 MB: growth over the second half %8 kB")
                  .arg(fixed(rss0 / 1024.0, 1), fixed(rss1 / 1024.0, 1), fixed(peak1 / 1024.0, 1))
                  .arg(clearsSeen)
                  .arg(fixed(watch.rssAtClear.first() / 1024.0, 1), fixed(middle / 1024.0, 1), fixed(last / 1024.0, 1))
                  .arg(growth)
            : QStringLiteral("RSS start %1 MB, end %2 MB, peak %3 MB (a short run: warm-up and a leak look alike; "
                             "held to < 4 MB over the start)")
                  .arg(fixed(rss0 / 1024.0, 1), fixed(rss1 / 1024.0, 1), fixed(peak1 / 1024.0, 1));
    Row row;
    row.benchmark = name.arg(fixed(seconds, 0));
    row.measured =
        QStringLiteral("%1 frames sent, %2 listed (difference %3, gaps %4, malformed %5); %6 frames/s "
                       "(line rate %7, a minimal raw client on the same simulator %8); processor %9 %, "
                       "the bare Qt reader beside it %10 % (%11 frames): **ratio %12**; drawn per second: "
                       "listing %13, `fast_pos` %14, `fast_status` %15; events waited at most %16 ms; %17")
            .arg(sent)
            .arg(listed)
            .arg(difference)
            .arg(watch.gaps)
            .arg(watch.malformed)
            .arg(fixed(rate, 2), fixed(lineRateFrames, 2), fixed(minimalRate, 2), fixed(cpu, 2),
                 fixed(readerPercent, 2), QString::number(reader.frames), fixed(cpuRatio, 2))
            .arg(fixed(paintRates[0], 1), fixed(paintRates[1], 1), fixed(paintRates[2], 1), fixed(maxGapMs, 1), memory);
    if (!messages.shown.isEmpty())
        row.measured +=
            QStringLiteral("; after the stop click: \"%1\"").arg(messages.shown.join(QStringLiteral(" / ")));
    row.goal = goal;
    QStringList failures;
    if (!allListed)
        failures << QStringLiteral("frames lost");
    if (!flat)
        failures << QStringLiteral("memory grows");
    if (!cheap)
        failures << (readerPercent > 0 ? QStringLiteral("processor") : QStringLiteral("no bare reader"));
    if (!paced)
        failures << QStringLiteral("drawn too often");
    if (!responsive)
        failures << QStringLiteral("events waited");
    row.verdict = failures.isEmpty() ? QStringLiteral("pass")
                                     : QStringLiteral("FAIL (%1)").arg(failures.join(QStringLiteral(", ")));
    printRow(row);
    return 0;
}
