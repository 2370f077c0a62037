#include "metricsexposition.h"

#include "numberformat.h"

#include <QLocale>

#include <initializer_list>
#include <utility>

namespace kestrin {

namespace {

using Label = std::pair<const char *, QString>;

class Writer
{
public:
    Writer(MetricsExposition::Format format, QByteArray &out)
        : m_openMetrics(format == MetricsExposition::Format::OpenMetrics)
        , m_out(out)
    {
    }

    // `type` is gauge, counter or info; a counter's and an info's samples
    // carry the suffix that OpenMetrics leaves out of the family name.
    void family(const char *name, const char *type, const char *help, const char *unit = nullptr)
    {
        QByteArray family = name;
        QByteArray shownType = type;
        if (shownType == "counter" && m_openMetrics)
            family.chop(int(qstrlen("_total")));
        if (shownType == "info") {
            if (m_openMetrics)
                family.chop(int(qstrlen("_info")));
            else
                shownType = "gauge";
        }
        m_out += "# HELP " + family + ' ' + help + '\n';
        m_out += "# TYPE " + family + ' ' + shownType + '\n';
        if (unit && m_openMetrics)
            m_out += "# UNIT " + family + ' ' + unit + '\n';
    }

    void sample(const char *name, std::initializer_list<Label> labels, const QByteArray &value)
    {
        m_out += name;
        bool first = true;
        for (const Label &label : labels) {
            m_out += first ? '{' : ',';
            first = false;
            m_out += label.first;
            m_out += "=\"";
            m_out += MetricsExposition::escapeLabel(label.second);
            m_out += '"';
        }
        if (!first)
            m_out += '}';
        m_out += ' ' + value + '\n';
    }

    void end()
    {
        if (m_openMetrics)
            m_out += "# EOF\n";
    }

private:
    bool m_openMetrics;
    QByteArray &m_out;
};

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray flag(bool value)
{
    return value ? "1" : "0";
}

// The digits the log holds for it.
QByteArray reading(float value)
{
    return NumberFormat::plainText(value, QLocale::c()).toLatin1();
}

struct Preference
{
    double openMetrics = -1;
    double text = -1;
};

// The q value of each media range, the most specific one winning.
Preference preferences(QByteArrayView accept)
{
    Preference best;
    int openMetricsSpecificity = -1;
    int textSpecificity = -1;
    for (const QByteArray &entry : accept.toByteArray().split(',')) {
        const QList<QByteArray> parts = entry.split(';');
        const QByteArray type = parts.first().trimmed().toLower();
        double q = 1;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray param = parts[i].trimmed();
            if (param.startsWith("q=") || param.startsWith("Q=")) {
                bool ok = false;
                q = param.mid(2).toDouble(&ok);
                if (!ok)
                    q = 0;
            }
        }
        const auto take = [&](int specificity, double &slot, int &slotSpecificity) {
            if (specificity > slotSpecificity) {
                slot = q;
                slotSpecificity = specificity;
            }
        };
        if (type == "application/openmetrics-text")
            take(2, best.openMetrics, openMetricsSpecificity);
        else if (type == "application/*")
            take(1, best.openMetrics, openMetricsSpecificity);
        else if (type == "text/plain")
            take(2, best.text, textSpecificity);
        else if (type == "text/*")
            take(1, best.text, textSpecificity);
        else if (type == "*/*") {
            take(0, best.openMetrics, openMetricsSpecificity);
            take(0, best.text, textSpecificity);
        }
    }
    return best;
}

} // namespace

MetricsExposition::Format MetricsExposition::negotiate(QByteArrayView accept)
{
    const Preference p = preferences(accept);
    // The text format unless OpenMetrics is liked better.
    return p.openMetrics > 0 && p.openMetrics > p.text ? Format::OpenMetrics : Format::Text;
}

QByteArray MetricsExposition::contentType(Format format)
{
    return format == Format::OpenMetrics ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
                                         : "text/plain; version=0.0.4; charset=utf-8";
}

