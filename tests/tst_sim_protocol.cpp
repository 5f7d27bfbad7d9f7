// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated CBOX, driven over its pseudo-terminal as the tool drives the real box: frames are sent
// and the replies are checked byte for byte.
#include "support/sample_blocks.h"
#include <QtTest>

#include <QByteArrayList>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString SimProgram = QStringLiteral(ROTOR_BUILD_DIR "/sim/cbox-sim");
constexpr char STX = '\x02';
constexpr char CR = '\r';
constexpr int Patience = 5000;  // ms; generous, nothing here should take more than a fraction of it

const QByteArray DefaultBlock = exampleBlock;

// The value lines of the worked example of the write: the panel's default set.
const QByteArrayList WorkedExampleLines = {"1",  "0", "500",  "1829", "1", "30", "0",   "10",
                                           "15", "1", "1829", "0",    "0", "2",  "3049"};

QByteArray frame(const QByteArray& body) { return STX + body + CR; }

QByteArray reply(char letter, const QByteArray& data) { return QByteArray(1, STX) + "A," + letter + ',' + data + CR; }

QByteArray status(const QByteArray& data) { return reply('?', data); }

// Control bytes by name, so that a failed comparison shows what was on the line.
QByteArray readable(const QByteArray& bytes)
{
    QByteArray out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 2)
            out += "<STX>";
        else if (c == 13)
            out += "<CR>";
        else if (c == 10)
            out += "<LF>";
        else if (c < 32 || c >= 127)
            out += "<0x" + QByteArray::number(c, 16).rightJustified(2, '0') + '>';
        else
            out += ch;
    }
    return out;
}

// One simulator process and our end of its line.
class Sim {
public:
    Sim() { process_.setStandardErrorFile(logDir_.filePath("stderr.log")); }
    ~Sim()
    {
        disconnect();
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(Patience);
        }
        if (QTest::currentTestFailed())
            qInfo().noquote() << "simulator log:\n" << log();
    }

    void setEnvironment(const QProcessEnvironment& env) { process_.setProcessEnvironment(env); }

    // Starts the simulator (unpaced unless `fast` is false) and reads the device it serves.
    bool start(const QStringList& args, bool fast = true)
    {
        process_.start(SimProgram, fast ? QStringList{"--fast"} + args : args);
        device_ = nextDevice();
        return !device_.isEmpty();
    }

    // The next device line printed by the simulator.
    QString nextDevice()
    {
        QElapsedTimer clock;
        clock.start();
        while (!process_.canReadLine() && clock.elapsed() < Patience)
            process_.waitForReadyRead(100);
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }

    // Opens the line as the tool does: raw, and discarding whatever is pending.
    bool connect(const QString& path = {})
    {
        disconnect();
        const QByteArray name = (path.isEmpty() ? device_ : path).toLocal8Bit();
        fd_ = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return false;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
        pending_.clear();
        return true;
    }

    void disconnect()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    void send(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
            else
                waitFor(POLLOUT, 10);
        }
    }

    // Exactly `count` bytes, or what came before the time ran out.
    QByteArray read(qsizetype count, int timeoutMs = Patience)
    {
        QElapsedTimer clock;
        clock.start();
        while (pending_.size() < count && clock.elapsed() < timeoutMs)
            fill(timeoutMs - static_cast<int>(clock.elapsed()));
        const QByteArray out = pending_.left(count);
        pending_.remove(0, out.size());
        return out;
    }

    // Up to and including the next CR.
    QByteArray readFrame(int timeoutMs = Patience)
    {
        QElapsedTimer clock;
        clock.start();
        while (!pending_.contains(CR) && clock.elapsed() < timeoutMs)
            fill(timeoutMs - static_cast<int>(clock.elapsed()));
        const qsizetype end = pending_.indexOf(CR);
        const QByteArray out = end < 0 ? pending_ : pending_.left(end + 1);
        pending_.remove(0, out.size());
        return out;
    }

    // Whatever arrives within `ms`; a quiet line gives nothing.
    QByteArray quiet(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            fill(ms - static_cast<int>(clock.elapsed()));
        const QByteArray out = pending_;
        pending_.clear();
        return out;
    }

    // True when our end of the line sees the hang-up.
    bool waitForHangUp(int timeoutMs = Patience)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                pending_.append(buffer, n);
            else if (n == 0 || errno == EIO)
                return true;
            else if (p.revents & POLLHUP)
                return true;
        }
        return false;
    }

    // Ends the simulator as a terminal would (SIGTERM); true when it ended cleanly.
    bool stop()
    {
        disconnect();
        process_.terminate();
        return process_.waitForFinished(Patience) && process_.exitStatus() == QProcess::NormalExit
               && process_.exitCode() == 0;
    }

    QString device() const { return device_; }
    QProcess& process() { return process_; }

    QString log() const
    {
        QFile file(logDir_.filePath("stderr.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
    }

private:
    void waitFor(short events, int ms)
    {
        pollfd p{fd_, events, 0};
        ::poll(&p, 1, ms);
    }

    void fill(int timeoutMs)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, std::max(timeoutMs, 0)) <= 0)
            return;
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
            pending_.append(buffer, n);
        else
            QThread::msleep(5);  // hung up: do not spin
    }

    QTemporaryDir logDir_;
    QProcess process_;
    QString device_;
    int fd_ = -1;
    QByteArray pending_;
};

