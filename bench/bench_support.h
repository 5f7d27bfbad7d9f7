// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the benchmarks: clocks (wall and processor), memory and descriptor counts,
// a private configuration folder with its port link, a silent line, the simulated CBOX as a child
// process, a port that counts the bytes going through it, the bare Qt reader as a yardstick, a
// probe of how long events wait, paint counts, and the rows of the results table.

#include "serial/port.h"
#include "serial/serial_port.h"

#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

class QWidget;

// Options of one benchmark run: --runs N, --seconds S.
struct BenchOptions {
    int runs = 5;
    double seconds = 0;  // 0: the benchmark's own default
};

// One row of the results table; printed on standard output as a Markdown table row.
struct Row {
    QString benchmark;
    QString measured;
    QString goal;
    QString verdict;
};
void printRow(const Row& row);
// Diagnostics go to standard error, so that standard output holds only table rows.
void note(const QString& text);

double median(QList<double> values);
QString fixed(double value, int decimals);
QString listOf(const QList<double>& values, int decimals);

// User plus system processor time of this process, in seconds.
double processSeconds();
// Monotonic wall clock in seconds.
double wallSeconds();
// Resident set size and its peak, in kB (from /proc/self/status).
qint64 residentKb();
qint64 peakResidentKb();
// Open file descriptors of this process.
int openDescriptorCount();

// Lets the event loop run for `ms` milliseconds.
void runEvents(int ms);
// Lets the event loop run until `done` is true or `timeoutMs` has passed; true when it became true.
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs);

// A private configuration folder ($XDG_CONFIG_HOME for this process) holding rotor/rotor.ini and
// rotor/ports/comN, so that the user's own settings are never touched.
class ConfigFolder {
public:
    ConfigFolder();
    QString path() const { return m_dir.path(); }
    void writePortChoice(int n);
    void linkPort(int n, const QString& device);

private:
    QTemporaryDir m_dir;
};

// A pseudo-terminal whose other end never answers.
class SilentLine {
public:
    SilentLine();
    ~SilentLine();
    SilentLine(const SilentLine&) = delete;
    SilentLine& operator=(const SilentLine&) = delete;
    bool ok() const { return m_master >= 0; }
    QString device() const { return m_device; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
};

// The simulated CBOX, plugged in as port 1 of the configuration folder, logging to a file.
class Simulator {
public:
    static bool available();
    static QString program();

    explicit Simulator(const ConfigFolder& config);
    ~Simulator();
    // Starts it with these options (besides --plug, --config-dir and --log); true once its line is
    // plugged in.
    bool start(const QStringList& options);
    void stop();
    // False once it has ended by itself: a signal from outside, a crash.
    bool running() const { return m_process.state() == QProcess::Running; }
    // Why it is no longer running, for the table.
    QString endText() const;
    QString device() const { return m_device; }
    QString logPath() const { return m_logPath; }
    // Lines of the log sent on the line ("tx") whose note holds `noteText`.
    int sentCount(const QString& noteText) const;
    // Log lines holding `text`.
    int logLinesWith(const QString& text) const;

private:
    const ConfigFolder& m_config;
    QProcess m_process;
    QString m_device;
    QString m_logPath;
};

// The real port (QSerialPort) with counters of the bytes written, read and discarded.
class CountingPort : public Port {
    Q_OBJECT
public:
    explicit CountingPort(QObject* parent = nullptr);

    bool applyLineSettings() override { return m_inner.applyLineSettings(); }
    bool open(const PortChoice& choice) override;
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    qint64 pendingCount() const override { return m_inner.pendingCount(); }
    void discard() override;
    QByteArray readOne() override;
    void write(const QByteArray& bytes) override;
    QString errorText() const override { return m_inner.errorText(); }

    // With tracing on, every call is noted with its time (for finding where an exchange spends
    // its time); printTrace() writes the notes to standard error and forgets them.
    bool tracing = false;
    void printTrace();

    qint64 written = 0;
    qint64 read = 0;
    double openCloseSeconds = 0;  // spent inside open() and close()
    qint64 discarded = 0;         // unread bytes dropped by a discard or a close
    int opens = 0;

private:
    void trace(const QString& what);

    SerialPort m_inner;
    QList<QPair<double, QString>> m_trace;
};

// One run of rotor-bench-reader, the bare Qt program that reads the monitor's traffic: the
// status frames it counted and its wall and processor seconds over its window.
struct ReaderRun {
    bool ok = false;
    int frames = 0;
    double wall = 0;
    double cpu = 0;
    double percent() const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

// The bare reader beside a benchmark, over the same window: a simulated CBOX of its own sending
// status frames back to back on a line of its own, and rotor-bench-reader reading them. Both run
// apart from this process (no descriptor of theirs in its event loop), so that they cost it
// nothing; they see the same machine at the same time as what they are compared with.
class BareReader {
public:
    BareReader();
    ~BareReader();
    BareReader(const BareReader&) = delete;
    BareReader& operator=(const BareReader&) = delete;
    static bool available();
    // Starts the simulator; true once its line is up.
    bool prepare();
    // Starts the reader on that line for `seconds` of status frames (it sends M, then S at the end).
    bool start(double seconds);
    // Lets the event loop run until the reader is done, at most `timeoutMs`; its result.
    ReaderRun result(int timeoutMs);

private:
    QTemporaryDir m_dir;
    qint64 m_simPid = 0;
    qint64 m_readerPid = 0;
    QString m_device;
};

// The longest the event loop left a timer waiting: a repeating 1-ms timer notes the gaps between
// its ticks. A gap longer than the interval is time during which no event was processed.
class EventGapProbe : public QObject {
public:
    EventGapProbe();
    void start();
    void stop();
    double maxGapMs() const { return m_maxGapMs; }
    qint64 ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    double m_last = 0;
    double m_maxGapMs = 0;
    qint64 m_ticks = 0;
};

// Counts the paint events of some widgets.
class PaintCounter : public QObject {
public:
    void watch(QWidget* widget);
    qint64 count(QWidget* widget) const;
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHash<QObject*, qint64> m_counts;
};

// The line time of `bytes` characters at 9600 baud, 10 bits each, in seconds.
constexpr double lineSeconds(double bytes) { return bytes * 10.0 / 9600.0; }

// The benchmarks; each prints its rows and returns 0 when it could run.
int benchCpuWait(const BenchOptions& options);
int benchCpuMonitor(const BenchOptions& options);
int benchLineTime(const BenchOptions& options);
int benchMonitorRate(const BenchOptions& options);
int benchListingAppend(const BenchOptions& options);
int benchOpenClose(const BenchOptions& options);
int benchNetwork(const BenchOptions& options);
int benchClickWait(const BenchOptions& options);
