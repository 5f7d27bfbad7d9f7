// SPDX-License-Identifier: GPL-3.0-or-later
// The tracking programs' protocol: the parser's rows, then rotor serve end to end, the built
// program against the simulated CBOX, driven by real TCP clients on loopback.

#include "network/rotator_request.h"
#include "support/sim_process.h"
#include "support/test_window.h"
#include "ui/network_menu.h"

#include <QProcess>
#include <QTcpServer>
#include <QLabel>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString Program = QStringLiteral(ROTOR_BUILD_DIR "/src/app/rotor");
const QString SimProgram = QStringLiteral(ROTOR_BUILD_DIR "/sim/cbox-sim");
constexpr int Patience = 10000;

// A line sent and the whole answer, as a tracking program reads it.
QByteArray answered(const QByteArray& line)
{
    const RotatorRequest request = parseRotatorRequest(line);
    if (request.command == RotatorRequest::Command::SetPosition)
        return rotatorAnswer(request, RotatorCode::Ok) + QByteArray::number(request.azimuth);
    if (request.command == RotatorRequest::Command::GetPosition)
        return rotatorAnswer(request, RotatorCode::Ok, {{"Azimuth", "390.000000"}, {"Elevation", "0.000000"}});
    return rotatorAnswer(request, request.command == RotatorRequest::Command::Malformed ? RotatorCode::Malformed
                                                                                        : RotatorCode::NotImplemented);
}

class Client {
public:
    bool connectTo(quint16 port)
    {
        for (int i = 0; i < 50; ++i) {
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(Patience))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    QByteArray ask(const QByteArray& line, int lines = 1)
    {
        socket.write(line + '\n');
        QByteArray answer;
        for (int n = 0; n < lines; ++n) {
            while (!socket.canReadLine())
                if (!socket.waitForReadyRead(Patience))
                    return answer + "<no answer>";
            answer += socket.readLine();
        }
        return answer;
    }
    bool closedByServer()
    {
        return socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(Patience);
    }
    QTcpSocket socket;
};

}  // namespace

class TestNetwork : public QObject {
    Q_OBJECT
private slots:
    void parsedAndAnswered_data();
    void parsedAndAnswered();
    void tracksTheSimulatedRotor();
    void quietBesideTheWindow();
};

void TestNetwork::parsedAndAnswered_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("p") << QByteArray("p") << QByteArray("390.000000\n0.000000\n");
    QTest::newRow("long, CR") << QByteArray("\\get_pos\r") << QByteArray("390.000000\n0.000000\n");
    QTest::newRow("extended") << QByteArray("+p")
                              << QByteArray("get_pos:\nAzimuth: 390.000000\nElevation: 0.000000\nRPRT 0\n");
    QTest::newRow("P") << QByteArray("P 180.5 45") << QByteArray("RPRT 0\n180.5");
    QTest::newRow("set_pos, tabs") << QByteArray("\\set_pos\t-3e1\t0") << QByteArray("RPRT 0\n-30");
    QTest::newRow("+set_pos") << QByteArray("+\\set_pos 10 5") << QByteArray("set_pos: 10 5\nRPRT 0\n10");
    QTest::newRow("elevation not a number") << QByteArray("P 10 x") << QByteArray("RPRT -1\n");
    QTest::newRow("hexadecimal") << QByteArray("P 0x10 0") << QByteArray("RPRT -1\n");
    QTest::newRow("nan") << QByteArray("P nan 0") << QByteArray("RPRT -1\n");
    QTest::newRow("one argument") << QByteArray("P 10") << QByteArray("RPRT -1\n");
    QTest::newRow("p with argument") << QByteArray("p 1") << QByteArray("RPRT -1\n");
    QTest::newRow("unknown") << QByteArray("pp") << QByteArray("RPRT -1\n");
    QTest::newRow("other punctuation") << QByteArray(";p") << QByteArray("RPRT -1\n");
    QTest::newRow("K") << QByteArray("K") << QByteArray("RPRT -4\n");
    QTest::newRow("+park") << QByteArray("+\\park") << QByteArray("park:\nRPRT -4\n");
    QTest::newRow("dump_state") << QByteArray("\\dump_state") << QByteArray("RPRT -4\n");
}

void TestNetwork::parsedAndAnswered()
{
    QFETCH(QByteArray, line);
    QTEST(answered(line), "answer");
}