// Sends each of `sent` and checks the matching `expected` bytes; an empty expectation means no answer.
// After the last exchange the line must stay quiet.
void runScript(Sim& sim, const QByteArrayList& sent, const QByteArrayList& expected)
{
    QCOMPARE(sent.size(), expected.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        sim.send(sent[i]);
        const QByteArray got = expected[i].isEmpty() ? sim.quiet(150) : sim.read(expected[i].size());
        QVERIFY2(got == expected[i],
                 qPrintable(QString("exchange %1 sent %2: got %3, expected %4")
                                .arg(i + 1)
                                .arg(QString::fromLatin1(readable(sent[i])), QString::fromLatin1(readable(got)),
                                     QString::fromLatin1(readable(expected[i])))));
    }
    const QByteArray extra = sim.quiet(60);
    QVERIFY2(extra.isEmpty(), qPrintable("unexpected bytes at the end: " + QString::fromLatin1(readable(extra))));
}

// The 15 value lines of a W dialogue, each answered by N, the last by CR.
void writeLines(Sim& sim, const QByteArrayList& lines)
{
    for (qsizetype k = 0; k < lines.size(); ++k) {
        sim.send(lines[k] + CR);
        const QByteArray expected = k + 1 < lines.size() ? "N" : "\r";
        const QByteArray got = sim.read(1);
        QVERIFY2(got == expected,
                 qPrintable(QString("after value line %1: got %2").arg(k + 1).arg(QString::fromLatin1(readable(got)))));
    }
}

// The angle and state of a status reply, checked for its layout.
bool parseStatus(const QByteArray& bytes, int& angle, char& state)
{
    static const QRegularExpression layout(QStringLiteral("^\\x02A,\\?,(\\d{3}),([BR])\\r$"));
    const auto match = layout.match(QString::fromLatin1(bytes));
    if (!match.hasMatch())
        return false;
    angle = match.captured(1).toInt();
    state = match.captured(2).at(0).toLatin1();
    return true;
}

bool isSymLink(const QString& path) { return QFileInfo(path).isSymLink(); }

}  // namespace

class SimProtocolTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void exchanges_data();
    void exchanges();
    void parameterBlock_data();
    void parameterBlock();
    void statusFrames_data();
    void statusFrames();
    void turning();
    void stops_data();
    void stops();
    void calibration();
    void writeThenRead_data();
    void writeThenRead();
    void writeAbandonedByNewFrame();

    void faults_data();
    void faults();
    void faultOnStatusFrames();
    void delayedReply();
    void hangUp();

    void plug_data();
    void plug();
    void plugLeavesForeignLink();
    void plugLeavesWhatIsThere_data();
    void plugLeavesWhatIsThere();
    void reconnect();
    void pacing_data();
    void pacing();
    void logShowsFrames();
    void badArguments_data();
    void badArguments();
};

void SimProtocolTest::initTestCase()
{
    QVERIFY2(QFileInfo(SimProgram).isExecutable(), qPrintable(SimProgram + " is not built"));
}

// Columns shared by the scripted tests.
static void scriptColumns()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QByteArrayList>("expected");
}

