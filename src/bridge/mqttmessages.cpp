#include "mqttmessages.h"

#include "numberformat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace kestrin {

namespace {

QByteArray onOff(bool on)
{
    return on ? "ON" : "OFF";
}

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

MqttMessages::MqttMessages(const BridgeSettings &settings, const QString &version)
    : m_settings(settings)
    , m_version(version)
{
}

QString MqttMessages::nodeId(const QString &site)
{
    QString id = QStringLiteral("kestrin_") + site;
    for (QChar &c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'-' && c != u'_')
            c = u'_';
    return id;
}

QByteArray MqttMessages::prefix() const
{
    return "kestrin/" + m_settings.site.toUtf8();
}

QByteArray MqttMessages::statusTopic() const
{
    return prefix() + "/status";
}

QByteArray MqttMessages::temperatureTopic(int sensor) const
{
    return prefix() + "/sensor/" + QByteArray::number(sensor) + "/temperature";
}

QByteArray MqttMessages::alarmTopic(int sensor) const
{
    return prefix() + "/sensor/" + QByteArray::number(sensor) + "/alarm";
}

QByteArray MqttMessages::staleTopic() const
{
    return prefix() + "/stale";
}

std::vector<MqttMessage> MqttMessages::discovery() const
{
    const QString node = nodeId(m_settings.site);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), QStringLiteral("Kestrin-3 %1").arg(m_settings.site)},
        {QStringLiteral("manufacturer"), QStringLiteral("Kestrin-3")},
        {QStringLiteral("model"), QStringLiteral("kestrin-bridge")},
        {QStringLiteral("sw_version"), m_version},
    };
    const auto entity = [&](const QString &name, const QString &uniqueId, const QByteArray &stateTopic) {
        return QJsonObject{
            {QStringLiteral("name"), name},
            {QStringLiteral("unique_id"), uniqueId},
            {QStringLiteral("state_topic"), QString::fromUtf8(stateTopic)},
            {QStringLiteral("availability_topic"), QString::fromUtf8(statusTopic())},
            {QStringLiteral("payload_available"), QString::fromLatin1(online())},
            {QStringLiteral("payload_not_available"), QString::fromLatin1(offline())},
            {QStringLiteral("device"), device},
        };
    };
    const QByteArray base = m_settings.discoveryPrefix.toUtf8();
    const QByteArray nodeBytes = node.toUtf8();
    std::vector<MqttMessage> out;
    for (const SensorSettings &sensor : m_settings.sensors) {
        const QString shown = sensor.name.isEmpty() ? QStringLiteral("Sensor %1").arg(sensor.number) : sensor.name;
        const QByteArray object = sensor.rom.toLower().toUtf8();

        QJsonObject temperature = entity(shown, QStringLiteral("kestrin_%1_temperature").arg(sensor.rom),
                                         temperatureTopic(sensor.number));
        temperature.insert(QStringLiteral("device_class"), QStringLiteral("temperature"));
        temperature.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        temperature.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("°C"));
        out.push_back({base + "/sensor/" + nodeBytes + '/' + object + "/config", json(temperature)});

        QJsonObject alarm = entity(shown + QStringLiteral(" alarm"), QStringLiteral("kestrin_%1_alarm").arg(sensor.rom),
                                   alarmTopic(sensor.number));
        alarm.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        alarm.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
        alarm.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
        out.push_back({base + "/binary_sensor/" + nodeBytes + '/' + object + "_alarm/config", json(alarm)});
    }
    if (m_settings.staleAfterMinutes) {
        QJsonObject stale = entity(QStringLiteral("Log stale"), node + QStringLiteral("_stale"), staleTopic());
        stale.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        stale.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
        stale.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
        out.push_back({base + "/binary_sensor/" + nodeBytes + "/stale/config", json(stale)});
    }
    return out;
}

std::vector<MqttMessage> MqttMessages::temperatures(const BridgeSnapshot &snapshot) const
{
    std::vector<MqttMessage> out;
    for (const SensorSnapshot &sensor : snapshot.sensors)
        if (sensor.hasValue && sensor.valid)
            out.push_back({temperatureTopic(sensor.number),
                           NumberFormat::plainText(sensor.value, QLocale::c()).toLatin1()});
    return out;
}

std::vector<MqttMessage> MqttMessages::alarms(const BridgeSnapshot &snapshot) const
{
    std::vector<MqttMessage> out;
    for (const SensorSnapshot &sensor : snapshot.sensors)
        out.push_back({alarmTopic(sensor.number), onOff(sensor.alarm())});
    if (snapshot.stale.configured)
        out.push_back({staleTopic(), onOff(snapshot.stale.active)});
    return out;
}

} // namespace kestrin
