#include "metricsserver.h"

#include "bridgestatus.h"
#include "metricsexposition.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>

namespace kestrin {

namespace {

using Status = QHttpServerResponder::StatusCode;

void answer(QHttpServerResponder &responder, Status status, const QByteArray &type, const QByteArray &body,
            bool head, std::initializer_list<std::pair<QByteArray, QByteArray>> extra = {})
{
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeaders(extra);
    responder.writeBody(head ? QByteArray() : body);
}

} // namespace

MetricsServer::MetricsServer(const BridgeStatus &status, const QString &version, DeadlineTcpServer::Limits limits,
                             QObject *parent)
    : QAbstractHttpServer(parent)
    , m_status(status)
    , m_version(version)
    , m_tcp(new DeadlineTcpServer(limits, this))
{
}

std::optional<QString> MetricsServer::open(const QHostAddress &address, quint16 port)
{
    if (!m_tcp->listen(address, port))
        return m_tcp->errorString();
    bind(m_tcp);
    return std::nullopt;
}

quint16 MetricsServer::port() const
{
    return m_tcp->serverPort();
}

bool MetricsServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path();
    const bool metrics = path == QLatin1String("/metrics");
    if (!metrics && path != QLatin1String("/")) {
        answer(responder, Status::NotFound, "text/plain; charset=utf-8", "Not found: try /metrics\n",
               request.method() == QHttpServerRequest::Method::Head);
        return true;
    }
    const bool head = request.method() == QHttpServerRequest::Method::Head;
    if (!head && request.method() != QHttpServerRequest::Method::Get) {
        answer(responder, Status::MethodNotAllowed, "text/plain; charset=utf-8", "Only GET and HEAD\n", false,
               {{"Allow", "GET, HEAD"}});
        return true;
    }
    if (!metrics) {
        answer(responder, Status::Ok, "text/html; charset=utf-8",
               "<!DOCTYPE html>\n<html><head><title>kestrin-bridge</title></head>\n"
               "<body><h1>kestrin-bridge</h1><p><a href=\"/metrics\">Metrics</a></p></body></html>\n",
               head);
        return true;
    }
    const auto format = MetricsExposition::negotiate(request.value("accept"));
    answer(responder, Status::Ok, MetricsExposition::contentType(format),
           MetricsExposition::render(*m_status.snapshot(), m_status.mqtt(), format, m_version), head);
    return true;
}

void MetricsServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    answer(responder, Status::NotFound, "text/plain; charset=utf-8", "Not found\n", false);
}

} // namespace kestrin