void SimProtocolTest::exchanges_data()
{
    scriptColumns();
    const QStringList absolute{"--absolute"};
    QTest::newRow("status query") << QStringList{} << QByteArrayList{frame("A?")} << QByteArrayList{status("123,R")};
    QTest::newRow("status angle zero-padded")
        << QStringList{"--position", "7"} << QByteArrayList{frame("A?")} << QByteArrayList{status("007,R")};
    QTest::newRow("S") << QStringList{} << QByteArrayList{frame("AS")} << QByteArrayList{reply('S', "R")};
    QTest::newRow("M refused in absolute mode, no status frames")
        << QStringList{"--absolute", "--status-interval", "20"} << QByteArrayList{frame("AM")}
        << QByteArrayList{reply('M', "B")};
    QTest::newRow("V default") << QStringList{} << QByteArrayList{frame("AV")} << QByteArrayList{reply('V', "00322")};
    QTest::newRow("V five digits") << QStringList{"--version-number", "12345"} << QByteArrayList{frame("AV")}
                                   << QByteArrayList{reply('V', "12345")};
    QTest::newRow("V zero-padded") << QStringList{"--version-number=5"} << QByteArrayList{frame("AV")}
                                   << QByteArrayList{reply('V', "00005")};

    const struct {
        const char* name;
        QByteArray data;
        QByteArray result;
    } gotos[] = {
        {"G inside the limits", "45", "R"},
        {"G leading zeros", "045", "R"},
        {"G lower limit", "0", "R"},
        {"G upper limit", "500", "R"},
        {"G above the upper limit", "501", "E"},
        {"G below the lower limit", "-1", "E"},
        {"G not a number", "?", "E"},
        {"G fraction", "45.5", "E"},
        {"G no data", "", "E"},
        {"G999 fast stop", "999", "R"},
        {"G977 soft stop", "977", "R"},
    };
    for (const auto& g : gotos)
        QTest::newRow(g.name) << QStringList{} << QByteArrayList{frame("AG" + g.data)}
                              << QByteArrayList{reply('G', g.result)};

    const struct {
        char letter;
        QByteArray data;
    } calibrations[] = {{'C', ""}, {'c', ""}, {'F', "1200"}, {'K', "90"}};
    for (const auto& c : calibrations) {
        const QByteArray sent = frame(QByteArray("A") + c.letter + c.data);
        QTest::addRow("%c refused outside absolute mode", c.letter)
            << QStringList{} << QByteArrayList{sent} << QByteArrayList{reply(c.letter, "B")};
        QTest::addRow("%c accepted in absolute mode", c.letter)
            << absolute << QByteArrayList{sent} << QByteArrayList{reply(c.letter, "R")};
        QTest::addRow("%c refused by a busy box", c.letter)
            << QStringList{"--absolute", "--fault-busy"} << QByteArrayList{sent}
            << QByteArrayList{reply(c.letter, "B")};
    }
    QTest::newRow("F factor not a number")
        << absolute << QByteArrayList{frame("AF?")} << QByteArrayList{reply('F', "E")};
    QTest::newRow("K angle out of range")
        << absolute << QByteArrayList{frame("AK1000")} << QByteArrayList{reply('K', "E")};

    QTest::newRow("busy box: status") << QStringList{"--fault-busy"} << QByteArrayList{frame("A?")}
                                      << QByteArrayList{status("123,B")};
    QTest::newRow("busy box still takes G")
        << QStringList{"--fault-busy"} << QByteArrayList{frame("AG10")} << QByteArrayList{reply('G', "R")};
    QTest::newRow("busy box refuses W, no prompt")
        << QStringList{"--fault-busy"} << QByteArrayList{frame("AW")} << QByteArrayList{reply('W', "B")};
    QTest::newRow("W accepted with the first prompt")
        << QStringList{} << QByteArrayList{frame("AW")} << QByteArrayList{reply('W', "R") + 'N'};

    QTest::newRow("unknown letter not answered")
        << QStringList{} << QByteArrayList{frame("AX"), frame("As"), frame("A?")}
        << QByteArrayList{"", "", status("123,R")};
    QTest::newRow("identifier other than A not answered")
        << QStringList{} << QByteArrayList{frame("BS"), frame("A?")} << QByteArrayList{"", status("123,R")};
    QTest::newRow("bytes before STX ignored")
        << QStringList{} << QByteArrayList{"#~A,S\r\n" + frame("AS")} << QByteArrayList{reply('S', "R")};
    QTest::newRow("two frames in one write") << QStringList{} << QByteArrayList{frame("AS") + frame("AV")}
                                             << QByteArrayList{reply('S', "R") + reply('V', "00322")};
    QTest::newRow("a new STX restarts the frame")
        << QStringList{} << QByteArrayList{QByteArray(1, STX) + "AV" + frame("AS")} << QByteArrayList{reply('S', "R")};
    QTest::newRow("frame split over writes")
        << QStringList{} << QByteArrayList{QByteArray(1, STX) + "A", "V", QByteArray(1, CR)}
        << QByteArrayList{"", "", reply('V', "00322")};
}

