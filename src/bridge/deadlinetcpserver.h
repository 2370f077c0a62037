#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <deque>

namespace kestrin {

// A listening socket whose connections cannot be held open at will: a
// request must arrive whole within `requestMs` of its first byte (the first
// one within `requestMs` of the connection), an idle
// connection is closed after `idleMs`, a request larger than `requestBytes`
// is never read past that size (so it cannot finish and meets the
// deadline), and beyond `connections` open at once the oldest is closed.
// Everything runs on the thread's event loop, so a slow client costs a
// socket, never a thread.
class DeadlineTcpServer final : public QTcpServer
{
    Q_OBJECT

public:
    struct Limits
    {
        int requestMs = 5000;
        int idleMs = 60000;
        qint64 requestBytes = 8192;
        int connections = 256;
    };

    explicit DeadlineTcpServer(Limits limits, QObject *parent = nullptr);

    // Connections open right now.
    int openConnections();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    Limits m_limits;
    std::deque<QPointer<QTcpSocket>> m_open;
};

} // namespace kestrin