void TestNetwork::tracksTheSimulatedRotor()
{
    QTemporaryDir config;
    SimProcess sim(SimProgram, config.path(), 1);
    QVERIFY(sim.start(
        {QStringLiteral("--speed"), QStringLiteral("60"), QStringLiteral("--position"), QStringLiteral("100")}));
    quint16 port = 0;
    {
        QTcpServer probe;  // a free port for the server
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    QProcess serve;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    serve.setProcessEnvironment(env);
    serve.start(Program, {QStringLiteral("serve"), QStringLiteral("--device"), sim.device(), QStringLiteral("--listen"),
                          QStringLiteral("127.0.0.1:%1").arg(port)});
    const auto stopServe = qScopeGuard([&] {
        serve.terminate();
        serve.waitForFinished(Patience);
    });
    Client client;
    QVERIFY(client.connectTo(port));
    QCOMPARE(client.ask("_"), QByteArray("rotor CBOX firmware 3.22\n"));

    const auto sent = [&](const QString& frame) {
        return sim.received().count(QStringLiteral("<STX>") + frame + "<CR>");
    };
    QCOMPARE(client.ask("P 150.4 10"), QByteArray("RPRT 0\n"));
    // Repeated while the go-to is under way: answered, not sent again.
    QCOMPARE(client.ask("P 150 0"), QByteArray("RPRT 0\n"));
    QVERIFY(sim.waitForLog(QStringLiteral("AG150"), Patience));
    QCOMPARE(sent(QStringLiteral("AG150")), 1);
    // Two polls at once cost one status query: the second reads the first's position.
    const int queries = sent(QStringLiteral("A?"));
    client.ask("p", 2);
    client.ask("p", 2);
    QCOMPARE(sent(QStringLiteral("A?")), queries + 1);
    QByteArray position;
    for (int i = 0; i < 100 && position != "150.000000\n0.000000\n"; ++i, QTest::qWait(100))
        position = client.ask("p", 2);
    QCOMPARE(position, QByteArray("150.000000\n0.000000\n"));
    QCOMPARE(client.ask("+\\set_pos 160 0", 2), QByteArray("set_pos: 160 0\nRPRT 0\n"));
    QCOMPARE(client.ask("S"), QByteArray("RPRT 0\n"));
    QCOMPARE(sent(QStringLiteral("AG999")), 1);
    // After a stop the same target goes out again.
    QCOMPARE(client.ask("P 160 0"), QByteArray("RPRT 0\n"));
    QCOMPARE(client.ask("S"), QByteArray("RPRT 0\n"));
    QCOMPARE(sent(QStringLiteral("AG160")), 2);
    QCOMPARE(client.ask("P 361 0"), QByteArray("RPRT -1\n"));
    QCOMPARE(client.ask("hello"), QByteArray("RPRT -1\n"));
    QCOMPARE(client.ask("+p", 4).right(7), QByteArray("RPRT 0\n"));

    // Eight clients at most: a ninth is told -6 and closed.
    std::vector<std::unique_ptr<Client>> others;
    for (int i = 0; i < 7; ++i) {
        others.push_back(std::make_unique<Client>());
        QVERIFY(others.back()->connectTo(port));
        QCOMPARE(others.back()->ask("_"), QByteArray("rotor CBOX firmware 3.22\n"));
    }
    Client ninth;
    QVERIFY(ninth.connectTo(port));
    QVERIFY(ninth.socket.waitForReadyRead(Patience));
    QCOMPARE(ninth.socket.readAll(), QByteArray("RPRT -6\n"));
    QVERIFY(ninth.closedByServer());

    // An overlong line, or a byte that is not text, closes that connection only.
    others[0]->socket.write(QByteArray(257, 'p') + '\n');
    QVERIFY(others[0]->closedByServer());
    others[1]->socket.write("p\x01\n");
    QVERIFY(others[1]->closedByServer());
    QCOMPARE(client.ask("_"), QByteArray("rotor CBOX firmware 3.22\n"));
}

// In the window's own thread: the answer is awaited with the event loop running.
QByteArray readLines(QTcpSocket& socket, int lines)
{
    QByteArray answer;
    for (int n = 0; n < lines; ++n) {
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, Patience))
            return answer + "<no answer>";
        answer += socket.readLine();
    }
    return answer;
}

