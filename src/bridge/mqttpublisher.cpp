#include "mqttpublisher.h"

#include "bridgeservices.h"
#include "bridgestatus.h"

#include <QSocketNotifier>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrin {

namespace {

QString describe(int rc, int savedErrno)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    if (rc == MOSQ_ERR_EAI)
        return QStringLiteral("the host name does not resolve");
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttPublisher::MqttPublisher(Options options, MqttMessages messages, BridgeStatus &status, MessageLog &log,
                             QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_messages(std::move(messages))
    , m_status(status)
    , m_log(log)
    , m_misc(this)
    , m_retry(this)
    , m_stopDeadline(this)
{
    m_misc.setInterval(1000);
    connect(&m_misc, &QTimer::timeout, this, [this] {
        if (!m_mosq || !m_read)
            return;
        const int rc = mosquitto_loop_misc(m_mosq);
        const int savedErrno = errno;
        if (rc != MOSQ_ERR_SUCCESS)
            failed(describe(rc, savedErrno), false);
    });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttPublisher::connectNow);
    m_stopDeadline.setSingleShot(true);
    connect(&m_stopDeadline, &QTimer::timeout, this, &MqttPublisher::finishStop);
    qRegisterMetaType<kestrin::BridgeSnapshotPtr>();
}

MqttPublisher::~MqttPublisher()
{
    dropSocket();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

void MqttPublisher::start()
{
    m_mosq = mosquitto_new(m_options.clientId.toUtf8().constData(), true, this);
    if (!m_mosq) {
        m_log.write(QStringLiteral("MQTT: cannot make a client: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(m_mosq, &MqttPublisher::onPublish);
    const QByteArray statusTopic = m_messages.statusTopic();
    const QByteArray offline = MqttMessages::offline();
    mosquitto_will_set(m_mosq, statusTopic.constData(), int(offline.size()), offline.constData(), 1, true);
    if (!m_options.username.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_options.username.toUtf8().constData(),
                                  m_options.password ? m_options.password->constData() : nullptr);
    if (m_options.broker.tls) {
        const QByteArray caFile = m_options.caFile.toLocal8Bit();
        const int rc = mosquitto_tls_set(m_mosq, caFile.isEmpty() ? nullptr : caFile.constData(),
                                         caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            m_log.write(QStringLiteral("MQTT: cannot use the CA file %1: %2")
                            .arg(m_options.caFile, QString::fromUtf8(mosquitto_strerror(rc))));
    }
    m_mqttStatus.enabled = true;
    updateStatus();
    connectNow();
}

void MqttPublisher::connectNow()
{
    if (m_stopping || !m_mosq)
        return;
    m_refusedThisAttempt = false;
    const int rc = mosquitto_connect_async(m_mosq, m_options.broker.host.toUtf8().constData(), m_options.broker.port,
                                           m_options.keepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        failed(describe(rc, savedErrno), false);
        return;
    }
    watchSocket();
}

void MqttPublisher::watchSocket()
{
    dropSocket();
    const int fd = mosquitto_socket(m_mosq);
    if (fd < 0) {
        failed(QStringLiteral("no socket"), false);
        return;
    }
    m_read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_read, &QSocketNotifier::activated, this, [this] { service(true); });
    m_write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_write, &QSocketNotifier::activated, this, [this] { service(false); });
    m_misc.start();
}

void MqttPublisher::dropSocket()
{
    m_misc.stop();
    // Possibly from inside one of their own signals, and the socket may be
    // closed already: out of the event loop first, deleted later.
    for (QSocketNotifier **notifier : {&m_read, &m_write}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void MqttPublisher::service(bool readable)
{
    if (!m_mosq)
        return;
    const int rc = readable ? mosquitto_loop_read(m_mosq, 1) : mosquitto_loop_write(m_mosq, 1);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        failed(describe(rc, savedErrno), false);
        return;
    }
    if (m_write)
        m_write->setEnabled(mosquitto_want_write(m_mosq));
}

void MqttPublisher::failed(const QString &reason, bool refused)
{
    const QString where = m_options.broker.text();
    if (refused) {
        // The broker closes the connection next; that is no second failure.
        m_refusedThisAttempt = true;
        ++m_mqttStatus.refused;
        m_log.write(QStringLiteral("MQTT: %1 refused the login: %2").arg(where, reason));
        updateStatus();
        return;
    }
    dropSocket();
    const bool wasConnected = m_connected;
    m_connected = false;
    if (m_stopping) {
        finishStop();
        return;
    }
    m_retryMs = m_retryMs == 0 ? m_options.firstRetryMs : std::min(2 * m_retryMs, m_options.maxRetryMs);
    const QString again = QStringLiteral("; trying again in %1 s").arg(double(m_retryMs) / 1000.0);
    if (wasConnected) {
        m_log.write(QStringLiteral("MQTT: lost the connection to %1: %2%3").arg(where, reason, again));
        Q_EMIT connectedChanged(false);
    } else if (!m_refusedThisAttempt) {
        ++m_mqttStatus.unreachable;
        m_log.write(QStringLiteral("MQTT: cannot connect to %1: %2%3").arg(where, reason, again));
    }
    updateStatus();
    m_retry.start(m_retryMs);
}

void MqttPublisher::connectionEstablished()
{
    m_connected = true;
    m_retryMs = 0;
    m_log.write(QStringLiteral("MQTT: connected to %1").arg(m_options.broker.text()));
    updateStatus();
    Q_EMIT connectedChanged(true);
    publishWhole();
}

void MqttPublisher::publishWhole()
{
    m_unacknowledged = 0;
    m_behind = false;
    for (const MqttMessage &message : m_messages.discovery())
        send(message);
    send({m_messages.statusTopic(), MqttMessages::online()});
    if (m_latest) {
        for (const MqttMessage &message : m_messages.temperatures(*m_latest))
            send(message);
        for (const MqttMessage &message : m_messages.alarms(*m_latest))
            send(message);
    }
    m_published = m_latest;
}

void MqttPublisher::publish(kestrin::BridgeSnapshotPtr snapshot)
{
    m_latest = std::move(snapshot);
    if (!m_connected || m_stopping)
        return;
    if (m_unacknowledged >= m_options.maxUnacknowledged) {
        m_behind = true;
        return;
    }
    publishChanges(*m_latest);
}

void MqttPublisher::publishChanges(const BridgeSnapshot &snapshot)
{
    for (const MqttMessage &message : m_messages.temperatures(snapshot))
        send(message);
    const std::vector<MqttMessage> alarms = m_messages.alarms(snapshot);
    const std::vector<MqttMessage> before = m_published ? m_messages.alarms(*m_published) : std::vector<MqttMessage>{};
    for (const MqttMessage &message : alarms)
        if (std::find(before.begin(), before.end(), message) == before.end())
            send(message);
    m_published = m_latest;
}

bool MqttPublisher::send(const MqttMessage &message, int *mid)
{
    const int rc = mosquitto_publish(m_mosq, mid, message.topic.constData(), int(message.payload.size()),
                                     message.payload.constData(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS)
        return false;
    ++m_unacknowledged;
    if (m_write)
        m_write->setEnabled(true);
    return true;
}

void MqttPublisher::updateStatus()
{
    m_mqttStatus.connected = m_connected;
    m_status.setMqtt(m_mqttStatus);
}

void MqttPublisher::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_retry.stop();
    if (!m_connected) {
        finishStop();
        return;
    }
    // A clean disconnect sends no last will, so offline is said here.
    int mid = -1;
    if (send({m_messages.statusTopic(), MqttMessages::offline()}, &mid))
        m_offlineMid = mid;
    m_stopDeadline.start(2000);
    if (m_offlineMid < 0)
        finishStop();
}

void MqttPublisher::finishStop()
{
    if (!m_stopping || !m_mosq)
        return;
    m_stopDeadline.stop();
    if (m_connected) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_write(m_mosq, 1);
    }
    m_connected = false;
    dropSocket();
    updateStatus();
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    Q_EMIT stopped();
}

void MqttPublisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    if (rc == 0)
        publisher->connectionEstablished();
    else
        publisher->failed(QString::fromUtf8(mosquitto_connack_string(rc)), true);
}

void MqttPublisher::onDisconnect(mosquitto *, void *, int)
{
    // The read or write that saw it returns an error, handled in service().
}

void MqttPublisher::onPublish(mosquitto *, void *self, int mid)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    publisher->m_unacknowledged = std::max(0, publisher->m_unacknowledged - 1);
    if (publisher->m_stopping) {
        if (mid == publisher->m_offlineMid)
            publisher->m_stopDeadline.start(0); // not from inside the library's callback
        return;
    }
    if (publisher->m_behind && publisher->m_latest
        && publisher->m_unacknowledged < publisher->m_options.maxUnacknowledged / 2) {
        publisher->m_behind = false;
        for (const MqttMessage &message : publisher->m_messages.temperatures(*publisher->m_latest))
            publisher->send(message);
        publisher->m_published.reset(); // every alarm again
        for (const MqttMessage &message : publisher->m_messages.alarms(*publisher->m_latest))
            publisher->send(message);
        publisher->m_published = publisher->m_latest;
    }
}

} // namespace kestrin
