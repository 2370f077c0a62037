#include "bridgestatus.h"

namespace kestrin {

BridgeStatus::BridgeStatus()
    : m_snapshot(std::make_shared<const BridgeSnapshot>())
{
}

void BridgeStatus::setSnapshot(BridgeSnapshotPtr snapshot)
{
    const QMutexLocker lock(&m_mutex);
    m_snapshot = std::move(snapshot);
}

BridgeSnapshotPtr BridgeStatus::snapshot() const
{
    const QMutexLocker lock(&m_mutex);
    return m_snapshot;
}

void BridgeStatus::setMqtt(const MqttStatus &status)
{
    const QMutexLocker lock(&m_mutex);
    m_mqtt = status;
}

MqttStatus BridgeStatus::mqtt() const
{
    const QMutexLocker lock(&m_mutex);
    return m_mqtt;
}

} // namespace kestrin