QByteArray askInProcess(QTcpSocket& socket, const QByteArray& line)
{
    socket.write(line + '\n');
    return readLines(socket, 1);
}

void TestNetwork::quietBesideTheWindow()
{
    TestWindow w;
    const quint16 port = w.serveNetwork();
    QFile ini(w.settingsDir.filePath(QStringLiteral("network.ini")));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QCOMPARE(ini.readAll(), QStringLiteral("enabled=1\naddress=127.0.0.1\nport=%1\n").arg(port).toLatin1());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    auto* status = w.find<QLabel>(QStringLiteral("status_network"));
    QTRY_COMPARE(status->text(), QStringLiteral("Network: 127.0.0.1:%1, 1 client").arg(port));

    // S clicked while the network's "?" waits: queued, sent right after it; no button greyed.
    w.port.expect(frame("?"), reply('?', "045,B"), 100);
    w.port.expect(frame("S"), reply('S', "R"));
    client.write("p\n");
    QTRY_VERIFY(w.port.written.contains(frame("?")));
    QVERIFY(w.button(QStringLiteral("command_qm"))->isEnabled());
    w.click(QStringLiteral("command_s"));
    QCOMPARE(readLines(client, 2), QByteArray("45.000000\n0.000000\n"));
    QTRY_VERIFY(w.port.written.endsWith(frame("S")));
    QCOMPARE(w.edit(QStringLiteral("fast_pos"))->text(), QStringLiteral("45\u00b0"));

    // A refused go-to: its code, WRONG as Execute's, the GOTO entry untouched; no message box.
    const QString entry = w.edit(QStringLiteral("go_to_angle"))->text();
    w.port.expect(frame("G30"), reply('G', "E"));
    QCOMPARE(askInProcess(client, "P 29.5 0"), QByteArray("RPRT -9\n"));
    QCOMPARE(w.edit(QStringLiteral("goto_replay"))->text(), QStringLiteral("WRONG"));
    QCOMPARE(w.edit(QStringLiteral("go_to_angle"))->text(), entry);
    // No reply: the timeout's code, and a line in the status bar instead of the box.
    QTest::qWait(NetworkExchanges::cachedPositionMs + 50);
    w.port.expect(frame("?"), {}, -1);
    QCOMPARE(askInProcess(client, "p"), QByteArray("RPRT -5\n"));
    QVERIFY2(w.messages.shown.isEmpty(), qPrintable(w.messages.shown.join(QLatin1Char('\n'))));
    QVERIFY(w.window->statusBar()->currentMessage().contains(QStringLiteral("Communication timeout")));
    // Four requests wait at most; the fifth and sixth are refused at once, before the others end.
    w.port.expect(frame("?"), reply('?', "050,R"), 100);
    client.write("p\np\np\np\np\np\n");
    QCOMPARE(readLines(client, 2), QByteArray("RPRT -9\nRPRT -9\n"));
    QCOMPARE(readLines(client, 8), QByteArray("50.000000\n0.000000\n").repeated(4));

    // Two clients asking together share one "?"; a click meanwhile goes right after it, ahead of
    // the go-to a third client queued behind it.
    QTcpSocket second, third;
    for (QTcpSocket* socket : {&second, &third}) {
        socket->connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket->waitForConnected(Patience));
    }
    QTest::qWait(NetworkExchanges::cachedPositionMs + 50);
    w.port.expect(frame("?"), reply('?', "060,R"), 150);
    w.port.expect(frame("S"), reply('S', "R"));
    w.port.expect(frame("G90"), reply('G', "R"));
    const qsizetype before = w.port.writes.size();
    // The "?" waits inside the server's event processing: the others come on timers meanwhile.
    QTimer::singleShot(20, &w.port, [&] {
        second.write("p\n");
        third.write("P 90 0\n");
    });
    QTimer::singleShot(80, &w.port, [&] { w.click(QStringLiteral("command_s")); });
    client.write("p\n");
    QCOMPARE(readLines(client, 2), QByteArray("60.000000\n0.000000\n"));
    QCOMPARE(readLines(second, 2), QByteArray("60.000000\n0.000000\n"));
    QCOMPARE(readLines(third, 1), QByteArray("RPRT 0\n"));
    QCOMPARE(w.port.writes.mid(before), (QList<QByteArray>{frame("?"), frame("S"), frame("G90")}));
}

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
