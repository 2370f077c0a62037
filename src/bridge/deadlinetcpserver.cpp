#include "deadlinetcpserver.h"

#include <QTimer>

#include <algorithm>
#include <memory>

namespace kestrin {

DeadlineTcpServer::DeadlineTcpServer(Limits limits, QObject *parent)
    : QTcpServer(parent)
    , m_limits(limits)
{
    // A burst of connections waits in the kernel instead of being turned away.
    setListenBacklogSize(limits.connections);
    setMaxPendingConnections(limits.connections);
}

int DeadlineTcpServer::openConnections()
{
    std::erase_if(m_open, [](const QPointer<QTcpSocket> &s) { return s.isNull(); });
    return int(m_open.size());
}

void DeadlineTcpServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    while (openConnections() >= m_limits.connections) {
        QTcpSocket *oldest = m_open.front();
        m_open.pop_front();
        oldest->abort();
        oldest->deleteLater();
    }
    m_open.emplace_back(socket);

    // The HTTP server reads the request inside a transaction, so this much
    // stays buffered until the request is whole.
    socket->setReadBufferSize(m_limits.requestBytes);

    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    // The HTTP server drops its signal connections from a socket whose
    // request it cannot parse; the deadline still ends that one.
    connect(deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    // A new connection owes its first request at once.
    auto inRequest = std::make_shared<bool>(true);
    const Limits limits = m_limits;
    // Connected before the HTTP server's own slot, so this sees each request's
    // first bytes before they are parsed.
    connect(socket, &QTcpSocket::readyRead, deadline, [deadline, inRequest, limits] {
        if (!*inRequest) {
            *inRequest = true;
            deadline->start(limits.requestMs);
        }
    });
    connect(socket, &QTcpSocket::bytesWritten, deadline, [socket, deadline, inRequest, limits] {
        if (socket->bytesToWrite() == 0) {
            *inRequest = false;
            deadline->start(limits.idleMs);
        }
    });
    deadline->start(limits.requestMs);
    addPendingConnection(socket);
}

} // namespace kestrin