// Runs the current row of a table made by scriptColumns() on a fresh simulator.
static void runScriptRow()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArrayList, sent);
    QFETCH(QByteArrayList, expected);
    Sim sim;
    QVERIFY(sim.start(args));
    QVERIFY(sim.connect());
    runScript(sim, sent, expected);
}

void SimProtocolTest::exchanges() { runScriptRow(); }

void SimProtocolTest::parameterBlock_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("default") << QStringList{} << DefaultBlock;
    QTest::newRow("absolute mode")
        << QStringList{"--absolute"}
        << QByteArray("00123,R,00002,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,"
                      "03049,00000,01000");
    QTest::newRow("position")
        << QStringList{"--position", "7"}
        << QByteArray("00007,R,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,"
                      "03049,00000,01000");
    QTest::newRow("busy")
        << QStringList{"--fault-busy"}
        << QByteArray("00123,B,00001,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,"
                      "03049,00000,01000");
}

void SimProtocolTest::parameterBlock()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, block);
    Sim sim;
    QVERIFY(sim.start(args));
    QVERIFY(sim.connect());
    runScript(sim, {frame("AL")}, {reply('L', block)});
}

void SimProtocolTest::statusFrames_data()
{
    QTest::addColumn<int>("interval");
    QTest::newRow("paced") << 40;
    QTest::newRow("back to back") << 0;
}

void SimProtocolTest::statusFrames()
{
    QFETCH(int, interval);
    Sim sim;
    QVERIFY(sim.start({"--status-interval", QString::number(interval)}));
    QVERIFY(sim.connect());

    sim.send(frame("AM"));
    QCOMPARE(readable(sim.read(7)), readable(reply('M', "R")));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(readable(sim.readFrame()), readable(status("123,R")));

    // S is answered after the frames already on their way; then the box falls silent.
    sim.send(frame("AS"));
    QByteArray got;
    for (int i = 0; i < 100000; ++i) {
        got = sim.readFrame();
        if (got != status("123,R"))
            break;
    }
    QCOMPARE(readable(got), readable(reply('S', "R")));
    QCOMPARE(readable(sim.quiet(3 * interval + 150)), QByteArray());
}

void SimProtocolTest::turning()
{
    Sim sim;
    QVERIFY(sim.start({"--speed", "20", "--absolute"}));
    QVERIFY(sim.connect());
    runScript(sim, {frame("AG143")}, {reply('G', "R")});

    // A second on the way: busy, and the commands that need a still box are refused.
    sim.send(frame("A?"));
    int angle = -1;
    char state = 0;
    const QByteArray first = sim.readFrame();
    QVERIFY2(parseStatus(first, angle, state), readable(first).constData());
    QCOMPARE(state, 'B');
    QVERIFY2(angle >= 123 && angle <= 143, qPrintable(QString::number(angle)));
    runScript(sim, {frame("AC"), frame("AW")}, {reply('C', "B"), reply('W', "B")});
    sim.send(frame("AL"));
    const QByteArray block = sim.readFrame();
    QVERIFY2(block.startsWith(QByteArray(1, STX) + "A,L,00") && block.mid(10, 2) == ",B", readable(block).constData());

    QElapsedTimer clock;
    clock.start();
    QByteArray last;
    do {
        QThread::msleep(30);
        sim.send(frame("A?"));
        last = sim.readFrame();
    } while (last != status("143,R") && clock.elapsed() < Patience);
    QCOMPARE(readable(last), readable(status("143,R")));
    runScript(sim, {frame("AC")}, {reply('C', "R")});
}

void SimProtocolTest::stops_data()
{
    QTest::addColumn<QByteArray>("stop");
    QTest::newRow("fast stop") << QByteArray("AG999");
    QTest::newRow("soft stop") << QByteArray("AG977");
}

void SimProtocolTest::stops()
{
    QFETCH(QByteArray, stop);
    Sim sim;
    QVERIFY(sim.start({"--speed", "20"}));
    QVERIFY(sim.connect());
    runScript(sim, {frame("AG200")}, {reply('G', "R")});
    QThread::msleep(150);
    runScript(sim, {frame(stop)}, {reply('G', "R")});

    int stoppedAt = -1;
    char state = 0;
    sim.send(frame("A?"));
    const QByteArray first = sim.readFrame();
    QVERIFY2(parseStatus(first, stoppedAt, state), readable(first).constData());
    QCOMPARE(state, 'R');
    QVERIFY2(stoppedAt >= 123 && stoppedAt < 200, qPrintable(QString::number(stoppedAt)));

    QThread::msleep(200);
    runScript(sim, {frame("A?")}, {status(QByteArray::number(stoppedAt) + ",R")});
}

