#pragma once

#include "bridgesnapshot.h"

#include <QMutex>

namespace kestrin {

// Where the log side leaves its newest snapshot and the broker side its
// connection state, for the metrics server's thread to read at any moment.
class BridgeStatus final
{
public:
    BridgeStatus();
    Q_DISABLE_COPY_MOVE(BridgeStatus)

    void setSnapshot(BridgeSnapshotPtr snapshot);
    BridgeSnapshotPtr snapshot() const;

    void setMqtt(const MqttStatus &status);
    MqttStatus mqtt() const;

private:
    mutable QMutex m_mutex;
    BridgeSnapshotPtr m_snapshot;
    MqttStatus m_mqtt;
};

} // namespace kestrin
