#include "alarmannouncer.h"

#include "bridgeservices.h"
#include "numberformat.h"

#include <QLocale>

namespace kestrin {

namespace {

QString digits(double value)
{
    return NumberFormat::plainText(float(value), QLocale::c());
}

QString minutes(double value)
{
    return value == 1.0 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(digits(value));
}

} // namespace

AlarmAnnouncer::AlarmAnnouncer(const BridgeSettings &settings, MessageLog &log, DesktopNotifier &notifier,
                               CommandLauncher &launcher)
    : m_settings(settings)
    , m_log(log)
    , m_notifier(notifier)
    , m_launcher(launcher)
{
}

const SensorSettings *AlarmAnnouncer::sensor(int number) const
{
    for (const SensorSettings &s : m_settings.sensors)
        if (s.number == number)
            return &s;
    return nullptr;
}

QString AlarmAnnouncer::text(const AlarmEvent &event) const
{
    const QString head = QStringLiteral("%1 alarm %2: ")
                             .arg(alarmKindName(event.kind), event.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    if (event.kind == AlarmKind::Stale) {
        const double after = m_settings.staleAfterMinutes.value_or(0);
        return head
            + (event.raised ? QStringLiteral("no new record for %1").arg(minutes(after))
                            : QStringLiteral("records arrive again"));
    }
    const SensorSettings *s = sensor(event.sensor);
    QString who = QStringLiteral("sensor %1").arg(event.sensor);
    if (s && !s->name.isEmpty())
        who += QStringLiteral(" \"%1\"").arg(s->name);
    const QString value = event.value ? NumberFormat::plainText(*event.value, QLocale::c()) + QStringLiteral(" °C")
                                      : QStringLiteral("nothing");
    if (!event.raised)
        return head + QStringLiteral("%1 reads %2").arg(who, value);
    switch (event.kind) {
    case AlarmKind::Low:
        return head + QStringLiteral("%1 reads %2, below %3 °C").arg(who, value, digits(s && s->low ? *s->low : 0));
    case AlarmKind::High:
        return head + QStringLiteral("%1 reads %2, above %3 °C").arg(who, value, digits(s && s->high ? *s->high : 0));
    case AlarmKind::Silent:
        return head
            + QStringLiteral("%1 has read %2 for %3")
                  .arg(who, value, minutes(s && s->silentAfterMinutes ? *s->silentAfterMinutes : 0));
    case AlarmKind::Stale:
        break;
    }
    return head + who;
}

QMap<QString, QString> AlarmAnnouncer::environment(const AlarmEvent &event) const
{
    const SensorSettings *s = event.kind == AlarmKind::Stale ? nullptr : sensor(event.sensor);
    return {
        {QStringLiteral("KESTRIN_SITE"), m_settings.site},
        {QStringLiteral("KESTRIN_SENSOR"), event.kind == AlarmKind::Stale ? QString() : QString::number(event.sensor)},
        {QStringLiteral("KESTRIN_NAME"), s ? s->name : QString()},
        {QStringLiteral("KESTRIN_VALUE"), event.value ? NumberFormat::plainText(*event.value, QLocale::c()) : QString()},
        {QStringLiteral("KESTRIN_KIND"), alarmKindName(event.kind)},
        {QStringLiteral("KESTRIN_STATE"), event.raised ? QStringLiteral("raised") : QStringLiteral("cleared")},
    };
}

void AlarmAnnouncer::announce(const AlarmEvent &event)
{
    const QString line = text(event);
    m_log.write(line);
    m_notifier.notify(QStringLiteral("Kestrin-3 %1: %2 alarm %3")
                          .arg(m_settings.site, alarmKindName(event.kind),
                               event.raised ? QStringLiteral("raised") : QStringLiteral("cleared")),
                      line.mid(line.indexOf(QStringLiteral(": ")) + 2), event.raised);
    if (!m_settings.onAlarm.isEmpty())
        m_launcher.launch(m_settings.onAlarm, environment(event));
}

} // namespace kestrin