void SimProtocolTest::calibration()
{
    Sim sim;
    QVERIFY(sim.start({"--absolute"}));
    QVERIFY(sim.connect());
    runScript(sim, {frame("AF1234"), frame("AL")},
              {reply('F', "R"),
               reply('L', "00123,R,00002,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
                          "00002,03049,00000,01234")});
    runScript(sim, {frame("AK200"), frame("A?"), frame("Ac"), frame("AL")},
              {reply('K', "R"), status("200,R"), reply('c', "R"),
               reply('L', "00200,R,00002,00000,00500,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,"
                          "00002,03049,00000,01000")});
}

void SimProtocolTest::writeThenRead_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("worked example") << QStringList{} << WorkedExampleLines << DefaultBlock;
    QTest::newRow("every field new, negative offset and limit")
        << QStringList{}
        << QByteArrayList{"0", "-10", "450", "1220", "0", "49", "12", "5", "12", "0", "610", "-5", "1", "3", "36585"}
        << QByteArray("00123,R,00000,-00010,00450,01220,00000,00049,00012,00005,00012,00000,00610,65531,00001,00003,"
                      "36585,00000,01000");
    QByteArrayList offset = WorkedExampleLines;
    offset[11] = "-70";
    QTest::newRow("offset -70 as two's complement") << QStringList{} << offset << exampleBlockWith(14, "65466");
    offset[11] = "70";
    QTest::newRow("offset 70") << QStringList{} << offset << exampleBlockWith(14, "00070");
    QByteArrayList keepMode = WorkedExampleLines;
    keepMode[0] = "";
    keepMode[2] = "359";
    QTest::newRow("empty line 1 keeps absolute mode")
        << QStringList{"--absolute"} << keepMode
        << QByteArray("00123,R,00002,00000,00359,01829,00001,00030,00000,00010,00015,00001,01829,00000,00000,00002,"
                      "03049,00000,01000");
}

void SimProtocolTest::writeThenRead()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, block);
    QCOMPARE(lines.size(), 15);
    Sim sim;
    QVERIFY(sim.start(args));
    QVERIFY(sim.connect());
    runScript(sim, {frame("AW")}, {reply('W', "R") + 'N'});
    writeLines(sim, lines);
    if (QTest::currentTestFailed())
        return;
    runScript(sim, {frame("AL")}, {reply('L', block)});
}

void SimProtocolTest::writeAbandonedByNewFrame()
{
    Sim sim;
    QVERIFY(sim.start({}));
    QVERIFY(sim.connect());
    // The tool gives up after line 2 and sends nothing more of the dialogue; its next command is served
    // and nothing of the abandoned write is stored.
    runScript(sim, {frame("AW"), "0\r", "-10\r", frame("A?"), frame("AL")},
              {reply('W', "R") + 'N', "N", "N", status("123,R"), reply('L', DefaultBlock)});
}