QByteArray MetricsExposition::escapeLabel(const QString &value)
{
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray MetricsExposition::render(const BridgeSnapshot &s, const MqttStatus &mqtt, Format format,
                                     const QString &version)
{
    QByteArray out;
    out.reserve(4096);
    Writer w(format, out);
    const QString &site = s.site;

    w.family("kestrin_bridge_info", "info", "The bridge's site and version.");
    w.sample("kestrin_bridge_info", {{"site", site}, {"version", version}}, "1");

    w.family("kestrin_temperature_celsius", "gauge",
             "The sensor's last reading, as logged; absent while it is outside -55..125.", "celsius");
    for (const SensorSnapshot &sensor : s.sensors)
        if (sensor.hasValue && sensor.valid)
            w.sample("kestrin_temperature_celsius",
                     {{"site", site}, {"sensor", QString::number(sensor.number)}, {"rom", sensor.rom}, {"name", sensor.name}},
                     reading(sensor.value));

    w.family("kestrin_reading_valid", "gauge",
             "1 when the sensor's last reading is within the DS18B20's range, -55..125 degrees Celsius.");
    for (const SensorSnapshot &sensor : s.sensors)
        if (sensor.hasValue)
            w.sample("kestrin_reading_valid",
                     {{"site", site}, {"sensor", QString::number(sensor.number)}, {"rom", sensor.rom}, {"name", sensor.name}},
                     flag(sensor.valid));

    w.family("kestrin_sensor_unchanged_seconds", "gauge",
             "How long the sensor's value has been the same, between the records' times.", "seconds");
    for (const SensorSnapshot &sensor : s.sensors)
        if (sensor.hasValue)
            w.sample("kestrin_sensor_unchanged_seconds",
                     {{"site", site}, {"sensor", QString::number(sensor.number)}, {"rom", sensor.rom}, {"name", sensor.name}},
                     number(sensor.unchangedSeconds));

    w.family("kestrin_alarm_active", "gauge", "1 while the alarm is raised.");
    for (const SensorSnapshot &sensor : s.sensors) {
        const std::pair<const char *, const AlarmFlag *> kinds[] = {
            {"low", &sensor.low}, {"high", &sensor.high}, {"silent", &sensor.silent}};
        for (const auto &[kind, alarm] : kinds)
            if (alarm->configured)
                w.sample("kestrin_alarm_active",
                         {{"site", site},
                          {"sensor", QString::number(sensor.number)},
                          {"rom", sensor.rom},
                          {"name", sensor.name},
                          {"kind", QString::fromLatin1(kind)}},
                         flag(alarm->active));
    }
    if (s.stale.configured)
        w.sample("kestrin_alarm_active", {{"site", site}, {"kind", QStringLiteral("stale")}}, flag(s.stale.active));

    if (s.lastRecordUtc) {
        w.family("kestrin_last_record_timestamp_seconds", "gauge", "The time of the newest record.", "seconds");
        w.sample("kestrin_last_record_timestamp_seconds", {{"site", site}}, number(*s.lastRecordUtc));
    }

    w.family("kestrin_log_caught_up", "gauge", "1 once the log's history is read.");
    w.sample("kestrin_log_caught_up", {{"site", site}}, flag(s.caughtUp));

    w.family("kestrin_records_read_total", "counter", "Records read from the log.");
    w.sample("kestrin_records_read_total", {{"site", site}}, number(s.records));

    w.family("kestrin_lines_skipped_total", "counter", "Lines of the log that are no record.");
    w.sample("kestrin_lines_skipped_total", {{"site", site}}, number(s.linesSkipped));

    if (mqtt.enabled) {
        w.family("kestrin_mqtt_connected", "gauge", "1 while the bridge is connected to the MQTT broker.");
        w.sample("kestrin_mqtt_connected", {{"site", site}}, flag(mqtt.connected));
        w.family("kestrin_mqtt_connect_failures_total", "counter",
                 "Connections to the broker that failed: refused (the login) or unreachable.");
        w.sample("kestrin_mqtt_connect_failures_total", {{"site", site}, {"reason", QStringLiteral("refused")}},
                 number(mqtt.refused));
        w.sample("kestrin_mqtt_connect_failures_total", {{"site", site}, {"reason", QStringLiteral("unreachable")}},
                 number(mqtt.unreachable));
    }
    w.end();
    return out;
}

} // namespace kestrin
