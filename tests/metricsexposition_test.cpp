#include "metricsexposition.h"

#include <QTest>

using namespace kestrin;
using Format = MetricsExposition::Format;

Q_DECLARE_METATYPE(kestrin::MetricsExposition::Format)

namespace {

BridgeSnapshot twoSensors()
{
    BridgeSnapshot s;
    s.site = QStringLiteral("lab-a");
    SensorSnapshot freezer;
    freezer.number = 1;
    freezer.rom = QStringLiteral("9C000000B4A89828");
    freezer.name = QStringLiteral("Freezer \"2\" \\ back");
    freezer.hasValue = true;
    freezer.value = -21.5625f;
    freezer.valid = true;
    freezer.unchangedSeconds = 33;
    freezer.high = {true, true};
    freezer.silent = {true, false};
    SensorSnapshot broken = freezer;
    broken.number = 2;
    broken.rom = QStringLiteral("06000000A4EC7428");
    broken.name = QString();
    broken.value = 127.9375f;
    broken.valid = false;
    broken.high = {};
    SensorSnapshot unread;
    unread.number = 3;
    unread.rom = QStringLiteral("B3000000A4F04B28");
    s.sensors = {freezer, broken, unread};
    s.lastRecordUtc = 1765450000;
    s.records = 12345;
    s.linesSkipped = 3;
    s.caughtUp = true;
    s.stale = {true, false};
    return s;
}

} // namespace

class MetricsExpositionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escapesLabels_data();
    void escapesLabels();
    void negotiates_data();
    void negotiates();
    void renders_data();
    void renders();
};

void MetricsExpositionTest::escapesLabels_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("plain") << QStringLiteral("Freezer 2") << QByteArray("Freezer 2");
    QTest::newRow("quotes") << QStringLiteral("the \"cold\" room") << QByteArray("the \\\"cold\\\" room");
    QTest::newRow("backslash") << QStringLiteral("C:\\lab") << QByteArray("C:\\\\lab");
    QTest::newRow("backslash before a quote") << QStringLiteral("a\\\"b") << QByteArray("a\\\\\\\"b");
    QTest::newRow("line feed") << QStringLiteral("two\nlines") << QByteArray("two\\nlines");
    QTest::newRow("non-ASCII as UTF-8") << QStringLiteral("Kühlraum °C") << QByteArray("K\xc3\xbchlraum \xc2\xb0" "C");
}

void MetricsExpositionTest::escapesLabels()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, escaped);
    QCOMPARE(MetricsExposition::escapeLabel(value), escaped);
}

void MetricsExpositionTest::negotiates_data()
{
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<Format>("format");
    QTest::newRow("none") << QByteArray() << Format::Text;
    QTest::newRow("anything") << QByteArray("*/*") << Format::Text;
    QTest::newRow("Prometheus 2.42")
        << QByteArray("application/openmetrics-text;version=1.0.0,application/openmetrics-text;version=0.0.1;q=0.75,"
                      "text/plain;version=0.0.4;q=0.5,*/*;q=0.1")
        << Format::OpenMetrics;
    QTest::newRow("Prometheus told to prefer text")
        << QByteArray("text/plain;version=0.0.4;q=1,application/openmetrics-text;version=1.0.0;q=0.5") << Format::Text;
    QTest::newRow("OpenMetrics alone") << QByteArray("application/openmetrics-text") << Format::OpenMetrics;
    QTest::newRow("OpenMetrics refused") << QByteArray("application/openmetrics-text;q=0, */*") << Format::Text;
    QTest::newRow("upper case, spaces") << QByteArray("Application/OpenMetrics-Text; version=1.0.0 ; q=0.9, text/plain; q=0.2")
                                        << Format::OpenMetrics;
    QTest::newRow("only text") << QByteArray("text/plain") << Format::Text;
}

void MetricsExpositionTest::negotiates()
{
    QFETCH(QByteArray, accept);
    QFETCH(Format, format);
    QCOMPARE(MetricsExposition::negotiate(accept), format);
}

void MetricsExpositionTest::renders_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<QByteArrayList>("present");
    QTest::addColumn<QByteArrayList>("absent");
    const QByteArray freezer = R"(site="lab-a",sensor="1",rom="9C000000B4A89828",name="Freezer \"2\" \\ back")";
    const QByteArray broken = R"(site="lab-a",sensor="2",rom="06000000A4EC7428",name="")";
    const QByteArrayList common{
        "kestrin_temperature_celsius{" + freezer + "} -21.5625",
        "kestrin_reading_valid{" + freezer + "} 1",
        "kestrin_reading_valid{" + broken + "} 0",
        "kestrin_sensor_unchanged_seconds{" + freezer + "} 33",
        "kestrin_alarm_active{" + freezer + ",kind=\"high\"} 1",
        "kestrin_alarm_active{" + freezer + ",kind=\"silent\"} 0",
        "kestrin_alarm_active{site=\"lab-a\",kind=\"stale\"} 0",
        "kestrin_last_record_timestamp_seconds{site=\"lab-a\"} 1765450000",
        "kestrin_records_read_total{site=\"lab-a\"} 12345",
        "kestrin_lines_skipped_total{site=\"lab-a\"} 3",
        "kestrin_log_caught_up{site=\"lab-a\"} 1",
        "kestrin_bridge_info{site=\"lab-a\",version=\"9.8.7\"} 1",
        "kestrin_mqtt_connected{site=\"lab-a\"} 0",
        "kestrin_mqtt_connect_failures_total{site=\"lab-a\",reason=\"refused\"} 4",
    };
    const QByteArrayList neverShown{
        // An invalid reading is no temperature; an unread sensor has no value.
        "kestrin_temperature_celsius{" + broken,
        "sensor=\"3\"",
        // Only the alarms that are set up.
        "kestrin_alarm_active{" + freezer + ",kind=\"low\"}",
        "kestrin_alarm_active{" + broken + ",kind=\"high\"}",
    };
    QTest::newRow("text") << Format::Text
                          << common + QByteArrayList{"# TYPE kestrin_records_read_total counter",
                                                     "# TYPE kestrin_bridge_info gauge"}
                          << neverShown + QByteArrayList{"# EOF", "# UNIT"};
    QTest::newRow("OpenMetrics") << Format::OpenMetrics
                                 << common + QByteArrayList{"# TYPE kestrin_records_read counter",
                                                            "# TYPE kestrin_bridge info",
                                                            "# UNIT kestrin_temperature_celsius celsius"}
                                 << neverShown + QByteArrayList{"# TYPE kestrin_records_read_total"};
}

void MetricsExpositionTest::renders()
{
    QFETCH(Format, format);
    QFETCH(QByteArrayList, present);
    QFETCH(QByteArrayList, absent);
    const MqttStatus mqtt{true, false, 4, 0};
    const QByteArray text = MetricsExposition::render(twoSensors(), mqtt, format, QStringLiteral("9.8.7"));
    const QByteArrayList lines = text.split('\n');
    for (const QByteArray &line : present)
        QVERIFY2(lines.contains(line), line.constData());
    for (const QByteArray &part : absent)
        QVERIFY2(!text.contains(part), part.constData());
    QVERIFY(text.endsWith(format == Format::OpenMetrics ? "\n# EOF\n" : "\n"));
    // Every family is described once, before its samples.
    QCOMPARE(text.count("# TYPE kestrin_alarm_active "), 1);
    QVERIFY(text.indexOf("# TYPE kestrin_alarm_active ") < text.indexOf("\nkestrin_alarm_active{"));
}

QTEST_GUILESS_MAIN(MetricsExpositionTest)
#include "metricsexposition_test.moc"