void SimProtocolTest::faults_data()
{
    scriptColumns();
    const QByteArray statusReply = status("123,R");
    QTest::newRow("noise before the header")
        << QStringList{"--fault-noise=xyz"} << QByteArrayList{frame("A?")} << QByteArrayList{"xyz" + statusReply};
    QTest::newRow("noise with escapes") << QStringList{"--fault-noise=\\x00\\xff\\r"} << QByteArrayList{frame("AS")}
                                        << QByteArrayList{QByteArray("\x00\xff\r", 3) + reply('S', "R")};
    QTest::newRow("wrong identifier") << QStringList{"--fault-identifier=B"} << QByteArrayList{frame("AS")}
                                      << QByteArrayList{"\x02"
                                                        "B,S,R\r"};
    QTest::newRow("wrong first separator") << QStringList{"--fault-separator"} << QByteArrayList{frame("AS")}
                                           << QByteArrayList{"\x02"
                                                             "A;S,R\r"};
    QTest::newRow("wrong second separator") << QStringList{"--fault-separator2=."} << QByteArrayList{frame("AS")}
                                            << QByteArrayList{"\x02"
                                                              "A,S.R\r"};
    QTest::newRow("wrong echo") << QStringList{"--fault-echo=M"} << QByteArrayList{frame("AS")}
                                << QByteArrayList{"\x02"
                                                  "A,M,R\r"};
    QTest::newRow("LF terminator") << QStringList{"--fault-terminator"} << QByteArrayList{frame("A?")}
                                   << QByteArrayList{"\x02"
                                                     "A,?,123,R\n"};
    QTest::newRow("W terminator damaged, prompt intact")
        << QStringList{"--fault-terminator"} << QByteArrayList{frame("AW")}
        << QByteArrayList{"\x02"
                          "A,W,R\nN"};
    QTest::newRow("echo dropped") << QStringList{"--fault-drop", "4"} << QByteArrayList{frame("AS")}
                                  << QByteArrayList{"\x02"
                                                    "A,,R\r"};
    QTest::newRow("terminator dropped") << QStringList{"--fault-drop=7"} << QByteArrayList{frame("AS")}
                                        << QByteArrayList{"\x02"
                                                          "A,S,R"};
    QTest::newRow("cut mid-frame") << QStringList{"--fault-cut", "4"} << QByteArrayList{frame("AL")}
                                   << QByteArrayList{"\x02"
                                                     "A,L"};
    QTest::newRow("W cut before its CR: no prompt") << QStringList{"--fault-cut=6"} << QByteArrayList{frame("AW")}
                                                    << QByteArrayList{"\x02"
                                                                      "A,W,R"};
    QTest::newRow("silent") << QStringList{"--fault-silent"} << QByteArrayList{frame("AS")} << QByteArrayList{""};
    QTest::newRow("silent command has no effect")
        << QStringList{"--fault-silent", "--fault-on=G", "--speed=1000"} << QByteArrayList{frame("AG130"), frame("A?")}
        << QByteArrayList{"", statusReply};

    QTest::newRow("only the chosen letter")
        << QStringList{"--fault-echo=X", "--fault-on", "L"} << QByteArrayList{frame("AS"), frame("AL")}
        << QByteArrayList{reply('S', "R"), "\x02"
                                           "A,X,"
                                               + DefaultBlock + CR};
    QTest::newRow("several letters") << QStringList{"--fault-identifier=Z", "--fault-on=SV"}
                                     << QByteArrayList{frame("AS"), frame("AV"), frame("A?")}
                                     << QByteArrayList{"\x02"
                                                       "Z,S,R\r",
                                                       "\x02"
                                                       "Z,V,00322\r",
                                                       statusReply};
    QTest::newRow("first K replies") << QStringList{"--fault-terminator", "--fault-count", "2"}
                                     << QByteArrayList{frame("AS"), frame("A?"), frame("AS")}
                                     << QByteArrayList{"\x02"
                                                       "A,S,R\n",
                                                       "\x02"
                                                       "A,?,123,R\n",
                                                       reply('S', "R")};
    QTest::newRow("count only counts the chosen letter")
        << QStringList{"--fault-echo=X", "--fault-on=V", "--fault-count=1"}
        << QByteArrayList{frame("AS"), frame("AV"), frame("AV")}
        << QByteArrayList{reply('S', "R"),
                          "\x02"
                          "A,X,00322\r",
                          reply('V', "00322")};
    QTest::newRow("busy for one reply") << QStringList{"--absolute", "--fault-busy", "--fault-count=1"}
                                        << QByteArrayList{frame("AC"), frame("AC")}
                                        << QByteArrayList{reply('C', "B"), reply('C', "R")};

    QTest::newRow("no prompt after line 3")
        << QStringList{"--fault-prompt=3:X"} << QByteArrayList{frame("AW"), "1\r", "0\r", "500\r"}
        << QByteArrayList{reply('W', "R") + 'N', "N", "N", "X"};
    QTest::newRow("no first prompt") << QStringList{"--fault-prompt", "0:Y"} << QByteArrayList{frame("AW")}
                                     << QByteArrayList{reply('W', "R") + 'Y'};
    QByteArrayList sent{frame("AW")};
    QByteArrayList expected{reply('W', "R") + 'N'};
    for (const QByteArray& line : WorkedExampleLines) {
        sent << line + CR;
        expected << "N";  // the last one in place of the final CR
    }
    QTest::newRow("N in place of the final CR") << QStringList{"--fault-prompt=15:N"} << sent << expected;
    QTest::newRow("prompt fault on the first W only")
        << QStringList{"--fault-prompt=1:X", "--fault-count=1"}
        << QByteArrayList{frame("AW"), "1\r", frame("AW"), "1\r"}
        << QByteArrayList{reply('W', "R") + 'N', "X", reply('W', "R") + 'N', "N"};
}

void SimProtocolTest::faults() { runScriptRow(); }

