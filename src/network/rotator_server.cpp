// SPDX-License-Identifier: GPL-3.0-or-later
#include "network/rotator_server.h"

#include "network/network_exchanges.h"
#include "network/rotator_request.h"

#include <QPointer>
#include <QTcpSocket>
#include <memory>
#include <optional>
#include <utility>

namespace {

bool allowed(char c) { return (c >= 0x20 && c < 0x7f) || c == '\t' || c == '\r' || c == '\n'; }

// One client: its unread bytes and its requests, answered in the order they came.
class Connection : public QObject {
public:
    Connection(QTcpSocket* socket, NetworkExchanges& exchanges)
        : QObject(socket),
          m_socket(socket),
          m_exchanges(exchanges)
    {
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
    }

private:
    struct Slot {
        RotatorRequest request;
        std::optional<QByteArray> answer;
        bool started = false;
    };

    // Every line that has come is taken before any request runs, so that the limit on waiting
    // requests counts them all; then the first one runs.
    void read()
    {
        m_buffer += m_socket->readAll();
        const bool wasAdvancing = std::exchange(m_advancing, true);
        while (!m_closing) {
            const qsizetype end = m_buffer.indexOf('\n');
            const QByteArray line = m_buffer.left(end < 0 ? m_buffer.size() : end);
            for (char c : line)
                if (!allowed(c))
                    return drop();
            if (line.size() > RotatorServer::maxLine)
                return drop();
            if (end < 0)
                break;
            m_buffer.remove(0, end + 1);
            take(parseRotatorRequest(line));
        }
        m_advancing = wasAdvancing;
        advance();
    }

    void take(const RotatorRequest& request)
    {
        using Command = RotatorRequest::Command;
        if (request.command == Command::None)
            return;
        if (request.command == Command::Quit) {
            m_closing = true;
            m_quitAfterAnswers = true;
            return;
        }
        qsizetype waiting = 0;
        for (const auto& slot : m_slots)
            waiting += slot->answer ? 0 : 1;
        if (waiting >= RotatorServer::maxWaiting) {
            m_socket->write(rotatorAnswer(request, RotatorCode::Refused));
            return;
        }
        auto slot = std::make_shared<Slot>();
        slot->request = request;
        m_slots.append(slot);
        // A stop goes at once, not behind this client's other requests.
        if (request.command == Command::Stop)
            start(slot);
    }

    void start(const std::shared_ptr<Slot>& slot)
    {
        slot->started = true;
        QPointer<Connection> self(this);
        m_exchanges.run(slot->request, QPointer<QObject>(this),
                        [self, slot](RotatorCode code, const QList<std::pair<QByteArray, QByteArray>>& values) {
                            slot->answer = rotatorAnswer(slot->request, code, values);
                            if (self)
                                self->advance();
                        });
    }

    // Writes the answers ready at the head, then starts the next request.
    void advance()
    {
        if (m_advancing)
            return;
        m_advancing = true;
        while (!m_slots.isEmpty()) {
            const std::shared_ptr<Slot> head = m_slots.first();
            if (head->answer) {
                m_socket->write(*head->answer);
                m_slots.removeFirst();
            } else if (!head->started) {
                start(head);
            } else {
                break;
            }
        }
        m_advancing = false;
        if (m_quitAfterAnswers && m_slots.isEmpty())
            m_socket->disconnectFromHost();
    }

    // A client that breaks the line rules is dropped with what it asked.
    void drop()
    {
        m_closing = true;
        m_slots.clear();
        m_socket->abort();
        m_socket->deleteLater();
    }

    QTcpSocket* m_socket;
    NetworkExchanges& m_exchanges;
    QByteArray m_buffer;
    QList<std::shared_ptr<Slot>> m_slots;
    bool m_advancing = false;
    bool m_closing = false;
    bool m_quitAfterAnswers = false;
};

}  // namespace

bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number < 1 || number > 65535 || !address.setAddress(host))
        return false;
    port = quint16(number);
    return true;
}

RotatorServer::RotatorServer(NetworkExchanges& exchanges, QObject* parent) : QObject(parent), m_exchanges(exchanges)
{
    m_server.setMaxPendingConnections(maxClients + 1);
    connect(&m_server, &QTcpServer::newConnection, this, &RotatorServer::accept);
}

RotatorServer::~RotatorServer()
{
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        QObject::disconnect(socket, nullptr, this, nullptr);
}

bool RotatorServer::listen(const QHostAddress& address, quint16 port) { return m_server.listen(address, port); }

void RotatorServer::close() { m_server.close(); }

QString RotatorServer::statusText() const
{
    QString host = m_server.serverAddress().toString();
    if (m_server.serverAddress().protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("Network: %1:%2, %3 client%4")
        .arg(host)
        .arg(m_server.serverPort())
        .arg(m_clients)
        .arg(m_clients == 1 ? QString() : QStringLiteral("s"));
}

void RotatorServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_clients >= maxClients) {
            // Told why before it goes, so that the program does not retry blindly.
            socket->write(rotatorAnswer({}, RotatorCode::PortUnusable));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_clients;
        new Connection(socket, m_exchanges);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this] {
            --m_clients;
            emit clientsChanged(m_clients);
        });
        emit clientsChanged(m_clients);
    }
}
