#pragma once

#include "bridgesnapshot.h"
#include "endpoint.h"
#include "mqttmessages.h"

#include <QObject>
#include <QTimer>

#include <optional>

struct mosquitto;
class QSocketNotifier;

namespace kestrin {

class BridgeStatus;
class MessageLog;

// Publishes the site's state to an MQTT broker with libmosquitto, driven
// by this thread's event loop through the client's socket: notifiers for
// reading and writing, a timer for keep-alive. Connecting resolves the
// broker's name, which may take long, so this lives on a thread of its own.
//
// A broker that is down or refuses the login is tried again after 1, 2, 4 ...
// seconds, at most a minute apart. Nothing queues up meanwhile: only the
// newest state is kept, and each connection starts by publishing it whole
// (discovery configs, online, every value and alarm).
class MqttPublisher final : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        Endpoint broker;
        QString caFile;
        QString username;
        std::optional<QByteArray> password;
        QString clientId;
        int keepAliveSeconds = 30;
        int firstRetryMs = 1000;
        int maxRetryMs = 60000;
        // Messages sent but not yet acknowledged beyond which only the newest
        // state is kept until the broker catches up.
        int maxUnacknowledged = 200;
    };

    MqttPublisher(Options options, MqttMessages messages, BridgeStatus &status, MessageLog &log,
                  QObject *parent = nullptr);
    ~MqttPublisher() override;

    bool connected() const { return m_connected; }

public Q_SLOTS:
    void start();
    // Every record's values while connected; the newest state is kept always.
    void publish(kestrin::BridgeSnapshotPtr snapshot);
    // Says offline, disconnects, then emits stopped().
    void stop();

Q_SIGNALS:
    void connectedChanged(bool connected);
    void stopped();

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);

    void connectNow();
    void watchSocket();
    void dropSocket();
    void service(bool readable);
    void failed(const QString &reason, bool refused);
    void scheduleRetry();
    void connectionEstablished();
    void publishWhole();
    void publishChanges(const BridgeSnapshot &snapshot);
    bool send(const MqttMessage &message, int *mid = nullptr);
    void updateStatus();
    void finishStop();

    Options m_options;
    MqttMessages m_messages;
    BridgeStatus &m_status;
    MessageLog &m_log;
    mosquitto *m_mosq = nullptr;
    QSocketNotifier *m_read = nullptr;
    QSocketNotifier *m_write = nullptr;
    QTimer m_misc;
    QTimer m_retry;
    QTimer m_stopDeadline;
    int m_retryMs = 0;
    bool m_connected = false;
    bool m_refusedThisAttempt = false;
    bool m_stopping = false;
    bool m_lastFailureReported = false;
    QString m_lastFailure;
    int m_unacknowledged = 0;
    bool m_behind = false; // state was skipped while the broker lagged
    int m_offlineMid = -1;
    BridgeSnapshotPtr m_latest;
    BridgeSnapshotPtr m_published;
    MqttStatus m_mqttStatus;
};

} // namespace kestrin