void SimProtocolTest::faultOnStatusFrames()
{
    Sim sim;
    QVERIFY(sim.start({"--fault-echo=X", "--fault-on=?", "--fault-count=1", "--status-interval=30"}));
    QVERIFY(sim.connect());
    sim.send(frame("AM"));
    QCOMPARE(readable(sim.readFrame()), readable(reply('M', "R")));
    QCOMPARE(readable(sim.readFrame()), QByteArray("<STX>A,X,123,R<CR>"));
    QCOMPARE(readable(sim.readFrame()), readable(status("123,R")));
}

void SimProtocolTest::delayedReply()
{
    Sim sim;
    QVERIFY(sim.start({"--fault-delay", "400"}));
    QVERIFY(sim.connect());
    QElapsedTimer clock;
    clock.start();
    sim.send(frame("AS"));
    QCOMPARE(readable(sim.quiet(150)), QByteArray());
    QCOMPARE(readable(sim.read(7)), readable(reply('S', "R")));
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
}

void SimProtocolTest::hangUp()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString link = config.filePath("rotor/ports/com1");
    Sim sim;
    QVERIFY(sim.start({"--fault-hangup=5", "--fault-count=1", "--plug=1", "--config-dir", config.path()}));
    QVERIFY(sim.connect(link));

    sim.send(frame("A?"));
    QCOMPARE(readable(sim.read(5)), QByteArray("<STX>A,?,"));
    QVERIFY(sim.waitForHangUp());

    // A fresh line, announced on standard output and behind the same port link.
    const QString fresh = sim.nextDevice();
    QVERIFY(!fresh.isEmpty());
    QVERIFY(fresh != sim.device());
    QCOMPARE(QFileInfo(link).symLinkTarget(), fresh);
    QVERIFY(sim.connect(link));
    runScript(sim, {frame("A?")}, {status("123,R")});
    QVERIFY(sim.stop());
    QVERIFY(!isSymLink(link));
}

void SimProtocolTest::plug_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("linkInConfig");  // relative to the temporary folder
    QTest::addColumn<bool>("stale");
    QTest::newRow("--config-dir") << "option" << 2 << "cfg/rotor/ports/com2" << false;
    QTest::newRow("XDG_CONFIG_HOME") << "xdg" << 3 << "xdg/rotor/ports/com3" << false;
    QTest::newRow("~/.config") << "home" << 4 << "home/.config/rotor/ports/com4" << false;
    QTest::newRow("stale link replaced") << "option" << 1 << "cfg/rotor/ports/com1" << true;
}

void SimProtocolTest::plug()
{
    QFETCH(QString, how);
    QFETCH(int, port);
    QFETCH(QString, linkInConfig);
    QFETCH(bool, stale);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(linkInConfig);
    if (stale) {
        QVERIFY(QDir().mkpath(QFileInfo(link).path()));
        QVERIFY(QFile::link("/dev/nonexistent-line", link));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_CONFIG_HOME");
    QStringList args{"--plug", QString::number(port)};
    if (how == "option")
        args << "--config-dir" << dir.filePath("cfg");
    else if (how == "xdg")
        env.insert("XDG_CONFIG_HOME", dir.filePath("xdg"));
    else
        env.insert("HOME", dir.filePath("home"));

    Sim sim;
    sim.setEnvironment(env);
    QVERIFY(sim.start(args));
    QVERIFY(isSymLink(link));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.device());
    QVERIFY(sim.connect(link));
    runScript(sim, {frame("AS")}, {reply('S', "R")});
    QVERIFY(sim.stop());
    // The link it replaced is put back; one it made is gone.
    if (stale)
        QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/nonexistent-line"));
    else
        QVERIFY(!isSymLink(link));
}

void SimProtocolTest::plugLeavesForeignLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("rotor/ports/com1");
    Sim sim;
    QVERIFY(sim.start({"--plug", "1", "--config-dir", dir.path()}));
    QVERIFY(isSymLink(link));
    // Someone plugs another device in as port 1 while the simulator runs.
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link("/dev/null", link));
    QVERIFY(sim.stop());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
}

void SimProtocolTest::plugLeavesWhatIsThere_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("isLink");
    // Outside a folder named with --config-dir an existing link may lead to the real box.
    QTest::newRow("link, XDG_CONFIG_HOME") << "xdg" << true;
    QTest::newRow("link, ~/.config") << "home" << true;
    QTest::newRow("file, --config-dir") << "option" << false;
    // A --config-dir that leads to the default folder by another way is no private folder.
    QTest::newRow("link, --config-dir leading to XDG_CONFIG_HOME") << "option to xdg" << true;
}

