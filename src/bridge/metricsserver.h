#pragma once

#include "deadlinetcpserver.h"

#include <QAbstractHttpServer>
#include <QHostAddress>

#include <optional>

namespace kestrin {

class BridgeStatus;

// Serves GET and HEAD of /metrics (the exposition) and / (a page that points
// to it); other paths get 404, other methods 405. Lives on a thread of its
// own, so nothing the log or the broker side does delays a scrape.
class MetricsServer final : public QAbstractHttpServer
{
    Q_OBJECT

public:
    MetricsServer(const BridgeStatus &status, const QString &version, DeadlineTcpServer::Limits limits = {},
                  QObject *parent = nullptr);

    // Starts listening; the system's reason when that is not possible.
    std::optional<QString> open(const QHostAddress &address, quint16 port);
    quint16 port() const;

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    const BridgeStatus &m_status;
    QString m_version;
    DeadlineTcpServer *m_tcp;
};

} // namespace kestrin
