#pragma once

#include "bridgesettings.h"
#include "bridgesnapshot.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace kestrin {

struct MqttMessage
{
    QByteArray topic;
    QByteArray payload;

    friend bool operator==(const MqttMessage &, const MqttMessage &) = default;
};

// The topics and payloads a site publishes, every one retained:
//   kestrin/<site>/status                    online, or offline as the last will
//   kestrin/<site>/sensor/<n>/temperature    the value as logged ("-21.5")
//   kestrin/<site>/sensor/<n>/alarm          ON while any of its alarms is raised
//   kestrin/<site>/stale                     ON while no new record arrives
// and a Home Assistant discovery config for each of those entities, all
// under one device for the site.
class MqttMessages final
{
public:
    MqttMessages(const BridgeSettings &settings, const QString &version);

    QByteArray statusTopic() const;
    static QByteArray online() { return "online"; }
    static QByteArray offline() { return "offline"; }

    std::vector<MqttMessage> discovery() const;

    QByteArray temperatureTopic(int sensor) const;
    QByteArray alarmTopic(int sensor) const;
    QByteArray staleTopic() const;

    // Valid readings only: one outside the DS18B20's range is not sent.
    std::vector<MqttMessage> temperatures(const BridgeSnapshot &snapshot) const;
    std::vector<MqttMessage> alarms(const BridgeSnapshot &snapshot) const;

    // The device id of the site in discovery: letters, digits, - and _.
    static QString nodeId(const QString &site);

private:
    QByteArray prefix() const;

    BridgeSettings m_settings;
    QString m_version;
};

} // namespace kestrin