void SimProtocolTest::plugLeavesWhatIsThere()
{
    QFETCH(QString, how);
    QFETCH(bool, isLink);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString config = dir.filePath(how == "home" ? "home/.config" : "cfg");
    const QString link = config + "/rotor/ports/com1";
    QVERIFY(QDir().mkpath(QFileInfo(link).path()));
    if (isLink) {
        QVERIFY(QFile::link("/dev/ttyUSB0", link));
    } else {
        QFile file(link);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("kept");
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("XDG_CONFIG_HOME");
    QStringList args{"--fast", "--plug", "1"};
    if (how == "option") {
        args << "--config-dir" << config;
    } else if (how == "option to xdg") {
        QVERIFY(QFile::link(config, dir.filePath("alias")));
        args << "--config-dir" << dir.filePath("alias") + "/";
        env.insert("XDG_CONFIG_HOME", config);
    } else if (how == "xdg") {
        env.insert("XDG_CONFIG_HOME", config);
    } else {
        env.insert("HOME", dir.filePath("home"));
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(SimProgram, args);
    QVERIFY(process.waitForFinished(Patience));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());  // no device announced
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(link), qPrintable(error));

    if (isLink) {
        QCOMPARE(QFile::symLinkTarget(link), QStringLiteral("/dev/ttyUSB0"));
    } else {
        QFile file(link);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("kept"));
    }
}

void SimProtocolTest::reconnect()
{
    Sim sim;
    QVERIFY(sim.start({}));
    // Nobody connected for a while, then the tool opens and closes the port around each exchange.
    QThread::msleep(100);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(sim.connect());
        runScript(sim, {frame("A?")}, {status("123,R")});
        sim.disconnect();
    }
    QCOMPARE(sim.process().state(), QProcess::Running);
}

void SimProtocolTest::pacing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("minimumMs");
    // The reply to L is 115 characters: about 120 ms at 9600 baud, 480 ms at 2400.
    QTest::newRow("9600 baud") << QStringList{} << 90;
    QTest::newRow("2400 baud") << QStringList{"--baud", "2400"} << 400;
}

void SimProtocolTest::pacing()
{
    QFETCH(QStringList, args);
    QFETCH(int, minimumMs);
    Sim sim;
    QVERIFY(sim.start(args, false));
    QVERIFY(sim.connect());
    const QByteArray expected = reply('L', DefaultBlock);
    QCOMPARE(expected.size(), 115);
    QElapsedTimer clock;
    clock.start();
    sim.send(frame("AL"));
    QCOMPARE(readable(sim.read(expected.size())), readable(expected));
    QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
}

void SimProtocolTest::logShowsFrames()
{
    QTemporaryDir dir;
    const QString logFile = dir.filePath("sim.log");
    Sim sim;
    QVERIFY(sim.start({"--log", logFile}));
    QVERIFY(sim.connect());
    runScript(sim, {frame("A?")}, {status("123,R")});
    QVERIFY(sim.stop());
    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString log = QString::fromLatin1(file.readAll());
    const QRegularExpression received(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} rx <STX>A\\?<CR>$"),
                                      QRegularExpression::MultilineOption);
    const QRegularExpression sent(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} tx <STX>A,\\?,123,R<CR>$"),
                                  QRegularExpression::MultilineOption);
    QVERIFY2(received.match(log).hasMatch(), qPrintable(log));
    QVERIFY2(sent.match(log).hasMatch(), qPrintable(log));
}

void SimProtocolTest::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("missing value") << QStringList{"--speed"};
    QTest::newRow("speed zero") << QStringList{"--speed", "0"};
    QTest::newRow("port 0") << QStringList{"--plug", "0"};
    QTest::newRow("not a number") << QStringList{"--fault-cut=abc"};
    QTest::newRow("negative interval") << QStringList{"--status-interval=-1"};
    QTest::newRow("two characters") << QStringList{"--fault-echo=XY"};
    QTest::newRow("prompt line 16") << QStringList{"--fault-prompt=16:X"};
    QTest::newRow("value on a flag") << QStringList{"--absolute=1"};
    QTest::newRow("bare word") << QStringList{"fast"};
}

void SimProtocolTest::badArguments()
{
    QFETCH(QStringList, args);
    QProcess process;
    process.start(SimProgram, args);
    QVERIFY(process.waitForFinished(Patience));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY(!process.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(SimProtocolTest)
#include "tst_sim_protocol.moc"
