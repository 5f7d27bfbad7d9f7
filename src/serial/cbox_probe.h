// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the CBOX: the status query STX "A?" CR goes to several serial devices at once, at
// 9600 8N1, and each is heard until a whole status frame (STX "A,?," three digits "," R or B, CR)
// comes or the one deadline of the whole probe passes. A box that already streams status frames
// (the M command) is recognised by the same frame. The number of devices does not stretch the
// probe: they are all opened, written and heard side by side in the event loop, so a search over
// many adapters takes as long as one.
//
// Opening a port may change its control lines (DTR, RTS); the window asks before probing for that
// reason. A device whose lock file another program holds is not opened at all. Every port is
// closed, and its lock given back, before run() returns or when cancel() is called (a stop clicked
// meanwhile needs the line at once).

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QEventLoop;
class QSerialPort;

struct StatusFrame {
    int angle = 0;
    QChar state;  // 'R' ready, 'B' busy
};

// The first whole status frame in `bytes`, wherever it starts.
std::optional<StatusFrame> findStatusFrame(const QByteArray& bytes);

struct ProbeOutcome {
    enum class Kind {
        Found,          // a status frame came: `frame` holds it
        NoAnswer,       // nothing came before the deadline
        SomethingElse,  // bytes came, but no status frame among them: `detail` shows them
        NotOpened,      // the device could not be opened: `detail` says why
        InUse,          // another program holds it (its lock file): not probed
        Cancelled,      // the probe was cancelled before this device had answered
    };
    QString device;
    Kind kind = Kind::NoAnswer;
    StatusFrame frame;
    QString detail;
};

// One line for the operator: "CBOX found at 45°, READY", "no answer", ...
QString outcomeText(const ProbeOutcome& outcome);

class CboxProbe : public QObject {
    Q_OBJECT
public:
    // The whole probe, whatever the number of devices.
    static constexpr int limitMs = 4000;

    explicit CboxProbe(QObject* parent = nullptr);
    ~CboxProbe() override;

    // Probes `devices` side by side; returns, in the same order, what each came to, when each is
    // decided or `limitMs` has passed, or at once after cancel().
    QList<ProbeOutcome> run(const QStringList& devices, int limit = limitMs);
    // Closes every port now and ends run(): the devices not yet decided are Cancelled.
    void cancel();

private:
    struct Line {
        QSerialPort* port = nullptr;
        QByteArray heard;
        ProbeOutcome outcome;
        bool decided = false;
    };
    void open(Line& line);
    void hear(Line& line);
    void closeAll();
    bool allDecided() const;

    QList<Line> m_lines;
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
};
