// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server the tracking programs connect to: one request per line, answered in order, each run
// as a quiet exchange on the session. Safe by default: loopback unless told otherwise, at most
// `maxClients` connections, `maxWaiting` requests waiting per client, lines of at most `maxLine`
// bytes of printable ASCII, tab and CR; a connection that breaks these rules is closed. No timer
// runs while no request waits.

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class NetworkExchanges;

// "ADDR:PORT" ("127.0.0.1:4533", "[::1]:4533"); false when it is not one.
bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port);

class RotatorServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 defaultPort = 4533;
    static constexpr int maxClients = 8;
    static constexpr int maxWaiting = 4;
    static constexpr int maxLine = 256;

    explicit RotatorServer(NetworkExchanges& exchanges, QObject* parent = nullptr);
    // The connections go with it, untold: whoever watches the count may be going too.
    ~RotatorServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    void close();
    bool isListening() const { return m_server.isListening(); }
    QString errorString() const { return m_server.errorString(); }
    int clients() const { return m_clients; }
    // "Network: 127.0.0.1:4533, 2 clients"
    QString statusText() const;

signals:
    void clientsChanged(int clients);

private:
    void accept();

    NetworkExchanges& m_exchanges;
    QTcpServer m_server;
    int m_clients = 0;
};
