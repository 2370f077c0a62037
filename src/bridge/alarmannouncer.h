#pragma once

#include "alarmevent.h"
#include "bridgesettings.h"

#include <QMap>
#include <QString>

namespace kestrin {

class CommandLauncher;
class DesktopNotifier;
class MessageLog;

// Tells the world of an alarm that was raised or cleared: a line on
// stderr, a desktop notification and, when the site names one, the
// on_alarm command, whose facts are in its environment:
//   KESTRIN_SITE, KESTRIN_SENSOR (empty for stale), KESTRIN_NAME,
//   KESTRIN_VALUE (with "."; empty for stale), KESTRIN_KIND (low, high,
//   silent, stale), KESTRIN_STATE (raised, cleared).
class AlarmAnnouncer final
{
public:
    AlarmAnnouncer(const BridgeSettings &settings, MessageLog &log, DesktopNotifier &notifier,
                   CommandLauncher &launcher);

    void announce(const AlarmEvent &event);

    // What is said, without saying it.
    QString text(const AlarmEvent &event) const;
    QMap<QString, QString> environment(const AlarmEvent &event) const;

private:
    const SensorSettings *sensor(int number) const;

    BridgeSettings m_settings;
    MessageLog &m_log;
    DesktopNotifier &m_notifier;
    CommandLauncher &m_launcher;
};

} // namespace kestrin
