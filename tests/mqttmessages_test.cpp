#include "mqttmessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace kestrin;

namespace {

BridgeSettings site()
{
    BridgeSettings settings;
    settings.site = QStringLiteral("lab-a");
    settings.discoveryPrefix = QStringLiteral("ha");
    SensorSettings freezer;
    freezer.number = 1;
    freezer.rom = QStringLiteral("9C000000B4A89828");
    freezer.name = QStringLiteral("Freezer \"2\"");
    SensorSettings unnamed;
    unnamed.number = 2;
    unnamed.rom = QStringLiteral("06000000A4EC7428");
    settings.sensors = {freezer, unnamed};
    return settings;
}

QJsonObject config(const std::vector<MqttMessage> &messages, const QByteArray &topic)
{
    for (const MqttMessage &m : messages)
        if (m.topic == topic)
            return QJsonDocument::fromJson(m.payload).object();
    return {};
}

} // namespace

class MqttMessagesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void discovery_data();
    void discovery();
    void state();
};

void MqttMessagesTest::discovery_data()
{
    QTest::addColumn<QByteArray>("topic");
    QTest::addColumn<QStringList>("fields"); // key=value, "device." for the device block
    const QStringList available{QStringLiteral("availability_topic=kestrin/lab-a/status"),
                                QStringLiteral("payload_available=online"), QStringLiteral("payload_not_available=offline"),
                                QStringLiteral("device.identifiers=kestrin_lab-a"),
                                QStringLiteral("device.name=Kestrin-3 lab-a")};
    QTest::newRow("a named sensor's temperature")
        << QByteArray("ha/sensor/kestrin_lab-a/9c000000b4a89828/config")
        << available + QStringList{QStringLiteral("name=Freezer \"2\""),
                                   QStringLiteral("unique_id=kestrin_9C000000B4A89828_temperature"),
                                   QStringLiteral("state_topic=kestrin/lab-a/sensor/1/temperature"),
                                   QStringLiteral("device_class=temperature"), QStringLiteral("state_class=measurement"),
                                   QStringLiteral("unit_of_measurement=°C")};
    QTest::newRow("an unnamed sensor's temperature")
        << QByteArray("ha/sensor/kestrin_lab-a/06000000a4ec7428/config")
        << available + QStringList{QStringLiteral("name=Sensor 2"),
                                   QStringLiteral("unique_id=kestrin_06000000A4EC7428_temperature"),
                                   QStringLiteral("state_topic=kestrin/lab-a/sensor/2/temperature")};
    QTest::newRow("a sensor's alarm")
        << QByteArray("ha/binary_sensor/kestrin_lab-a/9c000000b4a89828_alarm/config")
        << available + QStringList{QStringLiteral("name=Freezer \"2\" alarm"),
                                   QStringLiteral("unique_id=kestrin_9C000000B4A89828_alarm"),
                                   QStringLiteral("state_topic=kestrin/lab-a/sensor/1/alarm"),
                                   QStringLiteral("device_class=problem"), QStringLiteral("payload_on=ON"),
                                   QStringLiteral("payload_off=OFF")};
    QTest::newRow("the stale log")
        << QByteArray("ha/binary_sensor/kestrin_lab-a/stale/config")
        << available + QStringList{QStringLiteral("unique_id=kestrin_lab-a_stale"),
                                   QStringLiteral("state_topic=kestrin/lab-a/stale"),
                                   QStringLiteral("device_class=problem")};
}

void MqttMessagesTest::discovery()
{
    QFETCH(QByteArray, topic);
    QFETCH(QStringList, fields);
    const std::vector<MqttMessage> messages = MqttMessages(site(), QStringLiteral("1.2.3")).discovery();
    QCOMPARE(messages.size(), std::size_t(5));
    const QJsonObject object = config(messages, topic);
    QVERIFY2(!object.isEmpty(), topic.constData());
    for (const QString &field : fields) {
        const qsizetype equals = field.indexOf(u'=');
        QString key = field.left(equals);
        QJsonValue value;
        if (key.startsWith(QLatin1String("device."))) {
            key = key.mid(7);
            value = object.value(QLatin1String("device")).toObject().value(key);
            if (value.isArray())
                value = value.toArray().first();
        } else {
            value = object.value(key);
        }
        QCOMPARE(value.toString(), field.mid(equals + 1));
    }
}

void MqttMessagesTest::state()
{
    const MqttMessages messages(site(), QStringLiteral("1.2.3"));
    BridgeSnapshot s;
    s.site = QStringLiteral("lab-a");
    SensorSnapshot one;
    one.number = 1;
    one.hasValue = true;
    one.value = -0.0625f;
    one.valid = true;
    one.silent = {true, true};
    SensorSnapshot two = one;
    two.number = 2;
    two.value = 127.9375f; // out of range: not a temperature
    two.valid = false;
    two.silent = {true, false};
    s.sensors = {one, two};
    s.stale = {true, true};
    QCOMPARE(messages.temperatures(s), (std::vector<MqttMessage>{{"kestrin/lab-a/sensor/1/temperature", "-0.0625"}}));
    QCOMPARE(messages.alarms(s), (std::vector<MqttMessage>{{"kestrin/lab-a/sensor/1/alarm", "ON"},
                                                           {"kestrin/lab-a/sensor/2/alarm", "OFF"},
                                                           {"kestrin/lab-a/stale", "ON"}}));
    QCOMPARE(messages.statusTopic(), QByteArray("kestrin/lab-a/status"));
}

QTEST_GUILESS_MAIN(MqttMessagesTest)
#include "mqttmessages_test.moc"
